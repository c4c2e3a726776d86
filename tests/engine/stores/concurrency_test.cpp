// Several programs on one notes store and one dictionary store: writers and readers at once
// (child processes, each keeping its handles open across the others' changes), and changes
// refused while another program keeps a store.
#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <functional>
#include <map>
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

std::vector<std::string> names(DictHandle* store) {
  std::vector<std::string> sorted = test::itemNames(store);
  std::sort(sorted.begin(), sorted.end());
  return sorted;
}

std::set<std::string> tokensOf(const std::string& list) {
  std::set<std::string> tokens;
  std::istringstream in(list == "<none>" ? "" : list);
  for (std::string token; std::getline(in, token, ';');) tokens.insert(token);
  return tokens;
}

// What one writer reports: the notes of its own verses and its own items as it left them, every
// text it set on a shared verse, the tokens it appended to the shared list, and why it failed
// ("" when it did not). Saved one fact a line: kind, key and value, separated by tabs.
struct WriterLog {
  std::map<std::uint16_t, std::string> notes;
  std::map<std::string, std::string> items;
  std::set<std::string> shared, tokens;
  std::string failure = "no log";

  void save(const std::string& path) const {
    std::ofstream out(path);
    for (const auto& [verse, text] : notes) out << "N\t" << verse << '\t' << text << '\n';
    for (const auto& [name, text] : items) out << "I\t" << name << '\t' << text << '\n';
    for (const auto& text : shared) out << "S\t\t" << text << '\n';
    for (const auto& token : tokens) out << "T\t\t" << token << '\n';
    out << "F\t\t" << failure << '\n';
  }
  void load(const std::string& path) {
    std::ifstream in(path);
    std::string kind, key, value;
    while (std::getline(in, kind, '\t') && std::getline(in, key, '\t') && std::getline(in, value)) {
      if (kind == "N") notes[static_cast<std::uint16_t>(std::stoi(key))] = value;
      if (kind == "I") items[key] = value;
      if (kind == "S") shared.insert(value);
      if (kind == "T") tokens.insert(value);
      if (kind == "F") failure = value;
    }
  }
};

class ConcurrencyTest : public ::testing::Test {
 protected:
  void SetUp() override {
    std::string vpl;
    for (const char* book : {"Genesis", "Exodus", "Leviticus"})
      for (int chapter = 1; chapter <= 2; ++chapter)
        for (int verse = 1; verse <= 20; ++verse)
          vpl += std::string(book) + "\t" + std::to_string(chapter) + "\t" + std::to_string(verse) +
                 "\tverse text\n";
    test::buildModule(dir.path(), "conc.bib", "Concurrent Bible", vpl);
    module = test::openModule(dir.path(), "conc.bib");
    ASSERT_NE(module, nullptr);
    ASSERT_NE(Dict(new_dict("shared.dic", "Shared", 241, 0)), nullptr);
  }
  void TearDown() override { setLockWait(std::chrono::milliseconds(5000)); }

