// Verse notes store: layout, chains, deletion, searches, chapter listing, import, read-only
// stores and damaged files.
#include "engine/stores/notes.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <linux/fs.h>
#include <sys/ioctl.h>
#include <unistd.h>

#include <cstring>
#include <filesystem>
#include <fstream>
#include <memory>
#include <sstream>
#include <string>
#include <vector>

#include "engine/stores/notes_format.h"
#include "support/endian.h"
#include "support/files.h"
#include "tests/support/fixtures.h"

namespace vellum {
namespace {

namespace fs = std::filesystem;
using test::Module;
using test::TempDir;

// Genesis 1 (10 verses), Genesis 2 (5), Ruth 1 (8): verse numbers 0..22.
std::string smallVpl() {
  std::string vpl;
  const struct {
    const char* book;
    int chapter, verses;
  } chapters[] = {{"Genesis", 1, 10}, {"Genesis", 2, 5}, {"Ruth", 1, 8}};
  for (const auto& c : chapters)
    for (int v = 1; v <= c.verses; ++v)
      vpl += std::string(c.book) + "\t" + std::to_string(c.chapter) + "\t" + std::to_string(v) +
             "\tverse text " + std::to_string(v) + "\n";
  return vpl;
}
constexpr std::uint32_t kSmallVerses = 23;

std::vector<std::uint8_t> readBytes(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

void writeBytes(const std::string& path, const std::vector<std::uint8_t>& bytes) {
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
}

void writeText(const std::string& path, const std::string& text) {
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out << text;
}

struct NotesCloser {
  void operator()(NotesHandle* n) const { VNClose(n); }
};
using Notes = std::unique_ptr<NotesHandle, NotesCloser>;

std::string noteOf(std::uint16_t verse, NotesHandle* notes, std::uint16_t size = 32767) {
  std::vector<char> buffer(size);
  std::uint16_t length = 0;
  if (VNGetNoteByVerse(buffer.data(), &length, size, verse, notes) == nullptr) return "<none>";
  EXPECT_EQ(length, std::strlen(buffer.data()));
  return std::string(buffer.data(), length);
}

class NotesStoreTest : public ::testing::Test {
 protected:
  void SetUp() override {
    test::buildModule(dir.path(), "small.bib", "Small Bible", smallVpl());
    module = test::openModule(dir.path(), "small.bib");
    ASSERT_NE(module, nullptr);
    notes.reset(VNOpen(module.get()));
    ASSERT_NE(notes, nullptr);
  }
  std::string storePath() const { return dir.file("small.vn"); }
  void reopen() {
    notes.reset();
    notes.reset(VNOpen(module.get()));
    ASSERT_NE(notes, nullptr);
  }
  std::uint32_t slot(std::uint32_t verse) {
    const auto bytes = readBytes(storePath());
    return le::load32(bytes.data() + format::slotOffset(verse));
  }

  TempDir dir;
  Module module;
  Notes notes;
};

// --- Creation and layout ---

TEST_F(NotesStoreTest, OpenCreatesAnEmptyStoreNamedAfterTheModule) {
  const auto bytes = readBytes(storePath());
  ASSERT_EQ(bytes.size(), format::kNotesHeaderSize + 4 * kSmallVerses);
  EXPECT_EQ(bytes[8], 255);
  EXPECT_EQ(bytes[9], 1);
  EXPECT_EQ(bytes[10], 3);
  EXPECT_EQ(le::load32(bytes.data() + 12), kSmallVerses);
  EXPECT_STREQ(reinterpret_cast<const char*>(bytes.data() + 24), "Small Bible");
  EXPECT_STREQ(reinterpret_cast<const char*>(bytes.data() + 104), "small.bib");
  EXPECT_EQ(le::load32(bytes.data() + 4085), 4093u);
  EXPECT_EQ(le::load32(bytes.data() + 4089), 128893u);
  for (std::uint32_t v = 0; v < kSmallVerses; ++v) EXPECT_EQ(slot(v), 0xFFFFFFFFu);
  EXPECT_EQ(VNReadOnly(notes.get()), 0);
  EXPECT_FALSE(fs::exists(dir.file("small.vn.tmp" + std::to_string(::getpid()))));
}

TEST_F(NotesStoreTest, FirstRecordGoesToTheRecordArea) {
  ASSERT_TRUE(VNSetNoteByVerse(4, "abc", notes.get()));
  const auto bytes = readBytes(storePath());
  ASSERT_EQ(bytes.size(), 128893u + 6 + 3);
  EXPECT_EQ(slot(4), 128893u);
  EXPECT_EQ(le::load32(bytes.data() + 128893), 0xFFFFFFFFu);
  EXPECT_EQ(le::load16(bytes.data() + 128897), 3);
  EXPECT_EQ(std::string(bytes.begin() + 128899, bytes.end()), "abc");
  EXPECT_EQ(le::load32(bytes.data() + 4089), 128893u + 9);
  EXPECT_EQ(bytes[184] & (1 << 4), 1 << 4);
}

TEST_F(NotesStoreTest, NotesSurviveReopening) {
  ASSERT_TRUE(VNSetNote("Ruth 1:8", "last verse", notes.get()));
  reopen();
  EXPECT_EQ(noteOf(22, notes.get()), "last verse");
}

TEST_F(NotesStoreTest, CreateReplacesAnExistingStoreWithAnEmptyOne) {
  ASSERT_TRUE(VNSetNoteByVerse(1, "old", notes.get()));
  notes.reset();
  notes.reset(VNCreate(module.get()));
  ASSERT_NE(notes, nullptr);
  EXPECT_EQ(noteOf(1, notes.get()), "<none>");
  EXPECT_FALSE(fs::exists(dir.file("small.vn.tmp" + std::to_string(::getpid()))));
}

TEST(NotesStoreNullTest, EveryOperationOnNoHandleDoesNothing) {
  char out[8] = "x";
  std::uint16_t length = 5;
  std::uint16_t list[4] = {1, 2, 3, 4};
  std::uint16_t count = 9;
  EXPECT_EQ(VNOpen(nullptr), nullptr);
  EXPECT_EQ(VNCreate(nullptr), nullptr);
  VNClose(nullptr);
  EXPECT_EQ(VNReadOnly(nullptr), 1);
  EXPECT_FALSE(VNSetNoteByVerse(0, "x", nullptr));
  EXPECT_FALSE(VNSetNote("Genesis 1:1", "x", nullptr));
  EXPECT_FALSE(VNDelNoteByVerse(0, nullptr));
  EXPECT_EQ(VNGetNoteByVerse(out, &length, sizeof out, 0, nullptr), nullptr);
  EXPECT_STREQ(out, "");
  EXPECT_EQ(length, 0);
  EXPECT_EQ(VNGetNotesForChapter(out, &length, sizeof out, "Genesis 1:1", nullptr), nullptr);
  EXPECT_EQ(VNPhraseSearch(list, &count, 3, "x", nullptr), nullptr);
  EXPECT_EQ(count, 0);
  EXPECT_EQ(list[0], kVerseListEnd);
  EXPECT_EQ(VNImport("nothing.txt", nullptr), -1);
}

// --- Setting, getting and deleting ---

TEST_F(NotesStoreTest, ThreeVersionsOfANoteChainAndTheLastIsRead) {
  ASSERT_TRUE(VNSetNoteByVerse(2, "first", notes.get()));
  ASSERT_TRUE(VNSetNoteByVerse(2, "second!", notes.get()));
  ASSERT_TRUE(VNSetNoteByVerse(2, "third", notes.get()));
  EXPECT_EQ(noteOf(2, notes.get()), "third");
  const auto bytes = readBytes(storePath());
  const std::uint32_t r1 = slot(2), r2 = le::load32(bytes.data() + r1),
                      r3 = le::load32(bytes.data() + r2);
  EXPECT_EQ(r1, 128893u);
  EXPECT_EQ(r2, r1 + 6 + 5);
  EXPECT_EQ(r3, r2 + 6 + 7);
  EXPECT_EQ(le::load32(bytes.data() + r3), 0xFFFFFFFFu);
  EXPECT_EQ(bytes.size(), r3 + 6 + 5);
}

TEST_F(NotesStoreTest, DeleteThenSetStartsANewChainFromTheSlot) {
  ASSERT_TRUE(VNSetNoteByVerse(3, "old one", notes.get()));
  ASSERT_TRUE(VNSetNoteByVerse(3, "old two", notes.get()));
  ASSERT_TRUE(VNDelNoteByVerse(3, notes.get()));
  EXPECT_EQ(noteOf(3, notes.get()), "<none>");
  EXPECT_EQ(slot(3), 0xFFFFFFFFu);
  EXPECT_EQ(readBytes(storePath())[184] & (1 << 3), 0);
  EXPECT_FALSE(VNDelNoteByVerse(3, notes.get())) << "nothing left to delete";
  const std::uint64_t end = fs::file_size(storePath());
  ASSERT_TRUE(VNSetNoteByVerse(3, "new", notes.get()));
  EXPECT_EQ(slot(3), end);
  EXPECT_EQ(le::load32(readBytes(storePath()).data() + end), 0xFFFFFFFFu);
  EXPECT_EQ(noteOf(3, notes.get()), "new");
}

TEST_F(NotesStoreTest, EmptyTextIsANote) {
  ASSERT_TRUE(VNSetNoteByVerse(0, "", notes.get()));
  EXPECT_EQ(noteOf(0, notes.get()), "");
  std::uint16_t list[3], count = 0;
  EXPECT_NE(VNFindVersesWithNotes(list, &count, 3, Reference{0, 1, 1}, notes.get()), nullptr);
  EXPECT_EQ(count, 1);
}

TEST_F(NotesStoreTest, ReferencesAndTextsAddressTheSameVerse) {
  ASSERT_TRUE(VNSetNoteByRef(Reference{0, 2, 3}, "by ref", notes.get()));
  EXPECT_EQ(noteOf(12, notes.get()), "by ref");
  char out[32];
  std::uint16_t length = 0;
  ASSERT_NE(VNGetNote(out, &length, sizeof out, "genesis 2:3", notes.get()), nullptr);
  EXPECT_STREQ(out, "by ref");
  ASSERT_TRUE(VNSetNote("Ruth 1:1", "ruth", notes.get()));
  ASSERT_NE(VNGetNoteByRef(out, &length, sizeof out, Reference{1, 1, 1}, notes.get()), nullptr);
  EXPECT_STREQ(out, "ruth");
  EXPECT_TRUE(VNDelNoteByRef(Reference{1, 1, 1}, notes.get()));
  EXPECT_TRUE(VNDelNote("Genesis 2:3", notes.get()));
  EXPECT_EQ(noteOf(12, notes.get()), "<none>");
}

TEST_F(NotesStoreTest, InvalidReferenceTextNeverFallsBackToGenesisOneOne) {
  // A reference that does not parse resets to Genesis 1:1; acting on that verse would read,
  // overwrite or delete a note the user never named.
  ASSERT_TRUE(VNSetNoteByVerse(0, "genesis note", notes.get()));
  char out[32] = "x";
  std::uint16_t length = 3;
  EXPECT_EQ(VNGetNote(out, &length, sizeof out, "Exodus 1:1", notes.get()), nullptr);
  EXPECT_STREQ(out, "");
  EXPECT_FALSE(VNSetNote("Genesis 9:1", "wrong", notes.get()));
  EXPECT_FALSE(VNDelNote("Genesis", notes.get()));
  EXPECT_FALSE(VNSetNoteByRef(Reference{0, 1, 11}, "past the chapter", notes.get()));
  EXPECT_FALSE(VNSetNoteByRef(Reference{5, 1, 1}, "no such book", notes.get()));
  EXPECT_EQ(noteOf(0, notes.get()), "genesis note");
  EXPECT_EQ(noteOf(10, notes.get()), "<none>");
}

TEST_F(NotesStoreTest, VersesBeyondTheStoreAddressNothing) {
  const std::uint64_t size = fs::file_size(storePath());
  EXPECT_FALSE(VNSetNoteByVerse(kSmallVerses, "x", notes.get()));
  EXPECT_FALSE(VNSetNoteByVerse(31199, "x", notes.get()));
  EXPECT_FALSE(VNDelNoteByVerse(kSmallVerses, notes.get()));
  EXPECT_EQ(noteOf(kSmallVerses, notes.get()), "<none>");
  EXPECT_EQ(fs::file_size(storePath()), size);
}

TEST_F(NotesStoreTest, GetCutsTheNoteToTheBuffer) {
  ASSERT_TRUE(VNSetNoteByVerse(1, "abcdefgh", notes.get()));
  EXPECT_EQ(noteOf(1, notes.get(), 4), "abc");
  EXPECT_EQ(noteOf(1, notes.get(), 1), "");
  char out[1];
  std::uint16_t length = 7;
  EXPECT_EQ(VNGetNoteByVerse(out, &length, 0, 1, notes.get()), nullptr);
  EXPECT_EQ(length, 0);
}

TEST_F(NotesStoreTest, TextsBeyondTheRecordLengthAreRefused) {
  const std::string big(65536, 'a');
  EXPECT_FALSE(VNSetNoteByVerse(1, big.c_str(), notes.get()));
  const std::string largest(65535, 'b');
  EXPECT_TRUE(VNSetNoteByVerse(1, largest.c_str(), notes.get()));
  EXPECT_EQ(noteOf(1, notes.get()).size(), 32766u);
}

TEST_F(NotesStoreTest, TwoHandlesOnOneStoreDoNotOverwriteEachOther) {
  Notes second(VNOpen(module.get()));
  ASSERT_NE(second, nullptr);
  ASSERT_TRUE(VNSetNoteByVerse(1, "from the first", notes.get()));
  ASSERT_TRUE(VNSetNoteByVerse(2, "from the second", second.get()));
  ASSERT_TRUE(VNSetNoteByVerse(1, "first again", notes.get()));
  EXPECT_EQ(noteOf(1, second.get()), "first again");
  EXPECT_EQ(noteOf(2, notes.get()), "from the second");
  std::uint16_t list[4], count = 0;
  VNPhraseSearch(list, &count, 3, "from", notes.get());
  EXPECT_EQ(count, 1);
}

// --- Searches ---

class NotesSearchTest : public NotesStoreTest {
 protected:
  std::vector<std::uint16_t> search(const char* phrase, bool caseSensitive,
                                    std::uint16_t maximum = 30) {
    std::vector<std::uint16_t> list(maximum + 1u, 0xAAAA);
    std::uint16_t count = 0;
    if (caseSensitive)
      VNCSPhraseSearch(list.data(), &count, maximum, phrase, notes.get());
    else
      VNPhraseSearch(list.data(), &count, maximum, phrase, notes.get());
    EXPECT_EQ(list[count], kVerseListEnd);
    return {list.begin(), list.begin() + count};
  }
};

TEST_F(NotesSearchTest, PhraseInsideALongerWordDoesNotCount) {
  ASSERT_TRUE(VNSetNoteByVerse(1, "the shepherds watched", notes.get()));
  ASSERT_TRUE(VNSetNoteByVerse(2, "the shepherd, watching", notes.get()));
  ASSERT_TRUE(VNSetNoteByVerse(3, "shepherd", notes.get()));
  ASSERT_TRUE(VNSetNoteByVerse(4, "ashepherd here", notes.get()));
  EXPECT_EQ(search("shepherd", false), (std::vector<std::uint16_t>{2, 3}));
}

TEST_F(NotesSearchTest, AnyWholeOccurrenceCounts) {
  ASSERT_TRUE(VNSetNoteByVerse(5, "shepherds and the shepherd.", notes.get()));
  ASSERT_TRUE(VNSetNoteByVerse(6, "the shepherd and the shepherds", notes.get()));
  ASSERT_TRUE(VNSetNoteByVerse(7, "shepherds and ashepherd", notes.get()));
  EXPECT_EQ(search("shepherd", false), (std::vector<std::uint16_t>{5, 6}));
}

TEST_F(NotesSearchTest, WordsAtTheStartOfALineCount) {
  ASSERT_TRUE(VNSetNoteByVerse(7, "first line\nshepherd at the start\n", notes.get()));
  ASSERT_TRUE(VNSetNoteByVerse(8, "ends with shepherd\nmore", notes.get()));
  EXPECT_EQ(search("shepherd", false), (std::vector<std::uint16_t>{7, 8}));
}

TEST_F(NotesSearchTest, TheCaseSensitiveTwinKeepsCaseAndThePlainSearchIgnoresIt) {
  ASSERT_TRUE(VNSetNoteByVerse(1, "The LORD is my shepherd", notes.get()));
  ASSERT_TRUE(VNSetNoteByVerse(2, "the lord of hosts", notes.get()));
  EXPECT_EQ(search("lord", false), (std::vector<std::uint16_t>{1, 2}));
  EXPECT_EQ(search("lord", true), (std::vector<std::uint16_t>{2}));
  EXPECT_EQ(search("LORD is", true), (std::vector<std::uint16_t>{1}));
}

TEST_F(NotesSearchTest, MaximumLimitsTheListAndTheTerminatorFollows) {
  for (std::uint16_t v : {1, 4, 9}) ASSERT_TRUE(VNSetNoteByVerse(v, "grace", notes.get()));
  std::vector<std::uint16_t> list(3, 0xAAAA);  // maximum + 1 entries exactly
  std::uint16_t count = 0;
  ASSERT_NE(VNPhraseSearch(list.data(), &count, 2, "grace", notes.get()), nullptr);
  EXPECT_EQ(count, 2);
  EXPECT_EQ(list, (std::vector<std::uint16_t>{1, 4, kVerseListEnd}));
  std::vector<std::uint16_t> none(1, 0xAAAA);
  EXPECT_EQ(VNCSPhraseSearch(none.data(), &count, 0, "grace", notes.get()), nullptr);
  EXPECT_EQ(count, 0);
  EXPECT_EQ(none[0], kVerseListEnd);
}

TEST_F(NotesSearchTest, NothingFoundGivesAnEmptyList) {
  ASSERT_TRUE(VNSetNoteByVerse(1, "grace", notes.get()));
  EXPECT_TRUE(search("mercy", false).empty());
  EXPECT_TRUE(search("", false).empty());
  ASSERT_TRUE(VNDelNoteByVerse(1, notes.get()));
  EXPECT_TRUE(search("grace", false).empty());
}

TEST_F(NotesSearchTest, FindVersesWithNotesKeepsOneSlotForTheTerminator) {
  for (std::uint16_t v : {2, 6, 7}) ASSERT_TRUE(VNSetNoteByVerse(v, "n", notes.get()));
  ASSERT_TRUE(VNSetNoteByVerse(11, "other chapter", notes.get()));
  std::vector<std::uint16_t> list(5, 0xAAAA);
  std::uint16_t count = 0;
  ASSERT_NE(VNFindVersesWithNotes(list.data(), &count, 5, Reference{0, 1, 4}, notes.get()),
            nullptr);
  EXPECT_EQ(std::vector<std::uint16_t>(list.begin(), list.begin() + count + 1),
            (std::vector<std::uint16_t>{2, 6, 7, kVerseListEnd}));
  std::vector<std::uint16_t> two(2, 0xAAAA);
  VNFindVersesWithNotes(two.data(), &count, 2, Reference{0, 1, 1}, notes.get());
  EXPECT_EQ(count, 1);
  EXPECT_EQ(two, (std::vector<std::uint16_t>{2, kVerseListEnd}));
  std::uint16_t untouched = 0xAAAA;
  EXPECT_EQ(VNFindVersesWithNotes(&untouched, &count, 0, Reference{0, 1, 1}, notes.get()),
            nullptr);
  EXPECT_EQ(untouched, 0xAAAA);
  EXPECT_EQ(VNFindVersesWithNotes(list.data(), &count, 5, Reference{1, 1, 1}, notes.get()),
            nullptr);
  EXPECT_EQ(count, 0);
}

// --- Chapter listing ---

TEST_F(NotesStoreTest, ChapterNotesListVerseNumbersInOrder) {
  ASSERT_TRUE(VNSetNoteByVerse(6, "seventh", notes.get()));
  ASSERT_TRUE(VNSetNoteByVerse(2, "third", notes.get()));
  ASSERT_TRUE(VNSetNoteByVerse(10, "next chapter", notes.get()));
  char out[100];
  std::uint16_t length = 0;
  ASSERT_EQ(VNGetNotesForChapter(out, &length, sizeof out, "Genesis 1:5", notes.get()), out);
  EXPECT_STREQ(out, "3. third\n7. seventh\n");
  EXPECT_EQ(length, std::strlen(out));
}

TEST_F(NotesStoreTest, ChapterNotesStayWithinTheBuffer) {
  for (std::uint16_t v = 0; v < 10; ++v) ASSERT_TRUE(VNSetNoteByVerse(v, "0123456789", notes.get()));
  for (std::uint16_t size : {1, 8, 9, 12, 20, 40, 57}) {
    std::vector<char> out(size, 'z');
    std::uint16_t length = 0;
    ASSERT_NE(VNGetNotesForChapter(out.data(), &length, size, "Genesis 1:1", notes.get()), nullptr);
    EXPECT_EQ(length, std::strlen(out.data()));
    EXPECT_LT(length, size);
    const std::string listing(out.data(), length);
    if (size >= 22) {
      EXPECT_EQ(listing.rfind("1. 0123456789\n", 0), 0u) << "size " << size;
    }
    if (size == 57) {
      EXPECT_EQ(listing.rfind("1. 0123456789\n2. ", 0), 0u);
    }
  }
}

TEST_F(NotesStoreTest, ChapterNotesOfAnInvalidReferenceAreEmpty) {
  ASSERT_TRUE(VNSetNoteByVerse(0, "genesis", notes.get()));
  char out[50] = "x";
  std::uint16_t length = 4;
  ASSERT_EQ(VNGetNotesForChapter(out, &length, sizeof out, "Genesis 1", notes.get()), out);
  EXPECT_STREQ(out, "");
  EXPECT_EQ(length, 0);
}

// --- Import ---

TEST_F(NotesStoreTest, ImportStoresEntriesUpToBlankLinesAndTheLastUpToTheEnd) {
  writeText(dir.file("in.txt"),
            "Genesis 1:2\nline one\nline two\n\n\n  \nRuth 1:3\r\nwindows line\r\n \t\n"
            "Genesis 2:1\nlast entry, no line end");
  std::vector<std::string> problems;
  const int stored = VNImport(dir.file("in.txt").c_str(), notes.get(),
                              [&](int, const std::string& m) { problems.push_back(m); });
  EXPECT_EQ(stored, 3);
  EXPECT_TRUE(problems.empty());
  EXPECT_EQ(noteOf(1, notes.get()), "line one\nline two\n");
  EXPECT_EQ(noteOf(17, notes.get()), "windows line\n");
  EXPECT_EQ(noteOf(10, notes.get()), "last entry, no line end");
}

TEST_F(NotesStoreTest, ImportReportsBadReferencesByLineAndSkipsThem) {
  writeText(dir.file("in.txt"),
            "Genesis 1:1\nfine\n\nGenesis 99:1\nlost?\nstill lost\n\nRuth 1:2\nalso fine\n");
  std::vector<std::pair<int, std::string>> problems;
  EXPECT_EQ(VNImport(dir.file("in.txt").c_str(), notes.get(),
                     [&](int line, const std::string& m) { problems.emplace_back(line, m); }),
            2);
  ASSERT_EQ(problems.size(), 1u);
  EXPECT_EQ(problems[0].first, 4);
  EXPECT_EQ(problems[0].second, "Genesis 99:1 is not a valid reference");
  EXPECT_EQ(noteOf(0, notes.get()), "fine\n");
  EXPECT_EQ(noteOf(16, notes.get()), "also fine\n");
}

TEST_F(NotesStoreTest, ImportCutsLongNotesAndSaysSo) {
  writeText(dir.file("in.txt"), "Genesis 1:1\n" + std::string(40000, 'a') + "\n");
  std::vector<int> lines;
  EXPECT_EQ(VNImport(dir.file("in.txt").c_str(), notes.get(),
                     [&](int line, const std::string&) { lines.push_back(line); }),
            1);
  EXPECT_EQ(lines, (std::vector<int>{1}));
  EXPECT_EQ(noteOf(0, notes.get()).size(), 32766u);
}

TEST_F(NotesStoreTest, ImportFindsABareNameAlongTheDataPath) {
  writeText(dir.file("bare-notes.txt"), "Genesis 1:1\nfrom the data path\n");
  EXPECT_EQ(VNImport("bare-notes.txt", notes.get()), 1);
  EXPECT_EQ(VNImport(dir.file("missing.txt").c_str(), notes.get()), -1);
}

// --- Read-only stores ---

// Makes a directory one where no file can be created, also for root (immutable attribute),
// and undoes it when it goes.
class UnwritableDirectory {
 public:
  explicit UnwritableDirectory(const fs::path& path) : path_(path) {
    fd_ = ::open(path.c_str(), O_RDONLY | O_DIRECTORY);
    int flags = 0;
    if (fd_ >= 0 && ::ioctl(fd_, FS_IOC_GETFLAGS, &flags) == 0) {
      original_ = flags;
      flags |= FS_IMMUTABLE_FL;
      immutable_ = ::ioctl(fd_, FS_IOC_SETFLAGS, &flags) == 0;
    }
    if (!immutable_) fs::permissions(path, fs::perms::owner_read | fs::perms::owner_exec);
  }
  ~UnwritableDirectory() {
    if (immutable_) ::ioctl(fd_, FS_IOC_SETFLAGS, &original_);
    if (fd_ >= 0) ::close(fd_);
    fs::permissions(path_, fs::perms::owner_all);
  }
  bool effective() const { return isDirReadOnly((path_ / "probe").c_str()) == 1; }

 private:
  fs::path path_;
  int fd_ = -1;
  int original_ = 0;
  bool immutable_ = false;
};

TEST_F(NotesStoreTest, AStoreWhereNothingCanBeWrittenOpensReadOnlyAndStaysUntouched) {
  ASSERT_TRUE(VNSetNoteByVerse(1, "kept", notes.get()));
  notes.reset();
  writeText(dir.file("ro-import.txt"), "Genesis 1:3\nx\n");
  const auto before = readBytes(storePath());
  {
    UnwritableDirectory guard(dir.path());
    ASSERT_TRUE(guard.effective()) << "cannot make a directory unwritable here";
    notes.reset(VNOpen(module.get()));
    ASSERT_NE(notes, nullptr);
    EXPECT_EQ(VNReadOnly(notes.get()), 1);
    EXPECT_EQ(noteOf(1, notes.get()), "kept");
    EXPECT_FALSE(VNSetNoteByVerse(1, "changed", notes.get()));
    EXPECT_FALSE(VNSetNoteByVerse(2, "new", notes.get()));
    EXPECT_FALSE(VNDelNoteByVerse(1, notes.get()));
    EXPECT_EQ(VNImport(dir.file("ro-import.txt").c_str(), notes.get()), -1);
    notes.reset();
  }
  EXPECT_EQ(readBytes(storePath()), before);
}

// --- Damaged files ---

class NotesDamageTest : public NotesStoreTest {
 protected:
  void SetUp() override {
    NotesStoreTest::SetUp();
    ASSERT_TRUE(VNSetNoteByVerse(1, "one", notes.get()));
    ASSERT_TRUE(VNSetNoteByVerse(1, "two", notes.get()));
    ASSERT_TRUE(VNSetNoteByVerse(5, "five", notes.get()));
    notes.reset();
    good = readBytes(storePath());
  }
  // Writes the damaged bytes and opens them.
  NotesHandle* openDamaged(const std::vector<std::uint8_t>& bytes) {
    writeBytes(storePath(), bytes);
    notes.reset(VNOpen(module.get()));
    return notes.get();
  }
  std::vector<std::uint8_t> with32(std::size_t offset, std::uint32_t value) const {
    auto bytes = good;
    le::store32(bytes.data() + offset, value);
    return bytes;
  }
  std::vector<std::uint8_t> good;
};

TEST_F(NotesDamageTest, HeadersOutsideTheFormatAreRefused) {
  EXPECT_EQ(openDamaged(with32(12, 31201)), nullptr) << "verse count above 31200";
  EXPECT_EQ(openDamaged(with32(12, kSmallVerses + 1)), nullptr) << "more verses than the module";
  EXPECT_EQ(openDamaged(with32(12, 0)), nullptr);
  EXPECT_EQ(openDamaged(with32(4085, 4094)), nullptr) << "slot table moved";
  EXPECT_EQ(openDamaged(with32(4089, static_cast<std::uint32_t>(good.size() + 1))), nullptr);
  EXPECT_EQ(openDamaged(with32(4089, 100)), nullptr) << "end of data inside the slots";
  auto badSignature = good;
  badSignature[9] = 2;
  EXPECT_EQ(openDamaged(badSignature), nullptr);
  EXPECT_EQ(openDamaged({good.begin(), good.begin() + 4092}), nullptr) << "short header";
  EXPECT_EQ(openDamaged({good.begin(), good.begin() + 4093 + 4 * 10}), nullptr) << "slots cut";
  EXPECT_NE(openDamaged(good), nullptr);
  EXPECT_EQ(noteOf(1, notes.get()), "two");
}

TEST_F(NotesDamageTest, AChainThatLoopsOrLeavesTheFileReadsAsNoNote) {
  const std::uint32_t first = le::load32(good.data() + format::slotOffset(1));
  const std::uint32_t second = le::load32(good.data() + first);
  // The last record links back to the first: a walk must stop, not spin.
  ASSERT_NE(openDamaged(with32(second, first)), nullptr);
  EXPECT_EQ(noteOf(1, notes.get()), "<none>");
  EXPECT_FALSE(VNSetNoteByVerse(1, "x", notes.get()));
  EXPECT_EQ(noteOf(5, notes.get()), "five");
  // A record that links to itself.
  ASSERT_NE(openDamaged(with32(first, first)), nullptr);
  EXPECT_EQ(noteOf(1, notes.get()), "<none>");
  // A slot past the end of the file, or inside the slot table.
  ASSERT_NE(openDamaged(with32(format::slotOffset(1), static_cast<std::uint32_t>(good.size()))),
            nullptr);
  EXPECT_EQ(noteOf(1, notes.get()), "<none>");
  ASSERT_NE(openDamaged(with32(format::slotOffset(1), 4093)), nullptr);
  EXPECT_EQ(noteOf(1, notes.get()), "<none>");
  std::uint16_t list[4], count = 0;
  VNPhraseSearch(list, &count, 3, "five", notes.get());
  EXPECT_EQ(count, 1);
}

TEST_F(NotesDamageTest, AnEndOfDataPointingBackAmongLiveRecordsOverwritesNothing) {
  const std::uint32_t first = le::load32(good.data() + format::slotOffset(1));
  ASSERT_NE(openDamaged(with32(4089, first)), nullptr);
  ASSERT_TRUE(VNSetNoteByVerse(7, "seven", notes.get()));
  ASSERT_TRUE(VNSetNoteByVerse(1, "three", notes.get()));
  EXPECT_EQ(noteOf(7, notes.get()), "seven");
  EXPECT_EQ(noteOf(1, notes.get()), "three");
  EXPECT_EQ(noteOf(5, notes.get()), "five");
  EXPECT_EQ(le::load32(readBytes(storePath()).data() + format::slotOffset(7)), good.size());
}

TEST_F(NotesDamageTest, ARecordLongerThanTheFileReadsAsNoNote) {
  const std::uint32_t record = le::load32(good.data() + format::slotOffset(5));
  auto bytes = good;
  le::store16(bytes.data() + record + 4, 60000);
  ASSERT_NE(openDamaged(bytes), nullptr);
  EXPECT_EQ(noteOf(5, notes.get()), "<none>");
  char out[100];
  std::uint16_t length = 0;
  VNGetNotesForChapter(out, &length, sizeof out, "Genesis 1:1", notes.get());
  EXPECT_STREQ(out, "2. two\n");
}

TEST_F(NotesDamageTest, EveryCutOfTheFileOpensOrFailsCleanly) {
  for (std::size_t size : {std::size_t{0}, std::size_t{1}, std::size_t{4000}, std::size_t{4093},
                           good.size() - 1, good.size() - 7, good.size() - 20}) {
    if (NotesHandle* cut = openDamaged({good.begin(), good.begin() + size})) {
      for (std::uint16_t v = 0; v < kSmallVerses; ++v) noteOf(v, cut);
      std::uint16_t list[30], count = 0;
      VNPhraseSearch(list, &count, 29, "o", cut);
    }
  }
}

// --- A whole Bible ---

TEST(NotesKjvTest, AWholeBibleStoreAddressesItsLastVerse) {
  TempDir dir;
  test::buildKjvFixture(dir.path());
  Module module = test::openModule(dir.path(), "kjv.bib");
  ASSERT_NE(module, nullptr);
  Notes notes(VNOpen(module.get()));
  ASSERT_NE(notes, nullptr);
  EXPECT_EQ(fs::file_size(dir.file("kjv.vn")), 4093u + 4 * 31102);
  ASSERT_TRUE(VNSetNote("Revelation 22:21", "the end", notes.get()));
  ASSERT_TRUE(VNSetNote("John 3:16", "For God so loved", notes.get()));
  EXPECT_EQ(noteOf(31101, notes.get()), "the end");
  std::uint16_t list[3], count = 0;
  ASSERT_NE(VNPhraseSearch(list, &count, 2, "god so", notes.get()), nullptr);
  EXPECT_EQ(count, 1);
  char text[40];
  EXPECT_STREQ(unparseReference(text, verseToReference(list[0], module.get()), module.get()),
               "John 3:16");
}

}  // namespace
}  // namespace vellum
