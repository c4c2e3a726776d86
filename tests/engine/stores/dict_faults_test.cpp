// Dictionary stores under faults: a kill after every write of each change, and damaged files.
#include <gtest/gtest.h>
#include <strings.h>

#include <cstring>
#include <filesystem>
#include <fstream>
#include <functional>
#include <iterator>
#include <map>
#include <sstream>
#include <string>
#include <vector>

#include "engine/stores/dict.h"
#include "engine/stores/dict_format.h"
#include "engine/stores/store_io.h"
#include "support/endian.h"
#include "support/files.h"
#include "tests/support/fixtures.h"
#include "tools/import/dict_import.h"

namespace vellum {
namespace {

using test::TempDir;

std::string readFile(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

void writeFile(const std::string& path, const std::string& bytes) {
  std::ofstream(path, std::ios::binary | std::ios::trunc) << bytes;
}

// The item's text, or "<none>".
std::string findText(DictHandle* store, const std::string& name) {
  std::vector<char> buffer(65535);
  std::uint16_t length = 0;
  if (find_string_item(buffer.data(), &length, 65535, name.c_str(), store) == nullptr)
    return "<none>";
  return buffer.data();
}

std::vector<std::string> namesOf(DictHandle* store) {
  std::span<const std::string> list;
  std::uint16_t count = 0;
  get_item_list(&list, &count, store);
  return {list.begin(), list.end()};
}

// ---- Crash consistency ----

// The items every scenario starts from; on one bucket and on several.
const std::map<std::string, std::string> kBase = {
    {"Aaron", "a teacher; lofty"}, {"Abba", "father"}, {"Abel", "vanity; breath"},
    {"Cain", "possession"},        {"Eve", "living"},  {"Seth", "put; who puts"}};

struct Scenario {
  const char* name;
  std::uint16_t tableSize;
  std::function<bool(DictHandle*)> change;
  // Names whose items the change may alter; every other base item must survive unchanged.
  std::vector<std::string> touched;
};

const std::string kLong(3000, 'L');

std::vector<Scenario> scenarios() {
  std::vector<Scenario> all;
  for (std::uint16_t tableSize : {1, 241}) {
    all.push_back({"add a new item", tableSize,
                   [](DictHandle* s) { return add_string_item(s, "Moses", "drawn out"); },
                   {"Moses"}});
    all.push_back({"add two new items", tableSize,
                   [](DictHandle* s) {
                     return add_string_item(s, "Moses", "drawn out") &&
                            add_string_item(s, "Miriam", "rebellion");
                   },
                   {"Moses", "Miriam"}});
    all.push_back({"replace with longer data", tableSize,
                   [](DictHandle* s) { return add_string_item(s, "Seth", kLong.c_str()); },
                   {"Seth"}});
    all.push_back({"replace with shorter data", tableSize,
                   [](DictHandle* s) { return add_string_item(s, "Aaron", "x"); },
                   {"Aaron"}});
    all.push_back({"delete", tableSize,
                   [](DictHandle* s) { return delete_item("Cain", s); }, {"Cain"}});
    all.push_back({"rename to a new name", tableSize,
                   [](DictHandle* s) { return rename_item("Abram", "Aaron", s); },
                   {"Aaron", "Abram"}});
    all.push_back({"rename onto an existing item", tableSize,
                   [](DictHandle* s) { return rename_item("Abba", "Abel", s); },
                   {"Abba", "Abel"}});
    all.push_back({"rename changing letter case", tableSize,
                   [](DictHandle* s) { return rename_item("EVE", "eve", s); }, {"Eve"}});
  }
  return all;
}

class DictCrashTest : public ::testing::TestWithParam<Scenario> {
 protected:
  void SetUp() override { set_dpath(dir.path().string().c_str()); }
  void TearDown() override {
    faults::failWritesAfter(-1);
    set_dpath(".");
  }

  // A store holding kBase, closed (so its name list text is current). Built once, then copied.
  void buildBase(std::uint16_t tableSize) {
    if (base.empty()) {
      DictHandle* store = new_dict("crash.dic", "crash", tableSize, 0);
      ASSERT_NE(store, nullptr);
      deferDictCommits(store, true);
      for (const auto& [name, text] : kBase)
        ASSERT_TRUE(add_string_item(store, name.c_str(), text.c_str()));
      deinit_dict(store);
      base = readFile(dir.file("crash.dic"));
    }
    writeFile(dir.file("crash.dic"), base);
  }

  // After the kill: every untouched item is there, the list names exactly what can be found,
  // and the store still takes every kind of change.
  void checkSurvivor(const Scenario& scenario, long allowed) {
    SCOPED_TRACE(std::string(scenario.name) + ", writes allowed: " + std::to_string(allowed));
    DictHandle* store = open_dict("crash.dic");
    ASSERT_NE(store, nullptr);
    for (const auto& [name, text] : kBase) {
      const bool touched = std::find(scenario.touched.begin(), scenario.touched.end(), name) !=
                           scenario.touched.end();
      if (!touched) {
        EXPECT_EQ(findText(store, name), text) << name;
      }
    }
    const std::vector<std::string> names = namesOf(store);
    for (const std::string& name : names) EXPECT_NE(findText(store, name), "<none>") << name;
    for (const auto& [name, text] : kBase) {
      if (findText(store, name) == "<none>") continue;
      EXPECT_TRUE(std::any_of(names.begin(), names.end(), [&](const std::string& listed) {
        return strcasecmp(listed.c_str(), name.c_str()) == 0;
      })) << name;
    }
    deferDictCommits(store, true);  // what is checked here is the survivor, not durability
    EXPECT_TRUE(add_string_item(store, "Zebulun", "habitation"));
    EXPECT_EQ(findText(store, "zebulun"), "habitation");
    EXPECT_TRUE(rename_item("Zeb", "Zebulun", store));
    EXPECT_EQ(findText(store, "Zeb"), "habitation");
    EXPECT_TRUE(add_string_item(store, "Seth", "replaced again"));
    EXPECT_TRUE(delete_item("Zeb", store));
    EXPECT_EQ(findText(store, "Zeb"), "<none>");
    deinit_dict(store);
    store = open_dict("crash.dic");
    ASSERT_NE(store, nullptr);
    EXPECT_EQ(findText(store, "Seth"), "replaced again");
    for (const std::string& name : namesOf(store)) EXPECT_NE(findText(store, name), "<none>") << name;
    deinit_dict(store);
  }

  TempDir dir;
  std::string base;
};

TEST_P(DictCrashTest, KillAfterEveryWriteLeavesAWorkingStore) {
  const Scenario& scenario = GetParam();
  for (long allowed = 0;; ++allowed) {
    ASSERT_LT(allowed, 100) << "the change never completed";
    buildBase(scenario.tableSize);
    DictHandle* store = open_dict("crash.dic");
    ASSERT_NE(store, nullptr);
    faults::failWritesAfter(allowed);
    scenario.change(store);
    // The close is part of the change: its list text and header are cut too.
    deinit_dict(store);
    const bool completed = faults::writesAttempted() <= allowed;
    faults::failWritesAfter(-1);
    checkSurvivor(scenario, allowed);
    if (HasFatalFailure()) return;
    if (completed) break;
  }
}

TEST_P(DictCrashTest, CompletedChangeHasItsEffect) {
  const Scenario& scenario = GetParam();
  buildBase(scenario.tableSize);
  DictHandle* store = open_dict("crash.dic");
  ASSERT_TRUE(scenario.change(store));
  deinit_dict(store);
  store = open_dict("crash.dic");
  const std::vector<std::string> names = namesOf(store);
  for (const std::string& name : scenario.touched) {
    const bool gone = findText(store, name) == "<none>";
    const bool listed = std::find_if(names.begin(), names.end(), [&](const std::string& n) {
                          return strcasecmp(n.c_str(), name.c_str()) == 0;
                        }) != names.end();
    EXPECT_EQ(gone, !listed) << name;
  }
  deinit_dict(store);
}

INSTANTIATE_TEST_SUITE_P(Changes, DictCrashTest, ::testing::ValuesIn(scenarios()),
                         [](const ::testing::TestParamInfo<Scenario>& info) {
                           std::string name = std::string(info.param.name) + "_table" +
                                              std::to_string(info.param.tableSize);
                           for (char& c : name)
                             if (!isalnum(static_cast<unsigned char>(c))) c = '_';
                           return name;
                         });

// ---- Damaged files ----

class DictDamageTest : public ::testing::Test {
 protected:
  void SetUp() override {
    set_dpath(dir.path().string().c_str());
    // A real store: the first 60 articles of Easton's dictionary.
    const std::string source = readFile(VELLUM_TEST_DATA_DIR "/../../../shared/data/eastons.json");
    ASSERT_FALSE(source.empty());
    std::size_t cut = 0;
    for (int i = 0; i < 60; ++i) cut = source.find("\n  },", cut + 1);
    ASSERT_NE(cut, std::string::npos);
    writeFile(dir.file("slice.json"), source.substr(0, cut) + "\n  }\n]\n");
    std::ostringstream out, err;
    ASSERT_EQ(runDictImport({"--json", dir.file("slice.json"), "--key", "mot", "--value",
                             "definition", "--title", "slice", "--table-size", "13",
                             "--compress", dir.file("good.dic")},
                            out, err),
              0)
        << err.str();
    good = readFile(dir.file("good.dic"));
    ASSERT_GT(good.size(), 10000u);
  }
  void TearDown() override { set_dpath("."); }

  // Everything a reader or writer might do with the damaged file; must stay in bounds.
  void exercise(const std::string& bytes) {
    writeFile(dir.file("bad.dic"), bytes);
    DictHandle* store = open_dict("bad.dic");
    if (store == nullptr) return;
    deferDictCommits(store, true);  // durability is not under test here
    const std::vector<std::string> names = namesOf(store);
    for (std::size_t i = 0; i < names.size() && i < 8; ++i) findText(store, names[i]);
    findText(store, "Aaron");
    findText(store, "Abaddon");
    std::string fuzzy = "Abraham's";
    std::vector<char> buffer(300);
    std::uint16_t length = 0;
    fuzzy_find_string_item(buffer.data(), &length, 300, fuzzy, store);
    add_string_item(store, "Newcomer", "text");
    rename_item("Renamed", "Aaron", store);
    delete_item("Abaddon", store);
    findText(store, "Newcomer");
    deinit_dict(store);
  }

  TempDir dir;
  std::string good;
};

TEST_F(DictDamageTest, TheIntactSliceReads) {
  writeFile(dir.file("copy.dic"), good);
  DictHandle* store = open_dict("copy.dic");
  ASSERT_NE(store, nullptr);
  EXPECT_EQ(namesOf(store).size(), 60u);
  EXPECT_NE(findText(store, "Aaron").find("Amram"), std::string::npos);
  deinit_dict(store);
}

TEST_F(DictDamageTest, CutFilesNeverReadPastTheirEnd) {
  // Every cut of the header and the start of the table, then cuts across the heap.
  for (std::size_t size = 0; size < good.size(); size += (size < 200 ? 1 : 397))
    exercise(good.substr(0, size));
}

TEST_F(DictDamageTest, FlippedBytesNeverLeadOutOfBounds) {
  // Every header byte three ways, then bytes across the table, the heap and the list text.
  for (std::size_t at = 0; at < 146; ++at) {
    for (std::uint8_t mask : {0x01, 0x80, 0xFF}) {
      std::string bytes = good;
      bytes[at] = static_cast<char>(bytes[at] ^ mask);
      exercise(bytes);
    }
  }
  for (std::size_t at = 146; at < good.size(); at += 173) {
    std::string bytes = good;
    bytes[at] = static_cast<char>(bytes[at] ^ (at % 2 == 0 ? 0xFF : 0x10));
    exercise(bytes);
  }
}

// Header fields set to the values the format cannot hold.
TEST_F(DictDamageTest, HeadersThatDoNotFitTheFileAreRefused) {
  auto withField = [&](std::size_t offset, std::uint32_t value) {
    std::string bytes = good;
    le::store32(reinterpret_cast<std::uint8_t*>(bytes.data()) + offset, value);
    writeFile(dir.file("bad.dic"), bytes);
    return open_dict("bad.dic");
  };
  EXPECT_EQ(withField(126, 0), nullptr);           // table size 0
  EXPECT_EQ(withField(126, 16384), nullptr);       // table size the format cannot hold
  EXPECT_EQ(withField(118, 0x7FFFFFF0), nullptr);  // end of data past the file
  EXPECT_EQ(withField(114, 0xFFFFFFF0), nullptr);  // data start past the file
  EXPECT_EQ(withField(110, 0), nullptr);           // table offset
  writeFile(dir.file("short.dic"), good.substr(0, 100));
  EXPECT_EQ(open_dict("short.dic"), nullptr);
}

// Record fields pointing outside the heap, and chains that loop.
TEST_F(DictDamageTest, RecordsOutsideTheHeapAndLoopingChainsFindNothing) {
  dict::Header header;
  ASSERT_TRUE(header.decode(std::span(reinterpret_cast<const std::uint8_t*>(good.data()), 146)));
  // The first record of the first non-empty bucket.
  std::uint32_t first = 0, bucket = 0;
  for (; bucket < header.tableSize; ++bucket) {
    first = le::load32(reinterpret_cast<const std::uint8_t*>(good.data()) + 146 + 4 * bucket);
    if (first != 0) break;
  }
  ASSERT_NE(first, 0u);
  dict::ItemRecord record;
  ASSERT_TRUE(record.decode(
      std::span(reinterpret_cast<const std::uint8_t*>(good.data()) + first, 22)));
  std::string name(good.data() + record.nameOffset);

  auto withRecord = [&](const std::function<void(dict::ItemRecord&)>& damage) {
    dict::ItemRecord bad = record;
    damage(bad);
    std::string bytes = good;
    const auto encoded = bad.encode();
    std::copy(encoded.begin(), encoded.end(), bytes.begin() + first);
    return bytes;
  };
  const std::vector<std::function<void(dict::ItemRecord&)>> damages = {
      [&](dict::ItemRecord& r) { r.next = first; },                  // loops on itself
      [&](dict::ItemRecord& r) { r.next = 0xFFFFFFF0; },             // next past the file
      [&](dict::ItemRecord& r) { r.nameOffset = 0xFFFFFF00; },       // name past the file
      [&](dict::ItemRecord& r) { r.nameLength = 65535; },            // name longer than the heap
      [&](dict::ItemRecord& r) { r.dataOffset = header.endOfData; }, // data past the heap
      [&](dict::ItemRecord& r) { r.dataLength = 65535; r.storedLength = 65535; },
      [&](dict::ItemRecord& r) { r.storedLength = 65535; },
      [&](dict::ItemRecord& r) { r.ownOffset = 12; },                // own offset in the header
  };
  for (const auto& damage : damages) {
    const std::string bytes = withRecord(damage);
    exercise(bytes);
    writeFile(dir.file("bad.dic"), bytes);
    DictHandle* store = open_dict("bad.dic");
    ASSERT_NE(store, nullptr);
    findText(store, name);
    findText(store, "no such name");
    deinit_dict(store);
  }
  // A name that is not there, looked up along the looping chain.
  std::string absent;
  for (int i = 0; absent.empty() || dict::bucketOf(absent, header.tableSize) != bucket; ++i)
    absent = "Zz" + std::to_string(i);
  std::string looped = withRecord([&](dict::ItemRecord& r) { r.next = first; });
  writeFile(dir.file("loop.dic"), looped);
  DictHandle* store = open_dict("loop.dic");
  ASSERT_NE(store, nullptr);
  EXPECT_EQ(findText(store, absent), "<none>");
  EXPECT_FALSE(add_string_item(store, absent.c_str(), "x"));  // no link into a loop
  deinit_dict(store);
}

}  // namespace
}  // namespace vellum