  // Runs body in a child process, which exits with 0 when body returns true.
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

// One writer: sets and deletes notes of its own verses, sets the shared verses, adds, replaces,
// deletes and renames its own items, and appends a token to the shared list holding the store
// from its read to its write. Writer 0 waits for the lock as long as a user's program does; the
// others give up after 1 ms, so many of their changes are refused.
WriterLog runWriter(int writer, BibleHandle* module) {
  setLockWait(std::chrono::milliseconds(writer == 0 ? 5000 : 1));
  WriterLog log;
  Notes notes(VNOpen(module));  // the store does not exist yet: every writer races to make it
  Dict store(open_dict("shared.dic"));
  log.failure = notes && store ? "" : "cannot open the stores";
  std::mt19937 random(static_cast<unsigned>(writer) + 1);
  for (int n = 0; n < kOperations && log.failure.empty(); ++n) {
    const std::string stamp = "w" + std::to_string(writer) + "n" + std::to_string(n);
    const std::string ownName = "w" + std::to_string(writer) + "-" + std::to_string(random() % 6);
    const auto ownVerse = static_cast<std::uint16_t>(
        kSharedVerses + writer + kWriters * (random() % ((kVerses - kSharedVerses) / kWriters)));
    bool done = false;
    std::function<void()> record;
    const unsigned kind = random() % 7;
    if (kind <= 1 || kind == 3) {  // a note of an own verse, or of a shared one
      const auto verse =
          kind == 3 ? static_cast<std::uint16_t>(random() % kSharedVerses) : ownVerse;
      const std::string text = "v" + std::to_string(verse) + " " + stamp;
      done = VNSetNoteByVerse(verse, text.c_str(), notes.get());
      record = [&, verse, text] {
        if (kind == 3)
          log.shared.insert(text);
        else
          log.notes[verse] = text;
      };
    } else if (kind == 2) {
      if (log.notes.empty()) continue;
      const auto verse = std::next(log.notes.begin(), random() % log.notes.size())->first;
      done = VNDelNoteByVerse(verse, notes.get());
      record = [&, verse] { log.notes.erase(verse); };
    } else if (kind == 4) {
      done = add_string_item(store.get(), ownName.c_str(), stamp.c_str());
      record = [&] { log.items[ownName] = stamp; };
    } else if (kind == 5) {
      if (log.items.empty()) continue;
      const std::string old = log.items.begin()->first;
      const bool rename = random() % 2 == 0 && old != ownName;
      done = rename ? rename_item(ownName.c_str(), old.c_str(), store.get())
                    : delete_item(old.c_str(), store.get());
      record = [&, old, rename] {
        if (rename) log.items[ownName] = log.items[old];
        log.items.erase(old);
      };
    } else {
      const DictChange change(store.get());
      if (change.held()) {
        const std::string list = test::itemText(store.get(), "shared list");
        done = add_string_item(store.get(), "shared list",
                               ((list == "<none>" ? "" : list) + stamp + ";").c_str());
      }
      record = [&] { log.tokens.insert(stamp); };
    }
    if (done) {
      record();
    } else if (!(kind <= 3 ? VNBusy(notes.get()) : isBusy(store.get()))) {
      log.failure = "a change failed though no other program held the store: " + stamp;
    }
  }
  return log;
}

// One reader, until told to stop: every note it sees names its own verse, the shared list only
// ever grows, and every name it lists is one a writer gives. A wrong answer is its failure.
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
    for (const std::string& name : names(store.get()))
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
      const WriterLog log = runWriter(w, module.get());
      log.save(dir.file("writer" + std::to_string(w)));
      return log.failure.empty();
    }));
  for (pid_t child : writers) EXPECT_TRUE(succeeded(child));
  test::writeFile(stop, "\n");
  for (pid_t child : readers) EXPECT_TRUE(succeeded(child)) << "a reader saw a wrong answer";

  // Everything every writer reports done is there, nothing it reports refused, nothing else.
  WriterLog all;
  for (int w = 0; w < kWriters; ++w) {
    WriterLog log;
    log.load(dir.file("writer" + std::to_string(w)));
    EXPECT_EQ(log.failure, "") << "writer " << w;
    all.notes.insert(log.notes.begin(), log.notes.end());
    all.items.insert(log.items.begin(), log.items.end());
    all.shared.insert(log.shared.begin(), log.shared.end());
    all.tokens.insert(log.tokens.begin(), log.tokens.end());
  }
  Notes notes(VNOpen(module.get()));
  Dict store(open_dict("shared.dic"));
  ASSERT_TRUE(notes && store);
  for (std::uint16_t verse = 0; verse < kVerses; ++verse) {
    const std::string found = test::noteText(notes.get(), verse);
    if (verse >= kSharedVerses) {
      EXPECT_EQ(found, all.notes.count(verse) ? all.notes[verse] : "<none>") << verse;
    } else {
      const bool anySet = std::any_of(all.shared.begin(), all.shared.end(), [&](auto& text) {
        return text.starts_with("v" + std::to_string(verse) + " ");
      });
      EXPECT_TRUE(anySet ? all.shared.count(found) == 1 : found == "<none>") << verse << found;
    }
  }
  std::vector<std::string> expectedNames;
  for (const auto& [name, text] : all.items) {
    expectedNames.push_back(name);
    EXPECT_EQ(test::itemText(store.get(), name), text) << name;
  }
  if (!all.tokens.empty()) expectedNames.push_back("shared list");
  std::sort(expectedNames.begin(), expectedNames.end());
  EXPECT_EQ(names(store.get()), expectedNames);
  EXPECT_EQ(tokensOf(test::itemText(store.get(), "shared list")), all.tokens);

  // The name list written at the close reads back, and the notes' bits agree with their chains
  // (a phrase search reads only the verses whose bit is set).
  store.reset(open_dict("shared.dic"));
  EXPECT_EQ(names(store.get()), expectedNames);
  std::vector<std::uint16_t> list(kVerses + 1);
  std::uint16_t count = 0;
  for (std::uint16_t verse = kSharedVerses; verse < kVerses; verse += 19) {
    VNPhraseSearch(list.data(), &count, kVerses, ("v" + std::to_string(verse)).c_str(),
                   notes.get());
    EXPECT_EQ(count, all.notes.count(verse)) << verse;
  }
}

TEST_F(ConcurrencyTest, ChangesAreRefusedWhollyWhileAnotherProgramKeepsTheStore) {
  Notes notes(VNOpen(module.get()));
  Dict store(open_dict("shared.dic"));
  ASSERT_TRUE(VNSetNoteByVerse(1, "kept", notes.get()));
  ASSERT_TRUE(add_string_item(store.get(), "Kept", "text"));
  const std::string notesBefore = test::readFile(dir.file("conc.vn"));
  const std::string storeBefore = test::readFile(dir.file("shared.dic"));
  setLockWait(std::chrono::milliseconds(50));
  {
    const test::ForeignLock holdsNotes(dir.file("conc.vn"), LockKind::exclusive);
    const test::ForeignLock holdsStore(dir.file("shared.dic"), LockKind::exclusive);
    ASSERT_TRUE(holdsNotes.held() && holdsStore.held());
    EXPECT_FALSE(VNSetNoteByVerse(2, "new", notes.get()));
    EXPECT_EQ(VNBusy(notes.get()), 1);
    EXPECT_FALSE(VNDelNoteByVerse(1, notes.get()));
    EXPECT_EQ(VNBusy(notes.get()), 1);
    EXPECT_FALSE(add_string_item(store.get(), "New", "text"));
    EXPECT_FALSE(rename_item("Renamed", "Kept", store.get()));
    EXPECT_FALSE(delete_item("Kept", store.get()));
    EXPECT_FALSE(beginDictChange(store.get()));
    EXPECT_EQ(isBusy(store.get()), 1);
    // Readers wait out the lock and still answer.
    EXPECT_EQ(test::noteText(notes.get(), 1), "kept");
    EXPECT_EQ(test::itemText(store.get(), "Kept"), "text");
  }
  EXPECT_EQ(test::readFile(dir.file("conc.vn")), notesBefore);
  EXPECT_EQ(test::readFile(dir.file("shared.dic")), storeBefore);
  EXPECT_TRUE(VNSetNoteByVerse(2, "new", notes.get()));
  EXPECT_TRUE(add_string_item(store.get(), "New", "text"));
  EXPECT_EQ(VNBusy(notes.get()) + isBusy(store.get()), 0);
}

}  // namespace
}  // namespace vellum
