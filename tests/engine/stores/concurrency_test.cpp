// Several programs on one notes store and one dictionary store: writers and readers at once,
// each keeping its handles open across the others' changes, and changes refused under a lock or
// where nothing can be written.
#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <functional>
#include <map>
#include <optional>
#include <random>
#include <set>
#include <sstream>
#include <string>
#include <vector>

#include "engine/stores/dict.h"
#include "engine/stores/notes.h"
#include "support/files.h"
#include "tests/support/fixtures.h"

namespace vellum {
namespace {

using test::Dict;
using test::Notes;

// Genesis, Exodus and Leviticus, two chapters of 20 verses each: verse numbers 0..119.
constexpr std::uint16_t kVerses = 120;
constexpr std::uint16_t kSharedVerses = 6;  // 0..5 are set by every writer
constexpr int kWriters = 3;
constexpr int kReaders = 2;
constexpr int kOperations = 400;  // per writer

std::set<std::string> tokensOf(const std::string& list) {
  std::set<std::string> tokens;
  std::istringstream in(list == "<none>" ? "" : list);
  for (std::string token; std::getline(in, token, ';');) tokens.insert(token);
  return tokens;
}

// What a writer's changes leave, a fact a key: "N<verse>" an own verse's note, "I<name>" an own
// item's text, "S<text>" a shared verse's text, "T<token>" a shared list's token, "F" failures.
using WriterLog = std::map<std::string, std::string>;

// The keys of the log that start with the letter, less the letter.
std::vector<std::string> keysOf(const WriterLog& log, char letter) {
  std::vector<std::string> keys;
  for (auto it = log.lower_bound(std::string(1, letter)); it != log.end() && it->first[0] == letter;
       ++it)
    keys.push_back(it->first.substr(1));
  return keys;
}

// One writer: sets and deletes its own verses' notes, sets the shared verses, changes its own
// items, and appends a token to the shared list holding the store from read to write. Every change
// must be done (the lock waits as a user's program does). Given no stores, it only tells its log.
WriterLog writerChanges(int writer, NotesHandle* notes, DictHandle* store) {
  WriterLog log;
  std::mt19937 random(static_cast<unsigned>(writer) + 1);
  for (int n = 0; n < kOperations; ++n) {
    const std::string stamp = "w" + std::to_string(writer) + "n" + std::to_string(n);
    const std::string ownName = "w" + std::to_string(writer) + "-" + std::to_string(random() % 6);
    auto verse = static_cast<std::uint16_t>(
        kSharedVerses + writer + kWriters * (random() % ((kVerses - kSharedVerses) / kWriters)));
    const std::vector<std::string> ownNotes = keysOf(log, 'N'), ownItems = keysOf(log, 'I');
    const unsigned kind = random() % 7;
    if (kind == 3) verse = static_cast<std::uint16_t>(random() % kSharedVerses);
    if (kind == 2 && !ownNotes.empty())
      verse = static_cast<std::uint16_t>(std::stoi(ownNotes[random() % ownNotes.size()]));
    const std::string text = "v" + std::to_string(verse) + " " + stamp;
    bool done = true;
    if (kind <= 1 || kind == 3) {  // a note of an own verse, or of a shared one
      if (notes) done = VNSetNoteByVerse(verse, text.c_str(), notes);
      log[kind == 3 ? "S" + text : "N" + std::to_string(verse)] = text;
    } else if (kind == 2 && !ownNotes.empty()) {
      if (notes) done = VNDelNoteByVerse(verse, notes);
      log.erase("N" + std::to_string(verse));
    } else if (kind == 4) {
      if (store) done = add_string_item(store, ownName.c_str(), stamp.c_str());
      log["I" + ownName] = stamp;
    } else if (kind == 5 && !ownItems.empty()) {
      const std::string old = ownItems.front();
      const bool rename = random() % 2 == 0 && old != ownName;
      if (store)
        done = rename ? rename_item(ownName.c_str(), old.c_str(), store)
                      : delete_item(old.c_str(), store);
      if (rename) log["I" + ownName] = log["I" + old];
      log.erase("I" + old);
    } else if (kind == 6) {
      if (store) {
        const DictChange change(store);
        const std::string list = test::itemText(store, "shared list");
        done = change.held() &&
               add_string_item(store, "shared list",
                               ((list == "<none>" ? "" : list) + stamp + ";").c_str());
      }
      log["T" + stamp] = "";
    }
    if (!done) log["F"] += stamp + " (kind " + std::to_string(kind) + ") ";
  }
  return log;
}

class ConcurrencyTest : public ::testing::Test {
 protected:
  void SetUp() override {
    std::string vpl;
    const char* books[] = {"Genesis", "Exodus", "Leviticus"};
    for (int n = 0; n < kVerses; ++n)
      vpl += std::string(books[n / 40]) + "\t" + std::to_string(n % 40 / 20 + 1) + "\t" +
             std::to_string(n % 20 + 1) + "\tverse\n";
    test::buildModule(dir.path(), "conc.bib", "Concurrent Bible", vpl);
    module = test::openModule(dir.path(), "conc.bib");
    ASSERT_NE(module, nullptr);
    ASSERT_NE(Dict(new_dict("shared.dic", "Shared", 241, 0)), nullptr);
  }
  void TearDown() override { setLockWait(std::chrono::milliseconds(5000)); }

