// Dictionary stores: creation, hashing, names, items, codec storage, lookups, lists, handles.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstring>
#include <filesystem>
#include <fstream>
#include <functional>
#include <iterator>
#include <memory>
#include <string>
#include <vector>

#include "engine/stores/dict.h"
#include "engine/stores/dict_format.h"
#include "engine/stores/store_io.h"
#include "support/files.h"
#include "tests/support/fixtures.h"

namespace vellum {
namespace {

using test::TempDir;

// Closes the store on every way out of a test, so that a failed assertion cannot leave a
// shared stream open for the next test's file of the same name.
class Store {
 public:
  Store(DictHandle* handle) : handle_(handle) {}  // NOLINT: converts like the raw handle
  ~Store() { close(); }
  Store(const Store&) = delete;
  Store& operator=(const Store&) = delete;
  Store& operator=(DictHandle* handle) {
    close();
    handle_ = handle;
    return *this;
  }
  operator DictHandle*() const { return handle_; }  // NOLINT
  void close() {
    deinit_dict(handle_);
    handle_ = nullptr;
  }

 private:
  DictHandle* handle_;
};

std::string readFile(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

dict::Header headerOf(const std::string& path) {
  const std::string bytes = readFile(path);
  dict::Header header;
  EXPECT_TRUE(header.decode(std::span(reinterpret_cast<const std::uint8_t*>(bytes.data()),
                                      bytes.size())));
  return header;
}

std::string findText(DictHandle* store, const char* name, std::uint16_t size = 4096) {
  std::vector<char> buffer(size);
  std::uint16_t length = 0;
  if (find_string_item(buffer.data(), &length, size, name, store) == nullptr) return "<none>";
  EXPECT_EQ(length, std::strlen(buffer.data()));
  return buffer.data();
}

std::vector<std::string> namesOf(DictHandle* store) {
  std::span<const std::string> list;
  std::uint16_t count = 0;
  get_item_list(&list, &count, store);
  EXPECT_EQ(count, list.size());
  return {list.begin(), list.end()};
}

class DictTest : public ::testing::Test {
 protected:
  void SetUp() override { set_dpath(dir.path().string().c_str()); }
  void TearDown() override { set_dpath("."); }
  std::string path(const char* name = "t.dic") const { return dir.file(name); }
  TempDir dir;
};

// ---- Creation and the header ----

TEST_F(DictTest, NewStoreWritesTheHeaderAndAnEmptyTable) {
  Store store = new_dict("t.dic", "Vellum Options", 241, 0);
  ASSERT_NE(store, nullptr);
  EXPECT_EQ(isReadOnly(store), 0);
  EXPECT_TRUE(namesOf(store).empty());
  store.close();
  const std::string bytes = readFile(path());
  ASSERT_EQ(bytes.size(), 146u + 4 * 241);
  const dict::Header header = headerOf(path());
  EXPECT_EQ(header.magic, 0x1E228u);
  EXPECT_STREQ(header.title.data(), "Vellum Options");
  EXPECT_EQ(header.version1, 1u);
  EXPECT_EQ(header.version2, 3u);
  EXPECT_EQ(header.itemCount, 0);
  EXPECT_EQ(header.longestName, 1);
  EXPECT_EQ(header.tableOffset, 146u);
  EXPECT_EQ(header.dataStart, 146u + 4 * 241);
  EXPECT_EQ(header.endOfData, header.dataStart);
  EXPECT_EQ(header.tableSize, 241u);
  EXPECT_EQ(header.compressed, 0u);
  for (std::size_t i = 146; i < bytes.size(); ++i) ASSERT_EQ(bytes[i], 0) << i;
}

TEST_F(DictTest, TitleIsCutTo79Characters) {
  const std::string title(100, 'T');
  Store(new_dict("t.dic", title.c_str(), 7, 1)).close();
  EXPECT_EQ(std::string(headerOf(path()).title.data()), std::string(79, 'T'));
  EXPECT_EQ(headerOf(path()).compressed, 1u);
}

TEST_F(DictTest, TableSizesTheFormatCannotHoldAreRefusedWithNoFileLeft) {
  EXPECT_EQ(new_dict("t.dic", "x", 0, 0), nullptr);
  EXPECT_EQ(new_dict("t.dic", "x", 16384, 0), nullptr);
  EXPECT_EQ(new_dict("t.dic", "x", 65535, 0), nullptr);
  EXPECT_FALSE(std::filesystem::exists(path()));
  Store largest = new_dict("t.dic", "x", 16383, 0);
  ASSERT_NE(largest, nullptr);
  EXPECT_TRUE(add_string_item(largest, "Zion", "mount"));
  EXPECT_EQ(findText(largest, "zion"), "mount");
  largest.close();
}

TEST_F(DictTest, OpenFailsForMissingFilesAndNullArguments) {
  EXPECT_EQ(open_dict("absent.dic"), nullptr);
  EXPECT_EQ(open_dict(nullptr), nullptr);
  EXPECT_EQ(isReadOnly(nullptr), 0);
  deinit_dict(nullptr);
  EXPECT_FALSE(add_string_item(nullptr, "a", "b"));
  EXPECT_FALSE(delete_item("a", nullptr));
  EXPECT_FALSE(rename_item("a", "b", nullptr));
  std::uint16_t length = 9;
  char buffer[8];
  EXPECT_EQ(find_string_item(buffer, &length, 8, "a", nullptr), nullptr);
  EXPECT_EQ(length, 0);
  EXPECT_TRUE(namesOf(nullptr).empty());
}

// ---- Hash ----

TEST(DictHash, FollowsTheFormulaForShortAndLongNames) {
  EXPECT_EQ(dict::bucketOf("A", 10007), (73u * 'A' + 113u * 0 + 3341u * 1) % 10007);
  EXPECT_EQ(dict::bucketOf("ab", 10007), (73u * 'A' + 113u * 'B' + 3341u * 2) % 10007);
  EXPECT_EQ(dict::bucketOf("abc", 10007), (73u * 'A' + 113u * 'B' + 3341u * 3) % 10007);
  EXPECT_EQ(dict::bucketOf("Moses", 10007),
            (7u * 'M' + 73u * 'O' + 113u * 'S' + 97u * 'E' + 3341u * 5) % 10007);
  EXPECT_EQ(dict::bucketOf("moses", 241), dict::bucketOf("MOSES", 241));
  // Bytes above 127 count as 0..255, not as negative characters.
  EXPECT_EQ(dict::bucketOf("\xC3\xA9", 10007), (73u * 0xC3 + 113u * 0xA9 + 3341u * 2) % 10007);
}

TEST_F(DictTest, OneCharacterNamesAreStoredAndFound) {
  Store store = new_dict("t.dic", "x", 241, 0);
  EXPECT_TRUE(add_string_item(store, "A", "Alpha"));
  EXPECT_TRUE(add_string_item(store, "B", "Beta"));
  EXPECT_EQ(findText(store, "a"), "Alpha");
  EXPECT_EQ(findText(store, "B"), "Beta");
  store.close();
}

// ---- Names ----

TEST_F(DictTest, NamesIgnoreCaseButKeepTrailingBlanks) {
  Store store = new_dict("t.dic", "x", 241, 0);
  EXPECT_TRUE(add_string_item(store, "Moses", "one"));
  EXPECT_TRUE(add_string_item(store, "MOSES", "two"));
  EXPECT_EQ(findText(store, "moses"), "two");
  EXPECT_TRUE(add_string_item(store, "Moses ", "three"));
  EXPECT_EQ(findText(store, "Moses"), "two");
  EXPECT_EQ(findText(store, "Moses "), "three");
  EXPECT_EQ(namesOf(store).size(), 2u);
  EXPECT_EQ(headerOf(path()).itemCount, 2);
  store.close();
}

TEST_F(DictTest, BlankAndEmptyNamesAreRefused) {
  Store store = new_dict("t.dic", "x", 241, 0);
  EXPECT_FALSE(add_string_item(store, "   ", "x"));
  EXPECT_FALSE(add_string_item(store, "", "x"));
  EXPECT_FALSE(add_string_item(store, nullptr, "x"));
  EXPECT_EQ(findText(store, "   "), "<none>");
  EXPECT_TRUE(namesOf(store).empty());
  EXPECT_EQ(headerOf(path()).endOfData, headerOf(path()).dataStart);
  store.close();
}

TEST_F(DictTest, LongestNameIsRaised) {
  Store store = new_dict("t.dic", "x", 241, 0);
  add_string_item(store, "Jerusalem", "city");
  EXPECT_EQ(headerOf(path()).longestName, 9);
  rename_item("Maher-shalal-hash-baz", "Jerusalem", store);
  EXPECT_EQ(headerOf(path()).longestName, 21);
  store.close();
}

// ---- Items ----

TEST_F(DictTest, BinaryItemsRoundTripAndCutToTheBuffer) {
  Store store = new_dict("t.dic", "x", 241, 0);
  std::vector<std::uint8_t> data(300);
  for (std::size_t i = 0; i < data.size(); ++i) data[i] = static_cast<std::uint8_t>(i * 7);
  ASSERT_TRUE(add_binary_item(store, "SEARCHBOOKS", data.data(), 300));
  std::vector<std::uint8_t> out(400, 0xEE);
  std::uint16_t length = 0;
  ASSERT_EQ(find_binary_item(out.data(), &length, 400, "searchbooks", store), out.data());
  EXPECT_EQ(length, 300);
  EXPECT_TRUE(std::equal(data.begin(), data.end(), out.begin()));
  EXPECT_EQ(out[300], 0xEE);
  ASSERT_NE(find_binary_item(out.data(), &length, 10, "SEARCHBOOKS", store), nullptr);
  EXPECT_EQ(length, 10);
  length = 5;
  EXPECT_EQ(find_binary_item(out.data(), &length, 400, "WHICHBOOKS", store), nullptr);
  EXPECT_EQ(length, 0);
  ASSERT_TRUE(add_binary_item(store, "EMPTY", nullptr, 0));
  length = 5;
  EXPECT_NE(find_binary_item(out.data(), &length, 400, "EMPTY", store), nullptr);
  EXPECT_EQ(length, 0);
  store.close();
}

TEST_F(DictTest, ReplacedDataGoesToFreshSpaceLeavingTheOldBlockIntact) {
  Store store = new_dict("t.dic", "x", 241, 0);
  add_string_item(store, "Aaron", "first text");
  const std::uint32_t endAfterFirst = headerOf(path()).endOfData;
  const std::string before = readFile(path());
  // The block is the last thing in the heap and the new data is longer: still fresh space.
  ASSERT_TRUE(add_string_item(store, "Aaron", "a longer second text"));
  EXPECT_EQ(headerOf(path()).endOfData, endAfterFirst + 21);
  const std::string after = readFile(path());
  const auto oldBlock = before.find("first text");
  ASSERT_NE(oldBlock, std::string::npos);
  EXPECT_EQ(after.compare(oldBlock, 10, "first text"), 0);
  EXPECT_EQ(findText(store, "aaron"), "a longer second text");
  ASSERT_TRUE(add_string_item(store, "Aaron", "short"));
  EXPECT_EQ(findText(store, "Aaron"), "short");
  EXPECT_EQ(headerOf(path()).itemCount, 1);
  EXPECT_EQ(namesOf(store), std::vector<std::string>{"Aaron"});
  store.close();
}

TEST_F(DictTest, ItemsUpToTheLimitAreKept) {
  Store store = new_dict("t.dic", "x", 241, 1);
  std::vector<std::uint8_t> big(65535, 'q');
  ASSERT_TRUE(add_binary_item(store, "big", big.data(), 65535));
  std::vector<std::uint8_t> out(65535);
  std::uint16_t length = 0;
  ASSERT_NE(find_binary_item(out.data(), &length, 65535, "big", store), nullptr);
  EXPECT_EQ(length, 65535);
  EXPECT_EQ(out, big);
  EXPECT_FALSE(add_string_item(store, "toolong", std::string(65535, 'x').c_str()));
  store.close();
}

// ---- Codec storage ----

TEST_F(DictTest, CompressedStoreEncodesOnlyWhenShorter) {
  Store store = new_dict("t.dic", "x", 241, 1);
  const std::string repetitive(2000, 'a');
  ASSERT_TRUE(add_string_item(store, "plain", repetitive.c_str()));
  const std::uint32_t afterPlain = headerOf(path()).endOfData;
  EXPECT_LT(afterPlain - headerOf(path()).dataStart, 500u);  // stored encoded
  std::vector<std::uint8_t> noise(64);
  std::uint32_t seed = 12345;
  for (auto& b : noise) b = static_cast<std::uint8_t>((seed = seed * 1103515245 + 12345) >> 16);
  ASSERT_TRUE(add_binary_item(store, "noise", noise.data(), 64));
  // Incompressible: the block is the raw 64 bytes (name 6 + block 64 + record 22).
  EXPECT_EQ(headerOf(path()).endOfData, afterPlain + 6 + 64 + 22);
  std::vector<std::uint8_t> out(64);
  std::uint16_t length = 0;
  ASSERT_NE(find_binary_item(out.data(), &length, 64, "noise", store), nullptr);
  EXPECT_EQ(out, noise);
  EXPECT_EQ(findText(store, "plain", 4000), repetitive);
  std::uint16_t cutLength = 0;
  std::vector<char> small(100);
  ASSERT_NE(find_string_item(small.data(), &cutLength, 100, "plain", store), nullptr);
  EXPECT_EQ(std::string(small.data()), std::string(99, 'a'));
  store.close();
}

// ---- Text lookups ----

TEST_F(DictTest, StringItemsCutAtTheBufferLoseTheirLastCharacter) {
  Store store = new_dict("t.dic", "x", 241, 0);
  add_binary_item(store, "twenty", "abcdefghijklmnopqrst", 20);
  char buffer[10];
  std::uint16_t length = 0;
  ASSERT_EQ(find_string_item(buffer, &length, 10, "twenty", store), buffer);
  EXPECT_STREQ(buffer, "abcdefghi");
  EXPECT_EQ(length, 9);
  EXPECT_EQ(find_string_item(buffer, &length, 0, "twenty", store), nullptr);
  store.close();
}

TEST_F(DictTest, LineFeedsComeBackAsCarriageReturnLineFeedWithinTheBuffer) {
  Store store = new_dict("t.dic", "x", 241, 0);
  add_string_item(store, "lines", "one\ntwo\nthree");
  EXPECT_EQ(findText(store, "lines"), "one\r\ntwo\r\nthree");
  // 8 bytes: the doubled line ends must not run past the buffer.
  std::vector<char> buffer(8 + 16, '#');
  std::uint16_t length = 0;
  ASSERT_NE(find_string_item(buffer.data(), &length, 8, "lines", store), nullptr);
  EXPECT_LE(std::strlen(buffer.data()), 7u);
  EXPECT_EQ(length, std::strlen(buffer.data()));
  for (std::size_t i = 8; i < buffer.size(); ++i) EXPECT_EQ(buffer[i], '#');
  store.close();
}

TEST_F(DictTest, FuzzyFindCutsPossessivesAndPlurals) {
  Store store = new_dict("t.dic", "x", 241, 0);
  add_string_item(store, "Abraham", "father of a multitude");
  add_string_item(store, "Abraham's bosom", "rest");
  add_string_item(store, "box", "a case");
  add_string_item(store, "Angel", "messenger");
  char buffer[200];
  std::uint16_t length = 0;
  std::string name = "Abraham's";
  ASSERT_NE(fuzzy_find_string_item(buffer, &length, 200, name, store), nullptr);
  EXPECT_STREQ(buffer, "father of a multitude");
  EXPECT_EQ(name, "Abraham");
  name = "ABRAHAM'S";
  ASSERT_NE(fuzzy_find_string_item(buffer, &length, 200, name, store), nullptr);
  EXPECT_EQ(name, "ABRAHAM");
  name = "boxes";
  ASSERT_NE(fuzzy_find_string_item(buffer, &length, 200, name, store), nullptr);
  EXPECT_EQ(name, "box");
  name = "angels,";
  ASSERT_NE(fuzzy_find_string_item(buffer, &length, 200, name, store), nullptr);
  EXPECT_EQ(name, "angel");
  name = "Zebedee";
  EXPECT_EQ(fuzzy_find_string_item(buffer, &length, 200, name, store), nullptr);
  EXPECT_EQ(name, "Zebedee");
  name = "   ";
  EXPECT_EQ(fuzzy_find_string_item(buffer, &length, 200, name, store), nullptr);
  name = "s";  // the cut forms are empty and must not be looked up out of range
  EXPECT_EQ(fuzzy_find_string_item(buffer, &length, 200, name, store), nullptr);
  store.close();
}

TEST_F(DictTest, FuzzyFindTriesBoxeBeforeBox) {
  Store store = new_dict("t.dic", "x", 241, 0);
  add_string_item(store, "boxe", "the first cut");
  add_string_item(store, "box", "the second cut");
  char buffer[64];
  std::uint16_t length = 0;
  std::string name = "boxes";
  ASSERT_NE(fuzzy_find_string_item(buffer, &length, 64, name, store), nullptr);
  EXPECT_EQ(name, "boxe");
  EXPECT_STREQ(buffer, "the first cut");
  store.close();
}

// ---- Delete and rename ----

TEST_F(DictTest, DeleteUnlinksFromTheMiddleOfAChain) {
  Store store = new_dict("t.dic", "x", 1, 0);  // one bucket: every item on one chain
  for (const char* name : {"Adam", "Eve", "Cain", "Abel", "Seth"}) add_string_item(store, name, name);
  EXPECT_TRUE(delete_item("cain", store));
  EXPECT_FALSE(delete_item("Cain", store));
  EXPECT_TRUE(delete_item("Adam", store));
  EXPECT_TRUE(delete_item("SETH", store));
  EXPECT_EQ(findText(store, "Eve"), "Eve");
  EXPECT_EQ(findText(store, "Abel"), "Abel");
  EXPECT_EQ(findText(store, "Cain"), "<none>");
  EXPECT_EQ(namesOf(store), (std::vector<std::string>{"Abel", "Eve"}));
  EXPECT_EQ(headerOf(path()).itemCount, 2);
  store.close();
  store = open_dict("t.dic");
  EXPECT_EQ(namesOf(store), (std::vector<std::string>{"Abel", "Eve"}));
  store.close();
}

TEST_F(DictTest, RenameMovesTheItemAndKeepsItsData) {
  Store store = new_dict("t.dic", "x", 1, 0);
  add_string_item(store, "Abram", "exalted father");
  add_string_item(store, "Sarai", "princess");
  EXPECT_TRUE(rename_item("Abraham", "abram", store));
  EXPECT_EQ(findText(store, "Abram"), "<none>");
  EXPECT_EQ(findText(store, "ABRAHAM"), "exalted father");
  EXPECT_EQ(findText(store, "Sarai"), "princess");
  EXPECT_FALSE(rename_item("X", "Nobody", store));
  EXPECT_FALSE(rename_item("  ", "Sarai", store));
  EXPECT_EQ(namesOf(store), (std::vector<std::string>{"Abraham", "Sarai"}));
  EXPECT_EQ(headerOf(path()).itemCount, 2);
  store.close();
}

TEST_F(DictTest, RenameOntoAnExistingNameReplacesThatItemAndLowersTheCount) {
  Store store = new_dict("t.dic", "x", 1, 0);
  add_string_item(store, "Sarai", "princess");
  add_string_item(store, "Sarah", "old entry");
  add_string_item(store, "Isaac", "laughter");
  EXPECT_TRUE(rename_item("SARAH", "Sarai", store));
  EXPECT_EQ(findText(store, "sarah"), "princess");
  EXPECT_EQ(findText(store, "Sarai"), "<none>");
  EXPECT_EQ(findText(store, "Isaac"), "laughter");
  EXPECT_EQ(namesOf(store), (std::vector<std::string>{"Isaac", "SARAH"}));
  EXPECT_EQ(headerOf(path()).itemCount, 2);
  store.close();
  store = open_dict("t.dic");
  EXPECT_EQ(namesOf(store), (std::vector<std::string>{"Isaac", "SARAH"}));
  EXPECT_EQ(findText(store, "sarah"), "princess");
  store.close();
}

TEST_F(DictTest, RenameChangingOnlyLetterCaseKeepsOneItem) {
  Store store = new_dict("t.dic", "x", 3, 0);
  add_string_item(store, "moses", "drawn out");
  EXPECT_TRUE(rename_item("Moses", "moses", store));
  EXPECT_EQ(findText(store, "MOSES"), "drawn out");
  EXPECT_EQ(namesOf(store), std::vector<std::string>{"Moses"});
  EXPECT_EQ(headerOf(path()).itemCount, 1);
  store.close();
}

// ---- Name list text ----

TEST_F(DictTest, StoreClosedUnchangedKeepsItsFileByteForByte) {
  Store store = new_dict("t.dic", "x", 241, 0);
  add_string_item(store, "Zion", "z");
  add_string_item(store, "Aaron", "a");
  store.close();
  const std::string closed = readFile(path());
  EXPECT_TRUE(closed.ends_with("Aaron\nZion\n"));
  store = open_dict("t.dic");
  EXPECT_EQ(namesOf(store), (std::vector<std::string>{"Aaron", "Zion"}));
  EXPECT_EQ(findText(store, "zion"), "z");
  store.close();
  EXPECT_EQ(readFile(path()), closed);
}

TEST_F(DictTest, StoreClosedAfterAnAdditionRewritesItsList) {
  Store store = new_dict("t.dic", "x", 241, 0);
  add_string_item(store, "Zion", "z");
  store.close();
  store = open_dict("t.dic");
  add_string_item(store, "Bethel", "house of God");
  // Within the same second as the close: the change must still mark the text stale.
  const dict::Header changed = headerOf(path());
  EXPECT_GT(changed.modifyTime, changed.listTime);
  store.close();
  const std::string bytes = readFile(path());
  const dict::Header header = headerOf(path());
  EXPECT_LE(header.modifyTime, header.listTime);
  EXPECT_EQ(bytes.substr(header.endOfData), "Bethel\nZion\n");
  store = open_dict("t.dic");
  EXPECT_EQ(namesOf(store), (std::vector<std::string>{"Bethel", "Zion"}));
  store.close();
}

TEST_F(DictTest, NamesTheListTextCannotCarryKeepTheListStale) {
  Store store = new_dict("t.dic", "x", 241, 0);
  add_string_item(store, ";comment-like", "a");
  add_string_item(store, "two\nlines", "b");
  add_string_item(store, "plain", "c");
  store.close();
  store = open_dict("t.dic");
  EXPECT_EQ(namesOf(store), (std::vector<std::string>{";comment-like", "plain", "two\nlines"}));
  store.close();
}

// ---- Several handles on one file ----

TEST_F(DictTest, HandlesOnOneFileSeeEachOthersChanges) {
  Store first = new_dict("t.dic", "x", 241, 0);
  add_string_item(first, "Aaron", "a");
  first.close();
  first = open_dict("t.dic");
  Store second = open_dict("t.dic");
  ASSERT_NE(second, nullptr);
  EXPECT_TRUE(add_string_item(first, "Moses", "m"));
  EXPECT_EQ(findText(second, "moses"), "m");
  EXPECT_EQ(namesOf(second), (std::vector<std::string>{"Aaron", "Moses"}));
  EXPECT_TRUE(delete_item("Aaron", second));
  EXPECT_EQ(namesOf(first), std::vector<std::string>{"Moses"});
  second.close();  // writes the list text
  EXPECT_TRUE(add_string_item(first, "Joshua", "j"));  // must mark that text stale first
  first.close();
  Store again = open_dict("t.dic");
  EXPECT_EQ(namesOf(again), (std::vector<std::string>{"Joshua", "Moses"}));
  EXPECT_EQ(findText(again, "Joshua"), "j");
  again.close();
}

// ---- Read-only stores ----

// Runs body in a child process without root's rights; its exit status is the result.
int runUnprivileged(const std::function<int()>& body) {
  const pid_t child = fork();
  if (child == 0) {
    if (geteuid() == 0 && (setgid(65534) != 0 || setuid(65534) != 0)) _exit(90);
    _exit(body());
  }
  int status = 0;
  waitpid(child, &status, 0);
  return WIFEXITED(status) ? WEXITSTATUS(status) : 99;
}

TEST_F(DictTest, ReadOnlyStoresAreFoundAndLeftUntouched) {
  const std::filesystem::path readOnlyDir = dir.path() / "ro";
  std::filesystem::create_directory(readOnlyDir);
  set_dpath(readOnlyDir.string().c_str());
  Store store = new_dict("t.dic", "x", 241, 0);
  add_string_item(store, "Aaron", "a");
  add_string_item(store, "Moses", "m");
  store.close();
  store = open_dict("t.dic");
  add_string_item(store, "Joshua", "j");  // leave the list stale: a close would rewrite it
  // Simulate a process killed here: the handle is dropped without its close.
  faults::failWritesAfter(0);
  store.close();
  faults::failWritesAfter(-1);
  const std::string file = (readOnlyDir / "t.dic").string();
  const std::string before = readFile(file);
  chmod(dir.path().c_str(), 0755);
  chmod(file.c_str(), 0444);
  chmod(readOnlyDir.c_str(), 0555);
  const int result = runUnprivileged([] {
    DictHandle* ro = open_dict("t.dic");
    if (ro == nullptr) return 1;
    if (isReadOnly(ro) != 1) return 2;
    if (add_string_item(ro, "Caleb", "c") || delete_item("Aaron", ro) ||
        rename_item("Aaron2", "Aaron", ro))
      return 3;
    char buffer[16];
    std::uint16_t length = 0;
    if (find_string_item(buffer, &length, 16, "joshua", ro) == nullptr) return 4;
    std::span<const std::string> names;
    std::uint16_t count = 0;
    get_item_list(&names, &count, ro);
    if (count != 3) return 5;
    deinit_dict(ro);  // a read-only handle never writes its stale list
    return 0;
  });
  chmod(readOnlyDir.c_str(), 0755);
  EXPECT_EQ(result, 0);
  EXPECT_EQ(readFile(file), before);
}

}  // namespace
}  // namespace vellum
