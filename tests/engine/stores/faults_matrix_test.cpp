// Every change operation of the dictionary and notes stores, killed at each of its writes and
// commits: after reopening, everything committed before the kill is intact and the store
// still takes changes. Each scenario runs a sequence of operations once per cut point (the
// hook fails every write after the first n, for n = 0 .. the sequence's total), so every
// write of every operation, and every commit to disk, is a cut point of some run.
#include <gtest/gtest.h>
#include <strings.h>

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <functional>
#include <iterator>
#include <map>
#include <memory>
#include <optional>
#include <span>
#include <string>
#include <vector>

#include "engine/bible/bible.h"
#include "engine/stores/dict.h"
#include "engine/stores/notes.h"
#include "engine/stores/store_io.h"
#include "support/files.h"
#include "tests/support/fixtures.h"

namespace vellum {
namespace {

namespace fs = std::filesystem;

constexpr long kStepLimit = 400;  // no scenario here takes this many writes

std::string readFile(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

void writeFile(const std::string& path, const std::string& bytes) {
  std::ofstream(path, std::ios::binary | std::ios::trunc) << bytes;
}

std::string lower(std::string s) {
  for (char& c : s) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  return s;
}

// One operation of a sequence: what it does, and the state it leaves when it succeeds.
// Keys are lower-case names (dictionary) or verse numbers as text (notes); a missing key is an
// absent item or note.
using State = std::map<std::string, std::string>;
template <typename Handle>
struct Operation {
  std::string name;
  std::function<bool(Handle*)> run;
  std::function<void(State&)> effect;
};

// The table printed at the end: for each operation, its writes and commits when it runs whole,
// and how many cut points the scenarios gave it.
struct MatrixRow {
  long writes = 0;
  long cuts = 0;
};
std::map<std::string, MatrixRow>& matrix() {
  static std::map<std::string, MatrixRow> rows;
  return rows;
}
long& matrixRuns() {
  static long runs = 0;
  return runs;
}

// After a kill: the operations that reported success must all show; the one cut (if any) may
// show its old or its new state; nothing else may differ.
void expectCommitted(const State& found, const State& committed, const State* inFlight,
                     const std::string& where) {
  std::vector<std::string> keys;
  for (const auto& [key, value] : committed) keys.push_back(key);
  for (const auto& [key, value] : found) keys.push_back(key);
  if (inFlight != nullptr)
    for (const auto& [key, value] : *inFlight) keys.push_back(key);
  std::sort(keys.begin(), keys.end());
  keys.erase(std::unique(keys.begin(), keys.end()), keys.end());
  auto valueIn = [](const State& state, const std::string& key) -> std::string {
    const auto it = state.find(key);
    return it == state.end() ? "<none>" : it->second;
  };
  for (const std::string& key : keys) {
    const std::string now = valueIn(found, key);
    const std::string before = valueIn(committed, key);
    if (inFlight == nullptr) {
      EXPECT_EQ(now, before) << where << ", key " << key;
    } else {
      const std::string after = valueIn(*inFlight, key);
      EXPECT_TRUE(now == before || now == after)
          << where << ", key " << key << " reads \"" << now.substr(0, 60) << "\", committed \""
          << before.substr(0, 60) << "\", in flight \"" << after.substr(0, 60) << '"';
    }
  }
}

// Runs the sequence from the restored baseline once with the hook off to count the writes of
// each operation, then once per cut point. check() gets the committed state, the state the
// cut operation would have left (null when none was cut) and a label.
template <typename Handle>
void killAtEveryStep(const std::string& scenario, const std::vector<Operation<Handle>>& sequence,
                     const State& baseline, const std::function<void()>& restore,
                     const std::function<Handle*()>& open, const std::function<void(Handle*)>& close,
                     const std::function<void(const State&, const State*, const std::string&)>& check) {
  // The uncut run: every operation must succeed, and its writes are counted.
  std::vector<long> writes;
  restore();
  {
    Handle* handle = open();
    ASSERT_NE(handle, nullptr) << scenario;
    for (const auto& operation : sequence) {
      faults::failWritesAfter(kStepLimit);
      ASSERT_TRUE(operation.run(handle)) << scenario << ": " << operation.name;
      writes.push_back(faults::writesAttempted());
    }
    faults::failWritesAfter(kStepLimit);
    close(handle);
    writes.push_back(faults::writesAttempted());
    faults::failWritesAfter(-1);
  }
  long total = 0;
  for (std::size_t i = 0; i < sequence.size(); ++i) {
    matrix()[sequence[i].name].writes = writes[i];
    total += writes[i];
  }
  if (writes.back() > 0) matrix()["close (" + scenario + ")"].writes = writes.back();
  total += writes.back();

  for (long n = 0; n <= total; ++n) {
    const std::string where = scenario + ", killed after " + std::to_string(n) + " writes";
    restore();
    State committed = baseline;
    std::optional<State> inFlight;
    std::string cutName = "close (" + scenario + ")";
    {
      Handle* handle = open();
      ASSERT_NE(handle, nullptr) << where;
      faults::failWritesAfter(n);
      for (const auto& operation : sequence) {
        const long before = faults::writesAttempted();
        const bool done = operation.run(handle);
        const bool cut = faults::writesAttempted() > n && before <= n && !inFlight;
        if (done) {
          ASSERT_LE(faults::writesAttempted(), n) << where << ": " << operation.name
                                                  << " reported success though a write failed";
          operation.effect(committed);
        } else if (cut) {
          inFlight = committed;
          operation.effect(*inFlight);
          cutName = operation.name;
        } else {
          ASSERT_GT(before, n) << where << ": " << operation.name << " failed uncut";
        }
      }
      close(handle);  // a killed process writes nothing more: every later write fails
      const bool uncut = !inFlight && faults::writesAttempted() <= n;
      faults::failWritesAfter(-1);
      if (!uncut) ++matrix()[cutName].cuts;  // the last run, cut nowhere, checks the whole
    }
    ++matrixRuns();
    check(committed, inFlight ? &*inFlight : nullptr, where);
    if (::testing::Test::HasFatalFailure()) return;
  }
}

// ---- Dictionary store ----

std::string findText(DictHandle* store, const std::string& name) {
  std::vector<char> buffer(65535);
  std::uint16_t length = 0;
  if (find_string_item(buffer.data(), &length, 65535, name.c_str(), store) == nullptr)
    return "<none>";
  return buffer.data();
}

std::string findBytes(DictHandle* store, const std::string& name) {
  std::vector<std::uint8_t> buffer(65535);
  std::uint16_t length = 0;
  if (find_binary_item(buffer.data(), &length, 65535, name.c_str(), store) == nullptr)
    return "<none>";
  return std::string(reinterpret_cast<const char*>(buffer.data()), length);
}

std::vector<std::string> namesOf(DictHandle* store) {
  std::span<const std::string> list;
  std::uint16_t count = 0;
  get_item_list(&list, &count, store);
  return {list.begin(), list.end()};
}

// The stored bytes of a text item: the text and its terminating zero.
std::string asStored(const std::string& text) { return text + std::string(1, '\0'); }

std::string binaryData(std::size_t length, int seed) {
  std::string bytes(length, '\0');
  for (std::size_t i = 0; i < length; ++i)
    bytes[i] = static_cast<char>((i * 31 + static_cast<std::size_t>(seed) * 7) % 256);
  return bytes;
}

class DictFaultMatrix : public ::testing::TestWithParam<std::pair<std::uint16_t, int>> {
 protected:
  void SetUp() override { set_dpath(dir.path().string().c_str()); }
  void TearDown() override {
    faults::failWritesAfter(-1);
    set_dpath(".");
  }

  std::string scenarioName() const {
    return "table " + std::to_string(GetParam().first) +
           (GetParam().second ? ", compressed" : ", plain");
  }

  // Every item of the state, by name as found, its list matching what can be found.
  State readState(DictHandle* store, const State& expectedKeys, const std::string& where) {
    State found;
    const std::vector<std::string> names = namesOf(store);
    for (const std::string& name : names) {
      const std::string bytes = findBytes(store, name);
      EXPECT_NE(bytes, "<none>") << where << ": listed but not found: " << name;
      found[lower(name)] = bytes;
    }
    for (const auto& [key, value] : expectedKeys) {
      const std::string bytes = findBytes(store, key);
      if (bytes == "<none>") continue;
      EXPECT_TRUE(found.count(key)) << where << ": found but not listed: " << key;
      found[key] = bytes;
    }
    return found;
  }

  // The store still takes every kind of change, and keeps them across a reopen.
  void expectWorking(DictHandle* store, const std::string& where) {
    EXPECT_TRUE(add_string_item(store, "Zebulun", "habitation")) << where;
    EXPECT_EQ(findText(store, "zebulun"), "habitation") << where;
    const std::string bytes = binaryData(700, 9);
    EXPECT_TRUE(add_binary_item(store, "Blob", bytes.data(), 700)) << where;
    EXPECT_TRUE(rename_item("Zeb", "Zebulun", store)) << where;
    EXPECT_TRUE(delete_item("Blob", store)) << where;
    deinit_dict(store);
    store = open_dict("matrix.dic");
    ASSERT_NE(store, nullptr) << where;
    EXPECT_EQ(findText(store, "Zeb"), "habitation") << where;
    EXPECT_EQ(findBytes(store, "Blob"), "<none>") << where;
    for (const std::string& name : namesOf(store))
      EXPECT_NE(findBytes(store, name), "<none>") << where << ": " << name;
    deinit_dict(store);
  }

  test::TempDir dir;
};

TEST_P(DictFaultMatrix, EveryChangeKilledAtEveryWriteKeepsWhatWasCommitted) {
  const auto [tableSize, compressed] = GetParam();
  // The baseline: a few items, one long enough to be encoded in a compressed store.
  const std::string longText(1500, 'a');
  State baseline = {{"aaron", asStored("a teacher; lofty")},
                    {"abel", asStored("vanity; breath")},
                    {"cain", asStored("possession")},
                    {"eve", asStored("living")},
                    {"seth", asStored(longText + " put")}};
  {
    DictHandle* store = new_dict("matrix.dic", "matrix", tableSize, static_cast<std::uint8_t>(compressed));
    ASSERT_NE(store, nullptr);
    ASSERT_TRUE(add_string_item(store, "Aaron", "a teacher; lofty"));
    ASSERT_TRUE(add_string_item(store, "Abel", "vanity; breath"));
    ASSERT_TRUE(add_string_item(store, "Cain", "possession"));
    ASSERT_TRUE(add_string_item(store, "Eve", "living"));
    ASSERT_TRUE(add_string_item(store, "Seth", (longText + " put").c_str()));
    deinit_dict(store);
  }
  const std::string baseBytes = readFile(dir.file("matrix.dic"));

  const std::string blob = binaryData(600, 1), longerBlob = binaryData(2400, 2);
  const std::string replacement(3000, 'r');
  auto set = [](std::string key, std::string value) {
    return [key, value](State& s) { s[key] = value; };
  };
  const std::string mode = compressed ? " (compressed)" : " (plain)";
  const std::vector<Operation<DictHandle>> sequence = {
      {"add_binary_item new" + mode,
       [&](DictHandle* s) { return add_binary_item(s, "Blob", blob.data(), 600); },
       set("blob", blob)},
      {"add_binary_item replace" + mode,
       [&](DictHandle* s) { return add_binary_item(s, "BLOB", longerBlob.data(), 2400); },
       set("blob", longerBlob)},
      {"add_string_item new" + mode,
       [](DictHandle* s) { return add_string_item(s, "Moses", "drawn out"); },
       set("moses", asStored("drawn out"))},
      {"add_string_item replace longer" + mode,
       [&](DictHandle* s) { return add_string_item(s, "Eve", replacement.c_str()); },
       set("eve", asStored(replacement))},
      {"add_string_item replace shorter" + mode,
       [](DictHandle* s) { return add_string_item(s, "seth", "x"); }, set("seth", asStored("x"))},
      {"delete_item" + mode, [](DictHandle* s) { return delete_item("Cain", s); },
       [](State& s) { s.erase("cain"); }},
      {"rename_item new name" + mode, [](DictHandle* s) { return rename_item("Abram", "Aaron", s); },
       [](State& s) {
         s["abram"] = s["aaron"];
         s.erase("aaron");
       }},
      {"rename_item onto existing" + mode,
       [](DictHandle* s) { return rename_item("Moses", "Abel", s); },
       [](State& s) {
         s["moses"] = s["abel"];
         s.erase("abel");
       }},
      {"rename_item letter case" + mode,
       [](DictHandle* s) { return rename_item("ABRAM", "abram", s); }, [](State&) {}},
  };
  killAtEveryStep<DictHandle>(
      scenarioName(), sequence, baseline,
      [&] { writeFile(dir.file("matrix.dic"), baseBytes); },
      [] { return open_dict("matrix.dic"); }, [](DictHandle* s) { deinit_dict(s); },
      [&](const State& committed, const State* inFlight, const std::string& where) {
        DictHandle* store = open_dict("matrix.dic");
        ASSERT_NE(store, nullptr) << where << ": the store no longer opens";
        State expectedKeys = committed;
        if (inFlight != nullptr) expectedKeys.insert(inFlight->begin(), inFlight->end());
        expectCommitted(readState(store, expectedKeys, where), committed, inFlight, where);
        expectWorking(store, where);
      });
}

// The name list text is written when a handle closes after changes made with deferred
// commits; a kill at each write of that close keeps every item, listed and findable.
TEST_P(DictFaultMatrix, TheCloseThatWritesTheNameListKeepsEveryItem) {
  const auto [tableSize, compressed] = GetParam();
  for (long n = 0;; ++n) {
    ASSERT_LT(n, kStepLimit) << "the close never completed";
    const std::string where = scenarioName() + ", close killed after " + std::to_string(n);
    DictHandle* store = new_dict("list.dic", "list", tableSize, static_cast<std::uint8_t>(compressed));
    ASSERT_NE(store, nullptr);
    ASSERT_TRUE(add_string_item(store, "First", "committed"));
    deinit_dict(store);
    store = open_dict("list.dic");
    ASSERT_NE(store, nullptr);
    deferDictCommits(store, true);
    for (int i = 0; i < 40; ++i)
      ASSERT_TRUE(add_string_item(store, ("Name " + std::to_string(i)).c_str(), "text"));
    faults::failWritesAfter(n);
    deinit_dict(store);
    const bool completed = faults::writesAttempted() <= n;
    faults::failWritesAfter(-1);
    ++matrix()["deinit_dict name-list write" + std::string(compressed ? " (compressed)" : " (plain)")].cuts;
    ++matrixRuns();
    store = open_dict("list.dic");
    ASSERT_NE(store, nullptr) << where;
    EXPECT_EQ(findText(store, "First"), "committed") << where;
    const std::vector<std::string> names = namesOf(store);
    for (const std::string& name : names) EXPECT_NE(findBytes(store, name), "<none>") << where;
    for (int i = 0; i < 40; ++i) {
      const std::string name = "Name " + std::to_string(i);
      if (findText(store, name) != "<none>") {
        EXPECT_NE(std::find(names.begin(), names.end(), name), names.end()) << where << name;
      }
    }
    EXPECT_TRUE(add_string_item(store, "After", "works")) << where;
    deinit_dict(store);
    if (completed) {
      matrix()["deinit_dict name-list write" + std::string(compressed ? " (compressed)" : " (plain)")]
          .writes = n;
      break;
    }
  }
}

// Creating a store killed at each write: the file then either does not open, or opens as a
// working empty store; and creating it again works.
TEST_P(DictFaultMatrix, AKilledCreationLeavesNothingHalfWorking) {
  const auto [tableSize, compressed] = GetParam();
  for (long n = 0;; ++n) {
    ASSERT_LT(n, kStepLimit) << "the creation never completed";
    const std::string where = scenarioName() + ", new_dict killed after " + std::to_string(n);
    fs::remove(dir.file("fresh.dic"));
    faults::failWritesAfter(n);
    DictHandle* created = new_dict("fresh.dic", "fresh", tableSize, static_cast<std::uint8_t>(compressed));
    const bool added = created != nullptr && add_string_item(created, "Item", "text");
    deinit_dict(created);
    const bool completed = faults::writesAttempted() <= n;
    faults::failWritesAfter(-1);
    ++matrix()["new_dict" + std::string(compressed ? " (compressed)" : " (plain)")].cuts;
    ++matrixRuns();
    DictHandle* store = open_dict("fresh.dic");
    if (added) {
      ASSERT_NE(store, nullptr) << where;
      EXPECT_EQ(findText(store, "Item"), "text") << where;
    }
    if (store != nullptr) {
      EXPECT_EQ(namesOf(store).size(), findText(store, "Item") == "<none>" ? 0u : 1u) << where;
      EXPECT_TRUE(add_string_item(store, "Other", "works")) << where;
      EXPECT_EQ(findText(store, "Other"), "works") << where;
      deinit_dict(store);
    } else {
      store = new_dict("fresh.dic", "fresh", tableSize, static_cast<std::uint8_t>(compressed));
      ASSERT_NE(store, nullptr) << where << ": cannot be created again";
      EXPECT_TRUE(add_string_item(store, "Other", "works")) << where;
      deinit_dict(store);
    }
    if (completed) {
      matrix()["new_dict" + std::string(compressed ? " (compressed)" : " (plain)")].writes = n;
      break;
    }
  }
}

INSTANTIATE_TEST_SUITE_P(Stores, DictFaultMatrix,
                         ::testing::Values(std::make_pair(std::uint16_t{1}, 0),
                                           std::make_pair(std::uint16_t{7}, 1)),
                         [](const auto& info) {
                           return "Table" + std::to_string(info.param.first) +
                                  (info.param.second ? "Compressed" : "Plain");
                         });

// ---- Notes store ----

using test::Module;

std::string noteOf(std::uint16_t verse, NotesHandle* notes) {
  std::vector<char> buffer(32767);
  std::uint16_t length = 0;
  if (VNGetNoteByVerse(buffer.data(), &length, 32767, verse, notes) == nullptr) return "<none>";
  return std::string(buffer.data(), length);
}

// Genesis 1 has 12 verses (numbers 0-11), Genesis 2 has 6 (numbers 12-17).
constexpr std::uint16_t kVerses = 18;

class NotesFaultMatrix : public ::testing::Test {
 protected:
  void SetUp() override {
    std::string vpl;
    for (int v = 1; v <= 12; ++v) vpl += "Genesis\t1\t" + std::to_string(v) + "\ttext\n";
    for (int v = 1; v <= 6; ++v) vpl += "Genesis\t2\t" + std::to_string(v) + "\ttext\n";
    test::buildModule(dir.path(), "small.bib", "Small", vpl);
    module = test::openModule(dir.path(), "small.bib");
    ASSERT_NE(module, nullptr);
    NotesHandle* notes = VNOpen(module.get());
    ASSERT_NE(notes, nullptr);
    // Committed before every change: chains, an empty note, a deleted one, both chapters.
    ASSERT_TRUE(VNSetNoteByVerse(0, "first, old", notes));
    ASSERT_TRUE(VNSetNoteByVerse(0, "first, current", notes));
    ASSERT_TRUE(VNSetNoteByVerse(2, "third verse", notes));
    ASSERT_TRUE(VNSetNoteByVerse(5, "", notes));
    ASSERT_TRUE(VNSetNoteByVerse(7, "deleted", notes));
    ASSERT_TRUE(VNDelNoteByVerse(7, notes));
    ASSERT_TRUE(VNSetNoteByVerse(13, "second chapter", notes));
    VNClose(notes);
    baseline = {{"0", "first, current"}, {"2", "third verse"}, {"5", ""}, {"13", "second chapter"}};
    baseBytes = readFile(dir.file("small.vn"));
  }
  void TearDown() override {
    faults::failWritesAfter(-1);
    module.reset();
    set_dpath(".");
  }

  State readState(NotesHandle* notes) {
    State found;
    for (std::uint16_t v = 0; v < kVerses; ++v) {
      const std::string text = noteOf(v, notes);
      if (text != "<none>") found[std::to_string(v)] = text;
    }
    return found;
  }

  // The store still works: set, search, list and delete, kept across a reopen.
  void expectWorking(NotesHandle* notes, const State& found, const std::string& where) {
    EXPECT_TRUE(VNSetNoteByVerse(9, "a later note of verse nine", notes)) << where;
    EXPECT_EQ(noteOf(9, notes), "a later note of verse nine") << where;
    std::uint16_t list[32], count = 0;
    VNPhraseSearch(list, &count, 31, "later note", notes);
    EXPECT_EQ(count, 1) << where;
    VNFindVersesWithNotes(list, &count, 32, Reference{0, 1, 1}, notes);
    std::size_t inChapter = 0;
    for (const auto& [key, value] : found)
      if (std::stoi(key) < 12 && key != "9") ++inChapter;
    EXPECT_EQ(count, inChapter + 1) << where;
    VNClose(notes);
    notes = VNOpen(module.get());
    ASSERT_NE(notes, nullptr) << where;
    EXPECT_EQ(noteOf(9, notes), "a later note of verse nine") << where;
    EXPECT_TRUE(VNDelNoteByVerse(9, notes)) << where;
    VNClose(notes);
  }

  void run(const std::string& scenario, const std::vector<Operation<NotesHandle>>& sequence) {
    killAtEveryStep<NotesHandle>(
        scenario, sequence, baseline, [&] { writeFile(dir.file("small.vn"), baseBytes); },
        [&] { return VNOpen(module.get()); }, [](NotesHandle* n) { VNClose(n); },
        [&](const State& committed, const State* inFlight, const std::string& where) {
          NotesHandle* notes = VNOpen(module.get());
          ASSERT_NE(notes, nullptr) << where << ": the store no longer opens";
          const State found = readState(notes);
          expectCommitted(found, committed, inFlight, where);
          expectWorking(notes, found, where);
        });
  }

  test::TempDir dir;
  Module module;
  State baseline;
  std::string baseBytes;
};

auto setNote(std::string key, std::string value) {
  return [key, value](State& s) { s[key] = value; };
}
auto eraseNote(std::string key) {
  return [key](State& s) { s.erase(key); };
}

TEST_F(NotesFaultMatrix, EveryChangeKilledAtEveryWriteKeepsWhatWasCommitted) {
  const std::string longNote(20000, 'n');
  run("notes changes",
      {
          {"VNSetNoteByRef new", [](NotesHandle* n) { return VNSetNoteByRef({0, 2, 3}, "by ref", n); },
           setNote("14", "by ref")},
          {"VNSetNoteByRef chain",
           [](NotesHandle* n) { return VNSetNoteByRef({0, 1, 1}, "first, newer", n); },
           setNote("0", "first, newer")},
          {"VNSetNote new", [](NotesHandle* n) { return VNSetNote("Genesis 1:4", "by text", n); },
           setNote("3", "by text")},
          {"VNSetNote long",
           [&](NotesHandle* n) { return VNSetNote("Gen 2:6", longNote.c_str(), n); },
           setNote("17", longNote)},
          {"VNSetNote on a deleted verse",
           [](NotesHandle* n) { return VNSetNote("Genesis 1:8", "back again", n); },
           setNote("7", "back again")},
          {"VNDelNoteByRef", [](NotesHandle* n) { return VNDelNoteByRef({0, 1, 3}, n); },
           eraseNote("2")},
          {"VNDelNote", [](NotesHandle* n) { return VNDelNote("Genesis 2:2", n); },
           eraseNote("13")},
          {"VNDelNote chain", [](NotesHandle* n) { return VNDelNote("Genesis 1:1", n); },
           eraseNote("0")},
          {"VNSetNoteByVerse after delete",
           [](NotesHandle* n) { return VNSetNoteByVerse(0, "first, reborn", n); },
           setNote("0", "first, reborn")},
      });
}

// An import stores its notes one after another: a kill leaves the notes before it, the one
// cut in either state, and none after it.
TEST_F(NotesFaultMatrix, AnImportKilledAtEveryWriteKeepsAPrefixOfItsNotes) {
  writeFile(dir.file("import.txt"),
            "Genesis 1:2\nsecond verse\nover two lines\n\n"
            "Genesis 1:1\nreplaces the first\n\n"
            "Genesis 2:4\nin chapter two\n\n"
            "Genesis 1:6\nfills the empty note\n");
  const std::vector<std::pair<std::string, std::string>> entries = {
      {"1", "second verse\nover two lines\n"},
      {"0", "replaces the first\n"},
      {"15", "in chapter two\n"},
      {"5", "fills the empty note\n"}};
  // The whole import is one operation of the matrix; its entries are checked as a prefix.
  State afterAll = baseline;
  for (const auto& [key, value] : entries) afterAll[key] = value;
  const std::string path = dir.file("import.txt");
  killAtEveryStep<NotesHandle>(
      "notes import", {{"VNImport", [&](NotesHandle* n) { return VNImport(path.c_str(), n) == 4; },
                        [&](State& s) { s = afterAll; }}},
      baseline, [&] { writeFile(dir.file("small.vn"), baseBytes); },
      [&] { return VNOpen(module.get()); }, [](NotesHandle* n) { VNClose(n); },
      [&](const State& committed, const State* inFlight, const std::string& where) {
        NotesHandle* notes = VNOpen(module.get());
        ASSERT_NE(notes, nullptr) << where << ": the store no longer opens";
        const State found = readState(notes);
        expectCommitted(found, committed, inFlight, where);
        if (inFlight != nullptr) {
          // The entries that took effect form a prefix of the file's entries.
          bool gap = false;
          for (const auto& [key, value] : entries) {
            const auto it = found.find(key);
            const bool stored = it != found.end() && it->second == value;
            EXPECT_FALSE(stored && gap) << where << ": entry of verse " << key << " after a gap";
            if (!stored) gap = true;
          }
        }
        expectWorking(notes, found, where);
      });
}

// Recreating a store is built aside and renamed into place: a kill at any write keeps the old
// store whole, and a completed one leaves an empty store.
TEST_F(NotesFaultMatrix, ARecreationKilledAtEveryWriteKeepsTheOldStore) {
  for (long n = 0;; ++n) {
    ASSERT_LT(n, kStepLimit) << "the creation never completed";
    const std::string where = "VNCreate killed after " + std::to_string(n);
    writeFile(dir.file("small.vn"), baseBytes);
    faults::failWritesAfter(n);
    NotesHandle* created = VNCreate(module.get());
    const bool completed = faults::writesAttempted() <= n;
    faults::failWritesAfter(-1);
    ++matrix()["VNCreate over an existing store"].cuts;
    ++matrixRuns();
    if (created != nullptr) {
      EXPECT_TRUE(completed) << where;
      EXPECT_EQ(readState(created), State{}) << where;
      VNClose(created);
    }
    NotesHandle* notes = VNOpen(module.get());
    ASSERT_NE(notes, nullptr) << where;
    const State found = readState(notes);
    if (created == nullptr) {
      expectCommitted(found, baseline, nullptr, where);
    } else {
      EXPECT_EQ(found, State{}) << where;
    }
    expectWorking(notes, found, where);
    if (completed) {
      matrix()["VNCreate over an existing store"].writes = n;
      break;
    }
  }
}

// Printed once all the cases ran: each operation, its writes and commits, and the cuts made.
class MatrixReport : public ::testing::Environment {
 public:
  void TearDown() override {
    if (matrix().empty()) return;
    std::printf("\nFault-injection matrix (operation: writes and commits when whole, runs cut "
                "in it):\n");
    long cuts = 0;
    for (const auto& [name, row] : matrix()) {
      std::printf("  %-48s %4ld writes %4ld cuts\n", name.c_str(), row.writes, row.cuts);
      cuts += row.cuts;
    }
    std::printf("  %ld operations, %ld killed-and-reopened runs\n", static_cast<long>(matrix().size()),
                matrixRuns());
    ::testing::Test::RecordProperty("matrix_operations", static_cast<int>(matrix().size()));
    ::testing::Test::RecordProperty("matrix_runs", static_cast<int>(matrixRuns()));
  }
};
const auto* const kReport = ::testing::AddGlobalTestEnvironment(new MatrixReport);

}  // namespace
}  // namespace vellum
