// Every change of the dictionary and notes stores killed at each write and commit (the hook fails
// every write after the first n, n = 0, 1, ... until a run completes): after reopening, what was
// committed is intact, the change cut reads as before or after it, and the store takes changes.
#include <gtest/gtest.h>
#include <unistd.h>

#include <algorithm>
#include <filesystem>
#include <functional>
#include <map>
#include <optional>
#include <set>
#include <string>
#include <tuple>
#include <vector>

#include "engine/stores/dict.h"
#include "engine/stores/notes.h"
#include "engine/stores/store_io.h"
#include "support/files.h"
#include "support/strings.h"
#include "tests/support/fixtures.h"

namespace vellum {
namespace {

constexpr long kStepLimit = 400;  // no scenario here takes this many writes

// A store's contents: lower-case names (dictionary) or verse numbers (notes) to their values.
using State = std::map<std::string, std::string>;

std::string valueIn(const State& state, const std::string& key) {
  const auto it = state.find(key);
  return it == state.end() ? "<none>" : it->second;
}

// One operation of a sequence: what it does, and the state it leaves when it succeeds.
template <typename Handle>
struct Operation {
  std::string name;
  std::function<bool(Handle*)> run;
  std::function<void(State&)> effect;
};
auto setTo(std::string key, std::string value) {
  return [key, value](State& s) { s[key] = value; };
}
auto erase(std::string key) {
  return [key](State& s) { s.erase(key); };
}
auto move(std::string from, std::string to) {
  return [from, to](State& s) { s[to] = s[from], s.erase(from); };
}

// After a kill, every key reads as committed, or for the operation cut as it would leave it.
void expectCommitted(const State& found, const State& committed, const State* inFlight,
                     const std::string& where) {
  std::set<std::string> keys;
  for (const State* state : {&found, &committed, inFlight})
    for (const auto& [key, value] : state ? *state : State{}) keys.insert(key);
  for (const std::string& key : keys) {
    const std::string now = valueIn(found, key), before = valueIn(committed, key);
    const std::string after = inFlight ? valueIn(*inFlight, key) : before;
    EXPECT_TRUE(now == before || now == after)
        << where << ", key " << key << " reads \"" << now.substr(0, 60) << "\", committed \""
        << before.substr(0, 60) << "\", in flight \"" << after.substr(0, 60) << '"';
  }
}

// A sequence run on the store at path, from its committed bytes, through test::Dict or test::Notes.
template <typename Owner>
struct Scenario {
  std::vector<Operation<typename Owner::element_type>> sequence;
  State baseline;
  std::string path, bytes;
  std::function<Owner()> open;
  bool reopenBetween = false;  // close and reopen the store after each operation
  // Gets the committed state, the state of the operation cut (null when none was) and a label.
  std::function<void(const State&, const State*, const std::string&)> check;
};

template <typename Owner>
void killAtEveryStep(const std::string& name, const Scenario<Owner>& scenario) {
  for (long n = 0;; ++n) {
    ASSERT_LT(n, kStepLimit) << name << ": the sequence never completed";
    const std::string where = name + ", killed after " + std::to_string(n) + " writes";
    test::writeFile(scenario.path, scenario.bytes);
    State committed = scenario.baseline;
    std::optional<State> inFlight;
    Owner handle = scenario.open();
    ASSERT_NE(handle, nullptr) << where;
    faults::failWritesAfter(n);
    for (const auto& operation : scenario.sequence) {
      const long before = faults::writesAttempted();
      if (operation.run(handle.get())) {
        ASSERT_LE(faults::writesAttempted(), n)
            << where << ": " << operation.name << " reported success though a write failed";
        operation.effect(committed);
      } else if (before <= n) {
        ASSERT_GT(faults::writesAttempted(), n) << where << ": " << operation.name << " failed";
        inFlight = committed;
        operation.effect(*inFlight);
      }
      if (scenario.reopenBetween) {
        handle.reset();
        handle = scenario.open();  // opening an existing store writes nothing
        ASSERT_NE(handle, nullptr) << where;
      }
    }
    handle.reset();  // a killed process writes nothing more: every later write fails
    const bool uncut = faults::writesAttempted() <= n;
    faults::failWritesAfter(-1);
    scenario.check(committed, inFlight ? &*inFlight : nullptr, where);
    if (::testing::Test::HasFatalFailure() || uncut) return;
  }
}

std::string asStored(const std::string& text) { return text + '\0'; }

std::string binaryData(std::size_t length, int seed) {
  std::string bytes(length, '\0');
  for (std::size_t i = 0; i < length; ++i) bytes[i] = static_cast<char>(i * 31 + seed * 7);
  return bytes;
}

// Every listed item is found and every item found is listed.
State readDict(DictHandle* store, const State& expected, const std::string& where) {
  State found;
  for (std::string name : test::itemNames(store)) {
    const std::string& bytes = found[_strlwr(name.data())] = test::itemBytes(store, name);
    EXPECT_NE(bytes, "<none>") << where << ": listed but not found: " << name;
  }
  for (const auto& [key, value] : expected)
    EXPECT_TRUE(found.count(key) || test::itemBytes(store, key) == "<none>")
        << where << ": found but not listed: " << key;
  return found;
}

// A compressed store of several buckets kept open, and a plain store of one bucket (one chain)
// reopened after each change, so each change starts from a current name list text.
TEST(DictFaultMatrix, EveryChangeKilledAtEveryWriteKeepsWhatWasCommitted) {
  const std::tuple<std::uint16_t, std::uint8_t, bool> cases[] = {{7, 1, false}, {1, 0, true}};
  for (const auto& [tableSize, compressed, reopenBetween] : cases) {
    test::TempDir dir;
    set_dpath(dir.path().string().c_str());
    const std::string longText(1500, 'a');  // long enough to be encoded in a compressed store
    const State baseline = {{"aaron", asStored("a teacher; lofty")},
                            {"abel", asStored("vanity")},
                            {"cain", asStored("possession")},
                            {"eve", asStored("living")},
                            {"seth", asStored(longText + " put")}};
    test::Dict created(new_dict("matrix.dic", "matrix", tableSize, compressed));
    ASSERT_NE(created, nullptr);
    for (const auto& [name, value] : baseline)
      ASSERT_TRUE(add_string_item(created.get(), name.c_str(), value.c_str()));
    created.reset();
    const std::string blob = binaryData(600, 1), longerBlob = binaryData(2400, 2);
    // Lines that would read as names, were the list text vouched for over a block written on it.
    std::string ghosts;
    for (int i = 0; i < 500; ++i) ghosts += "Ghost\n";
    using D = DictHandle;
    Scenario<test::Dict> scenario;
    scenario.sequence = {
        {"add_binary_item new", [&](D* s) { return add_binary_item(s, "Blob", blob.data(), 600); },
         setTo("blob", blob)},
        {"add_binary_item replace",
         [&](D* s) { return add_binary_item(s, "BLOB", longerBlob.data(), 2400); },
         setTo("blob", longerBlob)},
        {"add_string_item new", [](D* s) { return add_string_item(s, "Moses", "drawn"); },
         setTo("moses", asStored("drawn"))},
        {"add_string_item replace longer",
         [&](D* s) { return add_string_item(s, "Eve", ghosts.c_str()); },
         setTo("eve", asStored(ghosts))},
        {"add_string_item replace shorter", [](D* s) { return add_string_item(s, "seth", "x"); },
         setTo("seth", asStored("x"))},
        {"delete_item", [](D* s) { return delete_item("Cain", s); }, erase("cain")},
        {"rename_item new name", [](D* s) { return rename_item("Abram", "Aaron", s); },
         move("aaron", "abram")},
        {"rename_item onto existing", [](D* s) { return rename_item("Moses", "Abel", s); },
         move("abel", "moses")},
        {"rename_item letter case", [](D* s) { return rename_item("ABRAM", "abram", s); },
         [](State&) {}},
    };
    scenario.baseline = baseline;
    scenario.path = dir.file("matrix.dic");
    scenario.bytes = test::readFile(scenario.path);
    scenario.open = [] { return test::Dict(open_dict("matrix.dic")); };
    scenario.reopenBetween = reopenBetween;
    // What was committed is there; the store takes every kind of change, kept across a reopen.
    scenario.check = [&](const State& committed, const State* inFlight, const std::string& where) {
      test::Dict store(open_dict("matrix.dic"));
      ASSERT_NE(store, nullptr) << where << ": the store no longer opens";
      State expected = committed;
      if (inFlight != nullptr) expected.insert(inFlight->begin(), inFlight->end());
      expectCommitted(readDict(store.get(), expected, where), committed, inFlight, where);
      EXPECT_TRUE(add_string_item(store.get(), "Zebulun", "habitation")) << where;
      EXPECT_TRUE(add_binary_item(store.get(), "Blob", blob.data(), 600)) << where;
      EXPECT_TRUE(rename_item("Zeb", "Zebulun", store.get())) << where;
      EXPECT_TRUE(add_string_item(store.get(), "Zeb", "replaced")) << where;
      EXPECT_TRUE(delete_item("Blob", store.get())) << where;
      store.reset();
      store.reset(open_dict("matrix.dic"));
      EXPECT_EQ(test::itemBytes(store.get(), "zeb"), asStored("replaced")) << where;
      readDict(store.get(), {{"blob", ""}}, where);
      EXPECT_EQ(test::itemBytes(store.get(), "Blob"), "<none>") << where;
    };
    killAtEveryStep(std::string(compressed ? "compressed" : "plain") + " dictionary", scenario);
    faults::failWritesAfter(-1);
    set_dpath(".");
    if (::testing::Test::HasFatalFailure()) return;
  }
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
    test::Notes notes(VNOpen(module.get()));
    ASSERT_NE(notes, nullptr);
    // Committed before every change: chains, an empty note, a deleted one, both chapters.
    const std::pair<std::uint16_t, const char*> notesSet[] = {
        {0, "first, old"}, {0, "first, current"}, {2, "third verse"},
        {5, ""},           {7, "deleted"},        {13, "second chapter"}};
    for (const auto& [verse, text] : notesSet)
      ASSERT_TRUE(VNSetNoteByVerse(verse, text, notes.get()));
    ASSERT_TRUE(VNDelNoteByVerse(7, notes.get()));
    baseline = {{"0", "first, current"}, {"2", "third verse"}, {"5", ""}, {"13", "second chapter"}};
    baseBytes = test::readFile(store());
  }
  void TearDown() override {
    faults::failWritesAfter(-1);
    module.reset();
    set_dpath(".");
  }
  std::string store() const { return dir.file("small.vn"); }

