// Verse notes store: the verses a change reaches, the getters' buffers, searches and verse
// lists, import and damaged files (read-only stores are covered with the locks, in
// concurrency_test).
#include "engine/stores/notes.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <functional>
#include <string>
#include <tuple>
#include <vector>

#include "engine/stores/notes_format.h"
#include "support/endian.h"
#include "support/files.h"
#include "tests/support/fixtures.h"

namespace vellum {
namespace {

using test::Notes;
using test::noteText;
using List = std::vector<std::uint16_t>;

// Genesis 1 (10 verses), Genesis 2 (5), Ruth 1 (8): verse numbers 0..22.
constexpr std::uint32_t kSmallVerses = 23;

class NotesTest : public ::testing::Test {
 protected:
  void SetUp() override {
    std::string vpl;
    const std::tuple<const char*, int, int> chapters[] = {
        {"Genesis", 1, 10}, {"Genesis", 2, 5}, {"Ruth", 1, 8}};
    for (const auto& [book, chapter, verses] : chapters)
      for (int v = 1; v <= verses; ++v)
        vpl +=
            std::string(book) + "\t" + std::to_string(chapter) + "\t" + std::to_string(v) + "\tx\n";
    test::buildModule(dir.path(), "small.bib", "Small Bible", vpl);
    module = test::openModule(dir.path(), "small.bib");
    ASSERT_NE(module, nullptr);
    notes.reset(VNOpen(module.get()));
    ASSERT_NE(notes, nullptr);
  }
  std::string storePath() const { return dir.file("small.vn"); }
  // The store file's u32 at offset.
  std::uint32_t at(std::uint64_t offset) const {
    const std::string bytes = test::readFile(storePath());
    if (bytes.size() < offset + 4) return 0;
    return le::load32(reinterpret_cast<const std::uint8_t*>(bytes.data()) + offset);
  }
  // The verses found, the list checked to hold at most maximum of them and the terminator.
  List search(const char* phrase, bool caseSensitive, std::uint16_t maximum = 30) {
    List list(32, 0xAAAA);
    std::uint16_t count = 0;
    (caseSensitive ? VNCSPhraseSearch : VNPhraseSearch)(list.data(), &count, maximum, phrase,
                                                        notes.get());
    EXPECT_LE(count, maximum);
    EXPECT_EQ(list[count], kVerseListEnd);
    EXPECT_EQ(list[count + 1], 0xAAAA);
    return {list.begin(), list.begin() + count};
  }