  static pid_t spawn(const std::function<bool()>& body) {
    const pid_t child = fork();
    if (child == 0) _exit(body() ? 0 : 1);
    return child;
  }
  static bool succeeded(pid_t child) {
    int status = -1;
    waitpid(child, &status, 0);
    return WIFEXITED(status) && WEXITSTATUS(status) == 0;
  }

  test::TempDir dir;
  test::Module module;
};

// One reader, until told to stop: every note names its verse, the shared list only grows, and
// every name listed is one a writer gives.
bool runReader(BibleHandle* module, const std::string& stopFile) {
  Notes notes(VNOpen(module));
  Dict store(open_dict("shared.dic"));
  bool sound = notes && store;
  std::set<std::string> seenTokens;
  while (sound && !std::filesystem::exists(stopFile)) {
    for (std::uint16_t verse = 0; verse < kVerses; verse += 7) {
      const std::string text = test::noteText(notes.get(), verse);
      sound = sound && (text == "<none>" || text.starts_with("v" + std::to_string(verse) + " "));
    }
    const std::set<std::string> tokens = tokensOf(test::itemText(store.get(), "shared list"));
    sound =
        sound && std::includes(tokens.begin(), tokens.end(), seenTokens.begin(), seenTokens.end());
    seenTokens = tokens;
    for (const std::string& name : test::itemNames(store.get()))
      sound = sound && (name == "shared list" ||
                        (name.size() == 4 && name.starts_with("w") && name[2] == '-'));
  }
  return sound;
}

TEST_F(ConcurrencyTest, WritersAndReadersInSeveralProgramsLoseNothing) {
  std::vector<pid_t> writers, readers;
  const std::string stop = dir.file("stop");
  for (int r = 0; r < kReaders; ++r)
    readers.push_back(spawn([&] { return runReader(module.get(), stop); }));
  for (int w = 0; w < kWriters; ++w)
    writers.push_back(spawn([&, w] {
      Notes notes(VNOpen(module.get()));  // the store does not exist yet: all race to make it
      Dict store(open_dict("shared.dic"));
      const WriterLog log = notes && store ? writerChanges(w, notes.get(), store.get())
                                           : WriterLog{{"F", "opening the stores"}};
      if (log.count("F")) std::fprintf(stderr, "writer %d failed: %s\n", w, log.at("F").c_str());
      return !log.count("F");
    }));
  for (pid_t child : writers) EXPECT_TRUE(succeeded(child)) << "a writer failed (see above)";
  test::writeFile(stop, "\n");
  for (pid_t child : readers) EXPECT_TRUE(succeeded(child)) << "a reader saw a wrong answer";

  // Every change of every writer is there, and nothing else.
  WriterLog all;
  for (int w = 0; w < kWriters; ++w) all.merge(writerChanges(w, nullptr, nullptr));
  Notes notes(VNOpen(module.get()));
  Dict store(open_dict("shared.dic"));
  ASSERT_TRUE(notes && store);
  const std::vector<std::string> shared = keysOf(all, 'S'), tokens = keysOf(all, 'T');
  for (std::uint16_t verse = 0; verse < kVerses; ++verse) {
    const std::string found = test::noteText(notes.get(), verse), own = "N" + std::to_string(verse);
    const bool anyShared = std::any_of(shared.begin(), shared.end(), [&](const std::string& text) {
      return text.starts_with("v" + std::to_string(verse) + " ");
    });
    if (verse >= kSharedVerses)
      EXPECT_EQ(found, all.count(own) ? all[own] : "<none>") << verse;
    else
      EXPECT_TRUE(anyShared ? all.count("S" + found) : found == "<none>") << verse << found;
  }
  std::vector<std::string> expectedNames = keysOf(all, 'I');
  for (const std::string& name : expectedNames)
    EXPECT_EQ(test::itemText(store.get(), name), all["I" + name]) << name;
  if (!tokens.empty()) expectedNames.push_back("shared list");
  std::sort(expectedNames.begin(), expectedNames.end());
  EXPECT_EQ(test::itemNames(store.get()), expectedNames);
  const std::set<std::string> listed = tokensOf(test::itemText(store.get(), "shared list"));
  EXPECT_EQ(std::vector<std::string>(listed.begin(), listed.end()), tokens);

  // The name list written at the close reads back; the notes' bits agree with their chains.
  store.reset(open_dict("shared.dic"));
  EXPECT_EQ(test::itemNames(store.get()), expectedNames);
  std::vector<std::uint16_t> list(kVerses + 1);
  std::uint16_t count = 0;
  for (std::uint16_t verse = kSharedVerses; verse < kVerses; verse += 19) {
    VNPhraseSearch(list.data(), &count, kVerses, ("v" + std::to_string(verse)).c_str(),
                   notes.get());
    EXPECT_EQ(count, all.count("N" + std::to_string(verse))) << verse;
  }
}

// Changes are refused whole and reads still answer while another program keeps the stores, and
// where nothing can be written (the stores then open read-only); closing writes nothing either.
TEST_F(ConcurrencyTest, ChangesAreRefusedWhollyWhenTheStoresCannotBeChanged) {
  Notes notes(VNOpen(module.get()));
  Dict store(open_dict("shared.dic"));
  ASSERT_TRUE(VNSetNoteByVerse(1, "kept", notes.get()));
  ASSERT_TRUE(add_string_item(store.get(), "Kept", "text"));
  test::writeFile(dir.file("import.txt"), "Genesis 1:3\nx\n");
  setLockWait(std::chrono::milliseconds(50));
  for (const bool locked : {true, false}) {
    SCOPED_TRACE(locked ? "locked" : "unwritable");
    notes.reset();
    store.reset();
    const std::string notesBefore = test::readFile(dir.file("conc.vn"));
    const std::string storeBefore = test::readFile(dir.file("shared.dic"));
    {
      std::optional<test::ForeignLock> holdsNotes, holdsStore;
      std::optional<test::UnwritableDirectory> guard;
      if (locked) {
        holdsNotes.emplace(dir.file("conc.vn"), LockKind::exclusive);
        holdsStore.emplace(dir.file("shared.dic"), LockKind::exclusive);
        ASSERT_TRUE(holdsNotes->held() && holdsStore->held());
      } else {
        guard.emplace(dir.path());
        ASSERT_TRUE(guard->effective()) << "cannot make a directory unwritable here";
      }
      notes.reset(VNOpen(module.get()));  // opening waits out the lock and reads without it
      store.reset(open_dict("shared.dic"));
      ASSERT_TRUE(notes && store);
      EXPECT_FALSE(VNSetNoteByVerse(2, "new", notes.get()) || VNDelNoteByVerse(1, notes.get()));
      EXPECT_EQ(VNImport(dir.file("import.txt").c_str(), notes.get()), locked ? 0 : -1);
      EXPECT_FALSE(add_string_item(store.get(), "New", "text") ||
                   delete_item("Kept", store.get()) ||
                   rename_item("Renamed", "Kept", store.get()) || beginDictChange(store.get()));
      EXPECT_EQ(VNBusy(notes.get()) + isBusy(store.get()), locked ? 2 : 0);
      EXPECT_EQ(VNReadOnly(notes.get()) + isReadOnly(store.get()), locked ? 0 : 2);
      EXPECT_EQ(test::noteText(notes.get(), 1), "kept");
      EXPECT_EQ(test::itemText(store.get(), "Kept"), "text");
      EXPECT_EQ(test::itemNames(store.get()), std::vector<std::string>{"Kept"});
      notes.reset();
      store.reset();
    }
    EXPECT_EQ(test::readFile(dir.file("conc.vn")), notesBefore);
    EXPECT_EQ(test::readFile(dir.file("shared.dic")), storeBefore);
  }
  notes.reset(VNOpen(module.get()));
  store.reset(open_dict("shared.dic"));
  EXPECT_TRUE(VNSetNoteByVerse(2, "new", notes.get()));
  EXPECT_TRUE(add_string_item(store.get(), "New", "text"));
  EXPECT_EQ(VNBusy(notes.get()) + isBusy(store.get()), 0);
}

}  // namespace
}  // namespace vellum