  static State readState(NotesHandle* notes) {
    State found;
    for (std::uint16_t v = 0; v < kVerses; ++v) {
      const std::string text = test::noteText(notes, v);
      if (text != "<none>") found[std::to_string(v)] = text;
    }
    return found;
  }

  // What was committed opens; searches (which read only verses whose bit is set) find every note
  // a get finds; the verse cut, and another, can be set again; all of it survives a reopen.
  void checkStore(const State& committed, const State* inFlight, const std::string& where) {
    test::Notes notes(VNOpen(module.get()));
    ASSERT_NE(notes, nullptr) << where << ": the store no longer opens";
    State found = readState(notes.get());
    expectCommitted(found, committed, inFlight, where);
    for (const auto& [verse, text] : found) {
      std::uint16_t list[kVerses + 1], count = 0;
      VNCSPhraseSearch(list, &count, kVerses, text.c_str(), notes.get());
      EXPECT_TRUE(text.empty() || std::find(list, list + count, std::stoi(verse)) != list + count)
          << where << ": a search misses verse " << verse;
    }
    std::vector<std::string> changed = {"9"};
    if (inFlight != nullptr)
      for (const auto& [key, value] : *inFlight)
        if (valueIn(committed, key) != value) changed.push_back(key);
    for (const auto& [key, value] : committed)
      if (inFlight != nullptr && !inFlight->count(key)) changed.push_back(key);
    for (const std::string& verse : changed) {
      const std::string text = "set again, verse " + verse;
      EXPECT_TRUE(VNSetNoteByVerse(std::stoi(verse), text.c_str(), notes.get())) << where;
      found[verse] = text;
    }
    EXPECT_EQ(readState(notes.get()), found) << where;
    notes.reset(VNOpen(module.get()));
    ASSERT_NE(notes, nullptr) << where;
    EXPECT_EQ(readState(notes.get()), found) << where;
    EXPECT_TRUE(VNDelNoteByVerse(9, notes.get())) << where;
  }