  test::TempDir dir;
  test::Module module;
  Notes notes;
};

// A change reaches a verse by number, Reference or text alike; a verse the store or the module
// does not hold, or a text that does not parse (which would read as Genesis 1:1), reaches none,
// and no handle does nothing.
TEST_F(NotesTest, ChangesReachOnlyTheVerseTheyName) {
  char out[32] = "x";
  std::uint16_t length = 5, list[4] = {1, 2, 3, 4}, count = 9;
  VNClose(nullptr);
  EXPECT_FALSE(VNOpen(nullptr) || VNCreate(nullptr) || VNSetNoteByVerse(0, "x", nullptr) ||
               VNSetNote("Genesis 1:1", "x", nullptr) || VNDelNoteByVerse(0, nullptr) ||
               VNGetNotesForChapter(out, &length, sizeof out, "Genesis 1:1", nullptr) ||
               VNGetNoteByVerse(out, &length, sizeof out, 0, nullptr) ||
               VNPhraseSearch(list, &count, 3, "x", nullptr));
  EXPECT_EQ(std::string(out) + std::to_string(length), "0");
  EXPECT_EQ(List({count, list[0]}), List({0, kVerseListEnd}));
  EXPECT_EQ(std::pair(VNReadOnly(nullptr), VNImport("nothing.txt", nullptr)), std::pair(1, -1));
  NotesHandle* n = notes.get();
  ASSERT_TRUE(VNSetNoteByVerse(0, "genesis note", n));
  const std::string before = test::readFile(storePath());
  const Reference pastTheChapter{0, 1, 11}, noSuchBook{5, 1, 1};
  const std::function<bool()> refused[] = {
      [&] { return VNSetNote("Exodus 1:1", "no such book", n); },
      [&] { return VNSetNote("Genesis 9:1", "no such chapter", n); },
      [&] { return VNDelNote("Genesis", n); },
      [&] { return VNSetNoteByRef(pastTheChapter, "past the chapter", n); },
      [&] { return VNDelNoteByRef(noSuchBook, n); },
      [&] { return VNSetNoteByVerse(kSmallVerses, "past the store", n); },
      [&] { return VNDelNoteByVerse(kSmallVerses, n); },
      [&] { return VNSetNoteByVerse(1, std::string(65536, 'a').c_str(), n); },
  };
  for (const auto& change : refused) EXPECT_FALSE(change()) << &change - refused;
  EXPECT_EQ(test::readFile(storePath()), before);
  out[0] = 'x';
  length = 3;
  EXPECT_EQ(VNGetNote(out, &length, sizeof out, "Exodus 1:1", n), nullptr);
  EXPECT_EQ(std::string(out) + std::to_string(length), "0");
  ASSERT_TRUE(VNSetNoteByRef({0, 2, 3}, "by ref", n));
  ASSERT_NE(VNGetNote(out, &length, sizeof out, "genesis 2:3", n), nullptr);
  EXPECT_EQ(std::string(out) + noteText(n, 12), "by refby ref");
  ASSERT_TRUE(VNSetNote("Ruth 1:8", "", n));  // an empty text is a note too, the last verse's
  EXPECT_NE(VNGetNoteByRef(out, &length, sizeof out, {1, 1, 8}, n), nullptr);
  EXPECT_TRUE(VNDelNoteByRef({1, 1, 8}, n) && VNDelNote("Genesis 2:3", n));
  EXPECT_FALSE(VNDelNote("Genesis 2:3", n)) << "nothing left to delete";
  EXPECT_EQ(noteText(n, 12) + noteText(n, 22), "<none><none>");
  ASSERT_TRUE(VNSetNoteByVerse(1, std::string(65535, 'b').c_str(), n));
  EXPECT_EQ(noteText(n, 1).size(), 32766u);
}

// Getters deliver at most size - 1 bytes and a terminator; the chapter listing stops at the
// entry that no longer fits, cutting that entry's note.
TEST_F(NotesTest, GettersStayWithinTheBuffer) {
  for (std::uint16_t v = 0; v <= 10; ++v)
    ASSERT_TRUE(VNSetNoteByVerse(v, v < 10 ? "0123456789" : "next chapter", notes.get()));
  EXPECT_EQ(noteText(notes.get(), 1, 4) + noteText(notes.get(), 1, 1), "012");
  char none[1];
  std::uint16_t length = 7;
  EXPECT_EQ(VNGetNoteByVerse(none, &length, 0, 1, notes.get()), nullptr);
  EXPECT_EQ(length, 0);
  for (std::uint16_t size : {1, 8, 9, 12, 20, 40, 57, 400}) {
    std::string out(size + 16u, 'z');
    ASSERT_NE(VNGetNotesForChapter(out.data(), &length, size, "Genesis 1:1", notes.get()), nullptr);
    EXPECT_EQ(out.substr(size), std::string(16, 'z'));
    out.resize(out.find('\0'));
    EXPECT_EQ(length, out.size());
    EXPECT_LT(length, size);
    const char* start = size >= 57 ? "1. 0123456789\n2. " : size >= 22 ? "1. 0123456789\n" : "";
    EXPECT_TRUE(out.starts_with(start)) << size;
    EXPECT_EQ(out.ends_with("\n10. 0123456789\n"), size == 400) << out;
  }
  char out[50] = "x";
  EXPECT_EQ(VNGetNotesForChapter(out, &length, sizeof out, "Genesis 1", notes.get()), out);
  EXPECT_STREQ(out, "");
}

// Searches read the notes whole-word (support/strings.h has the rules), with and without case,
// and list at most maximum verses; the verses with notes of a chapter keep one of maximum
// entries for the terminator.
TEST_F(NotesTest, SearchesAndVerseListsStayWithinTheirLists) {
  const char* texts[] = {"the shepherds",           "the shepherd, watching", "ashepherd",
                         "The LORD is my shepherd", "the lord of hosts",      "shepherd, deleted"};
  for (std::uint16_t v = 0; v < 6; ++v) ASSERT_TRUE(VNSetNoteByVerse(v, texts[v], notes.get()));
  ASSERT_TRUE(VNDelNoteByVerse(5, notes.get()));
  ASSERT_TRUE(VNSetNoteByVerse(11, "the shepherd elsewhere", notes.get()));
  EXPECT_EQ(search("shepherd", false), List({1, 3, 11}));
  EXPECT_EQ(search("shepherd", false, 2), List({1, 3}));
  EXPECT_EQ(search("shepherd", false, 0), List());
  EXPECT_EQ(search("lord", false), List({3, 4}));
  EXPECT_EQ(search("lord", true), List({4}));
  EXPECT_EQ(search("LORD is", true), List({3}));
  EXPECT_EQ(search("", false), List());
  const struct {
    std::uint16_t maximum;
    Reference chapter;
    List found;
  } cases[] = {{6, {0, 1, 4}, {0, 1, 2, 3, 4}}, {3, {0, 1, 1}, {0, 1}}, {6, {1, 1, 1}, {}}};
  for (const auto& c : cases) {
    List list(6, 0xAAAA), expected = c.found;
    std::uint16_t count = 9;
    EXPECT_EQ(
        VNFindVersesWithNotes(list.data(), &count, c.maximum, c.chapter, notes.get()) != nullptr,
        !c.found.empty());
    expected.push_back(kVerseListEnd);
    expected.resize(6, 0xAAAA);
    EXPECT_EQ(list, expected) << c.maximum;
    EXPECT_EQ(count, c.found.size());
  }
  std::uint16_t untouched = 0xAAAA, count = 0;
  EXPECT_EQ(VNFindVersesWithNotes(&untouched, &count, 0, {0, 1, 1}, notes.get()), nullptr);
  EXPECT_EQ(untouched, 0xAAAA);
}

TEST_F(NotesTest, ImportStoresEntriesAndReportsTheBadOnesByLine) {
  test::writeFile(dir.file("in.txt"),
                  "Genesis 1:2\nline one\nline two\n\n\n  \nRuth 1:3\r\nwindows line\r\n \t\n"
                  "Genesis 99:1\nlost\nstill lost\n\nGenesis 1:1\n" +
                      std::string(40000, 'a') + "\n\nGenesis 2:1\nlast entry, no line end");
  std::vector<std::pair<int, std::string>> problems;
  EXPECT_EQ(VNImport(dir.file("in.txt").c_str(), notes.get(),
                     [&](int line, const std::string& m) { problems.emplace_back(line, m); }),
            4);
  EXPECT_EQ(problems,
            (std::vector<std::pair<int, std::string>>{{10, "Genesis 99:1 is not a valid reference"},
                                                      {14, "note cut to 32766 characters"}}));
  EXPECT_EQ(noteText(notes.get(), 1), "line one\nline two\n");
  EXPECT_EQ(noteText(notes.get(), 17), "windows line\n");
  EXPECT_EQ(noteText(notes.get(), 0), std::string(32766, 'a'));
  EXPECT_EQ(noteText(notes.get(), 10), "last entry, no line end");
  test::writeFile(dir.file("bare-notes.txt"), "Genesis 1:1\nfrom the data path\n");
  EXPECT_EQ(VNImport("bare-notes.txt", notes.get()), 1);
  EXPECT_EQ(VNImport(dir.file("missing.txt").c_str(), notes.get()), -1);
}

// A header that does not fit the format, the file or the module is refused at open; a chain
// that loops or leaves the file reads as no note and takes no new record; an end of data
// pointing back among live records lets no new record overwrite them.
TEST_F(NotesTest, DamagedFilesAreRefusedOrReadAsNoNote) {
  ASSERT_TRUE(VNSetNoteByVerse(1, "one", notes.get()));
  ASSERT_TRUE(VNSetNoteByVerse(1, "two", notes.get()));
  ASSERT_TRUE(VNSetNoteByVerse(5, "five", notes.get()));
  notes.reset();
  const std::string good = test::readFile(storePath());
  const std::uint32_t first = at(format::slotOffset(1)), second = at(first);
  // A fault as test::damage takes it, and what verses 1 and 5 read ("" when the file is refused).
  const struct {
    std::uint64_t offset;
    std::uint32_t value;
    int width;
    const char *verse1, *verse5;
  } cases[] = {
      {12, kSmallVerses + 1, 4, "", ""},                           // more verses than the module
      {4089, 100, 4, "", ""},                                      // end of data inside the slots
      {4093 + 4 * 10, 0, 0, "", ""},                               // slots cut
      {9, 1, 1, "", ""},                                           // signature
      {at(format::slotOffset(5)) + 4, 60000, 2, "two", "<none>"},  // past the file
      {second, first, 4, "<none>", "five"},                        // a chain that loops
      {format::slotOffset(1), 4093, 4, "<none>", "five"},          // a slot among the slots
      {second, 6, 1, "<none>", "five"},                            // a record flipped
      {4089, first, 4, "two", "five"},                             // end of data among live records
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(&c - cases);
    notes.reset();
    test::damage(storePath(), good, c.offset, c.value, c.width);
    notes.reset(VNOpen(module.get()));
    ASSERT_EQ(notes != nullptr, *c.verse1 != '\0');
    if (!notes) continue;
    EXPECT_EQ(noteText(notes.get(), 1), c.verse1);
    const bool chained = c.verse1 != std::string("<none>");
    EXPECT_EQ(VNSetNoteByVerse(1, "three", notes.get()), chained);
    ASSERT_TRUE(VNSetNoteByVerse(7, "seven", notes.get()));
    EXPECT_EQ(noteText(notes.get(), 1), chained ? "three" : "<none>");
    EXPECT_EQ(noteText(notes.get(), 5) + noteText(notes.get(), 7), c.verse5 + std::string("seven"));
    EXPECT_EQ(search("seven", false), List({7}));
  }
}

}  // namespace
}  // namespace vellum
