// Dictionary stores: the file's layout, the store operations, lookups into small buffers, the
// name list, several handles and one damaged file of each kind (read-only stores are covered with
// the locks, in concurrency_test).
#include "engine/stores/dict.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <sstream>
#include <string>
#include <tuple>
#include <vector>

#include "engine/stores/dict_format.h"
#include "support/endian.h"
#include "support/files.h"
#include "tests/support/fixtures.h"

namespace vellum {
namespace {

using test::Dict;
using test::itemNames;
using test::itemText;

dict::Header headerOf(const std::string& path) {
  const std::string bytes = test::readFile(path);
  dict::Header header;
  EXPECT_TRUE(
      header.decode(std::span(reinterpret_cast<const std::uint8_t*>(bytes.data()), bytes.size())));
  return header;
}

class DictTest : public ::testing::Test {
 protected:
  void SetUp() override { set_dpath(dir.path().string().c_str()); }
  void TearDown() override { set_dpath("."); }
  std::string path() const { return dir.file("t.dic"); }
  test::TempDir dir;
};

// Other programs find items by this hash: bytes count from 0 to 255, letters without case.
TEST(DictHash, FollowsTheFormulaForShortAndLongNames) {
  const std::pair<const char*, std::uint32_t> cases[] = {
      {"A", 73u * 'A' + 3341},
      {"abc", 73u * 'A' + 113u * 'B' + 3341 * 3},
      {"moses", 7u * 'M' + 73u * 'O' + 113u * 'S' + 97u * 'E' + 3341 * 5},
      {"\xC3\xA9", 73u * 0xC3 + 113u * 0xA9 + 3341 * 2}};
  for (const auto& [name, hash] : cases) EXPECT_EQ(dict::bucketOf(name, 10007), hash % 10007);
}

std::vector<std::string> split(const std::string& text) {
  std::vector<std::string> parts;
  std::istringstream in(text);
  for (std::string part; std::getline(in, part, '|');) parts.push_back(part);
  return parts;
}

// Each case runs on a one-bucket store (one chain). Steps, split at '|': "+name=text" adds,
// "-name" deletes, ">old>new" renames, a leading '!' for a refusal. Then the name list left and
// texts found by name: both, and the header's count and longest name, hold across a reopen.
TEST_F(DictTest, OperationsLeaveTheListedItems) {
  const struct {
    const char *steps, *listed, *finds;
  } cases[] = {
      {"+Moses=one|+MOSES=two|+Moses =three|+A=Alpha|!+   =x|!+=x", "A|Moses|Moses ",
       "moses=two|Moses =three|a=Alpha|   =<none>"},  // names ignore case, keep trailing blanks
      {"+Adam=1|+Eve=2|+Cain=3|+Abel=4|+Seth=5|-cain|!-Cain|-Adam|-SETH", "Abel|Eve",
       "Eve=2|Abel=4|Cain=<none>|Seth=<none>"},
      {"+Abram=exalted|+Sarai=princess|>abram>Maher-shalal-hash-baz|!>Nobody>X|!>Sarai>  ",
       "Maher-shalal-hash-baz|Sarai", "Abram=<none>|MAHER-SHALAL-HASH-BAZ=exalted|Sarai=princess"},
      {"+Sarai=princess|+Sarah=old|+Isaac=laughter|>Sarai>SARAH", "Isaac|SARAH",
       "sarah=princess|Sarai=<none>|Isaac=laughter"},  // onto another item, which goes
      {"+moses=drawn out|>moses>Moses", "Moses", "MOSES=drawn out"}};
  for (const auto& c : cases) {
    SCOPED_TRACE(c.steps);
    Dict store(new_dict("t.dic", "x", 1, 0));
    ASSERT_NE(store, nullptr);
    for (std::string step : split(c.steps)) {
      const bool refused = step[0] == '!';
      if (refused) step.erase(0, 1);
      const std::size_t cut = step.find_first_of("=>", 1);
      const std::string a = step.substr(1, cut - 1), b = step.substr(cut + 1);
      EXPECT_EQ(step[0] == '+'   ? add_string_item(store.get(), a.c_str(), b.c_str())
                : step[0] == '-' ? delete_item(a.c_str(), store.get())
                                 : rename_item(b.c_str(), a.c_str(), store.get()),
                !refused)
          << step;
    }
    for (const char* when : {"open", "reopened"}) {
      EXPECT_EQ(itemNames(store.get()), split(c.listed)) << when;
      for (const std::string& find : split(c.finds)) {
        const std::size_t equals = find.find('=');
        EXPECT_EQ(itemText(store.get(), find.substr(0, equals)), find.substr(equals + 1)) << when;
      }
      const dict::Header header = headerOf(path());
      EXPECT_EQ(header.itemCount, split(c.listed).size()) << when;
      for (const std::string& name : split(c.listed)) EXPECT_GE(header.longestName, name.size());
      store.reset();
      store.reset(open_dict("t.dic"));
    }
  }
}

// No handle does nothing and finds nothing. Table sizes the format cannot hold are refused before
// any file is made; titles are cut to 79 characters; items hold up to 65535 bytes, stored encoded
// in a compressed store only when that is shorter.
TEST_F(DictTest, LimitsAndRefusals) {
  EXPECT_EQ(open_dict("absent.dic"), nullptr);
  EXPECT_EQ(open_dict(nullptr), nullptr);
  deinit_dict(nullptr);
  EXPECT_FALSE(isReadOnly(nullptr) || add_string_item(nullptr, "a", "b") ||
               delete_item("a", nullptr) || rename_item("a", "b", nullptr));
  EXPECT_EQ(itemText(nullptr, "a") + std::to_string(itemNames(nullptr).size()), "<none>0");
  for (std::uint16_t tableSize : {0, 16384, 65535})
    EXPECT_EQ(new_dict("t.dic", "x", tableSize, 0), nullptr) << tableSize;
  EXPECT_FALSE(std::filesystem::exists(path()));
  Dict store(new_dict("t.dic", std::string(100, 'T').c_str(), 16383, 1));
  ASSERT_NE(store, nullptr);
  EXPECT_EQ(std::string(headerOf(path()).title.data()), std::string(79, 'T'));
  const std::string big(65535, 'q');
  ASSERT_TRUE(add_binary_item(store.get(), "big", big.data(), 65535));
  EXPECT_LT(headerOf(path()).endOfData - headerOf(path()).dataStart, 20000u);  // encoded
  EXPECT_EQ(test::itemBytes(store.get(), "BIG"), big);
  EXPECT_EQ(itemText(store.get(), "big", 100), std::string(99, 'q'));
  std::string noise(64, '\0');
  std::uint32_t seed = 12345;
  for (char& b : noise) b = static_cast<char>((seed = seed * 1103515245 + 12345) >> 16);
  const std::uint32_t end = headerOf(path()).endOfData;
  ASSERT_TRUE(add_binary_item(store.get(), "noise", noise.data(), 64));
  EXPECT_EQ(headerOf(path()).endOfData, end + 6 + 64 + 22);  // name, raw block, record
  EXPECT_EQ(test::itemBytes(store.get(), "noise"), noise);
  EXPECT_FALSE(add_string_item(store.get(), "toolong", std::string(65535, 'x').c_str()) ||
               add_binary_item(store.get(), "nodata", nullptr, 3) ||
               add_string_item(store.get(), nullptr, "no name") ||
               add_string_item(store.get(), "no text", nullptr));
  EXPECT_TRUE(add_binary_item(store.get(), "empty", nullptr, 0));
  EXPECT_EQ(test::itemBytes(store.get(), "empty"), "");
}

// Binary items are cut to the buffer; texts lose their last character to the terminator, and
// their line feeds widen to carriage return and line feed within the buffer (a line end that no
// longer fits ends the text). The fuzzy find tries the forms of a name in order.
TEST_F(DictTest, LookupsStayWithinTheBufferAndFuzzyFindTriesTheForms) {
  Dict store(new_dict("t.dic", "x", 241, 0));
  ASSERT_TRUE(add_binary_item(store.get(), "twenty", "abcdefghijklmnopqrst", 20));
  ASSERT_TRUE(add_string_item(store.get(), "lines", "one\ntwo\nthree"));
  for (const char* name : {"Abraham", "boxe", "box", "Angel"})
    ASSERT_TRUE(add_string_item(store.get(), name, (std::string("text of ") + name).c_str()));
  std::uint8_t out[17] = "################";
  std::uint16_t length = 0;
  ASSERT_EQ(find_binary_item(out, &length, 10, "TWENTY", store.get()), out);
  EXPECT_EQ(std::string(reinterpret_cast<char*>(out), 16), "abcdefghij######");
  EXPECT_EQ(length, 10);
  EXPECT_EQ(find_string_item(reinterpret_cast<char*>(out), &length, 0, "twenty", store.get()),
            nullptr);
  const std::tuple<const char*, std::uint16_t, const char*> cases[] = {
      {"twenty", 10, "abcdefghi"},
      {"twenty", 1, ""},
      {"lines", 8, "one\r\ntw"},
      {"lines", 100, "one\r\ntwo\r\nthree"},
      {"lines", 5, "one"}};
  for (const auto& [name, size, text] : cases) EXPECT_EQ(itemText(store.get(), name, size), text);
  const std::pair<const char*, const char*> fuzzy[] = {
      // asked, found (nullptr: nothing)
      {"Abraham's", "Abraham"}, {"ABRAHAM'S", "ABRAHAM"}, {"boxes", "boxe"}, {"angels,", "angel"},
      {"Zebedee", nullptr},     {"   ", nullptr},         {"s", nullptr}};
  for (const auto& [asked, found] : fuzzy) {
    std::string name = asked;
    EXPECT_EQ(fuzzy_find_string_item(reinterpret_cast<char*>(out), &length, sizeof out, name,
                                     store.get()) != nullptr,
              !!found);
    EXPECT_EQ(name, found ? found : asked);
  }
}

// The name list text at the end of the file is written at a close only when it is stale and
// can carry every name; a store closed unchanged keeps its file byte for byte. Handles on one
// file see each other's changes.
TEST_F(DictTest, TheNameListTextIsWrittenOnlyWhenStaleAndHandlesShareChanges) {
  Dict store(new_dict("t.dic", "x", 241, 0));
  add_string_item(store.get(), "Zion", "z");
  add_string_item(store.get(), "Aaron", "a");
  store.reset();
  const std::string closed = test::readFile(path());
  EXPECT_TRUE(closed.ends_with("Aaron\nZion\n"));
  store.reset(open_dict("t.dic"));
  EXPECT_EQ(itemText(store.get(), "zion"), "z");
  store.reset();
  EXPECT_EQ(test::readFile(path()), closed);
  store.reset(open_dict("t.dic"));
  add_string_item(store.get(), "Bethel", "house of God");
  // Within the same second as the close: the change must still mark the text stale.
  EXPECT_GT(headerOf(path()).modifyTime, headerOf(path()).listTime);
  store.reset();
  EXPECT_EQ(test::readFile(path()).substr(headerOf(path()).endOfData), "Aaron\nBethel\nZion\n");
  store.reset(open_dict("t.dic"));
  add_string_item(store.get(), ";comment-like", "c");
  add_string_item(store.get(), "two\nlines", "l");
  store.reset();
  store.reset(open_dict("t.dic"));
  EXPECT_EQ(itemNames(store.get()),
            (std::vector<std::string>{";comment-like", "Aaron", "Bethel", "two\nlines", "Zion"}));

  Dict second(open_dict("t.dic"));
  EXPECT_TRUE(add_string_item(store.get(), "Moses", "m"));
  EXPECT_EQ(itemText(second.get(), "moses"), "m");
  EXPECT_TRUE(delete_item(";comment-like", second.get()) &&
              delete_item("two\nlines", second.get()));
  EXPECT_EQ(itemNames(store.get()), (std::vector<std::string>{"Aaron", "Bethel", "Moses", "Zion"}));
  second.reset();                                            // writes the list text
  EXPECT_TRUE(add_string_item(store.get(), "Joshua", "j"));  // must mark that text stale first
  store.reset(open_dict("t.dic"));
  EXPECT_EQ(itemNames(store.get()),
            (std::vector<std::string>{"Aaron", "Bethel", "Joshua", "Moses", "Zion"}));
  EXPECT_EQ(itemText(store.get(), "Joshua"), "j");
}

// A header that does not fit the file is refused at open; a record outside the heap finds
// nothing, and a damaged chain (the store has one) takes no new link.
TEST_F(DictTest, DamagedFilesAreRefusedOrFindNothing) {
  Dict store(new_dict("t.dic", "x", 1, 1));
  for (const char* name : {"Aaron", "Abel", "Cain"})
    ASSERT_TRUE(add_string_item(store.get(), name, (std::string(200, 'x') + name).c_str()));
  store.reset();
  const std::string good = test::readFile(path());
  const std::uint32_t first = le::load32(reinterpret_cast<const std::uint8_t*>(good.data()) + 146);
  const std::uint32_t end = headerOf(path()).endOfData;
  const std::string cain = std::string(200, 'x') + "Cain";
  enum Outcome { kRefused, kChainRefused, kWorks };
  const struct {  // the fault as test::damage takes it
    std::uint32_t offset, value;
    int width;
    Outcome outcome;
  } cases[] = {
      {148, 0, 0, kRefused},                      // cut inside the table
      {126, 16384, 4, kRefused},                  // a table size past the format
      {118, 0x7FFFFFF0, 4, kRefused},             // the end of data past the file
      {first, first, 4, kChainRefused},           // a record that links to itself
      {first + 8, 0xFFFFFF00, 4, kChainRefused},  // its name past the file
      {first, 22, 1, kChainRefused},              // a record flipped
      {first + 14, end, 4, kWorks},               // its data past the heap
      {first + 18, 0xFFFFFFFF, 4, kWorks},        // its lengths past the heap
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(&c - cases);
    test::damage(path(), good, c.offset, c.value, c.width);
    store.reset(open_dict("t.dic"));
    ASSERT_EQ(store != nullptr, c.outcome != kRefused);
    if (!store) continue;
    deferDictCommits(store.get(), true);
    for (const std::string& name : itemNames(store.get())) itemText(store.get(), name);
    // Cain, last on the chain, is found past a record whose data alone is damaged.
    EXPECT_EQ(itemText(store.get(), "Cain"), c.outcome == kWorks ? cain : "<none>");
    EXPECT_EQ(itemText(store.get(), "Zz0"), "<none>");
    EXPECT_EQ(add_string_item(store.get(), "Newcomer", "text"), c.outcome == kWorks);
    EXPECT_EQ(itemText(store.get(), "Newcomer"), c.outcome == kWorks ? "text" : "<none>");
    rename_item("Renamed", "Aaron", store.get());
    delete_item("Abel", store.get());
    store.reset();
  }
}

}  // namespace
}  // namespace vellum