  test::TempDir dir;
  test::Module module;
  State baseline;
  std::string baseBytes;
};

TEST_F(NotesFaultMatrix, EveryChangeKilledAtEveryWriteKeepsWhatWasCommitted) {
  const std::string longNote(20000, 'n'), path = dir.file("import.txt");
  test::writeFile(path,
                  "Genesis 1:2\nsecond verse\n\nGenesis 1:1\nrenewed\n\nGenesis 1:6\nfills\n");
  const Reference genesis1v1{0, 1, 1}, genesis1v3{0, 1, 3}, genesis2v3{0, 2, 3};
  using N = NotesHandle;
  Scenario<test::Notes> scenario;
  scenario.sequence = {
      {"VNSetNoteByRef new", [&](N* n) { return VNSetNoteByRef(genesis2v3, "by ref", n); },
       setTo("14", "by ref")},
      {"VNSetNoteByRef chain", [&](N* n) { return VNSetNoteByRef(genesis1v1, "newer", n); },
       setTo("0", "newer")},
      {"VNSetNote new", [](N* n) { return VNSetNote("Genesis 1:4", "by text", n); },
       setTo("3", "by text")},
      {"VNSetNote long", [&](N* n) { return VNSetNote("Gen 2:6", longNote.c_str(), n); },
       setTo("17", longNote)},
      {"VNSetNote on a deleted verse", [](N* n) { return VNSetNote("Genesis 1:8", "back", n); },
       setTo("7", "back")},
      {"VNDelNoteByRef", [&](N* n) { return VNDelNoteByRef(genesis1v3, n); }, erase("2")},
      {"VNDelNote", [](N* n) { return VNDelNote("Genesis 2:2", n); }, erase("13")},
      {"VNDelNote chain", [](N* n) { return VNDelNote("Genesis 1:1", n); }, erase("0")},
      {"VNSetNoteByVerse after delete", [](N* n) { return VNSetNoteByVerse(0, "reborn", n); },
       setTo("0", "reborn")},
      {"VNImport", [&](N* n) { return VNImport(path.c_str(), n) == 3; },
       [](State& s) {
         for (const auto& [key, value] :
              State{{"1", "second verse\n"}, {"0", "renewed\n"}, {"5", "fills\n"}})
           s[key] = value;
       }},
  };
  scenario.baseline = baseline;
  scenario.path = store();
  scenario.bytes = baseBytes;
  scenario.open = [&] { return test::Notes(VNOpen(module.get())); };
  scenario.check = [this](const auto&... args) { checkStore(args...); };
  killAtEveryStep("notes changes", scenario);
}

// A creation killed at any write keeps the old store whole and leaves no temporary file.
TEST_F(NotesFaultMatrix, ARecreationKilledAtEveryWriteKeepsTheOldStore) {
  for (long n = 0;; ++n) {
    ASSERT_LT(n, kStepLimit) << "the creation never completed";
    const std::string where = "VNCreate killed after " + std::to_string(n);
    test::writeFile(store(), baseBytes);
    faults::failWritesAfter(n);
    test::Notes created(VNCreate(module.get()));
    const bool completed = faults::writesAttempted() <= n;
    faults::failWritesAfter(-1);
    EXPECT_EQ(created != nullptr, completed) << where;
    EXPECT_FALSE(std::filesystem::exists(store() + ".tmp" + std::to_string(::getpid()))) << where;
    created.reset();
    checkStore(completed ? State{} : baseline, nullptr, where);
    if (completed) return;
  }
}

}  // namespace
}  // namespace vellum
