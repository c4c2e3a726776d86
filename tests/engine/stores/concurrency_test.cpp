// Several programs on one notes store and one dictionary store: writers and readers at once
// (child processes), a handle that outlives another program's change, and changes refused while
// another program keeps a store.
#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <functional>
#include <iostream>
#include <map>
#include <memory>
#include <random>
#include <set>
#include <span>
#include <sstream>
#include <string>
#include <vector>

#include "engine/stores/dict.h"
#include "engine/stores/notes.h"
#include "support/files.h"
#include "tests/support/fixtures.h"

namespace vellum {
namespace {

namespace fs = std::filesystem;
using Clock = std::chrono::steady_clock;

// Genesis, Exodus and Leviticus, two chapters of 20 verses each: verse numbers 0..119.
constexpr std::uint16_t kVerses = 120;
constexpr std::uint16_t kSharedVerses = 6;  // 0..5 are set by every writer
constexpr int kWriters = 3;
constexpr int kReaders = 2;
constexpr int kOperations = 400;  // per writer

struct NotesCloser {
  void operator()(NotesHandle* notes) const { VNClose(notes); }
};
struct DictCloser {
  void operator()(DictHandle* store) const { deinit_dict(store); }
};
using Notes = std::unique_ptr<NotesHandle, NotesCloser>;
using Dict = std::unique_ptr<DictHandle, DictCloser>;

std::string note(NotesHandle* notes, std::uint16_t verse) {
  char text[256];
  std::uint16_t length = 0;
  return VNGetNoteByVerse(text, &length, sizeof text, verse, notes) ? text : "<none>";
}

std::string item(DictHandle* store, const std::string& name) {
  char text[4096];
  std::uint16_t length = 0;
  return find_string_item(text, &length, sizeof text, name.c_str(), store) ? text : "<none>";
}

std::vector<std::string> names(DictHandle* store) {
  std::span<const std::string> list;
  std::uint16_t count = 0;
  get_item_list(&list, &count, store);
  return {list.begin(), list.end()};
}

// What one writer did, as it reports it: the changes that succeeded and the count refused.
struct WriterLog {
  std::map<std::uint16_t, std::string> notes;                  // its own verses' notes
  std::map<std::string, std::string> items;                    // its own items
  std::set<std::string> tokens;                                // appended to the shared list item
  std::map<std::uint16_t, std::set<std::string>> sharedNotes;  // every value it set there
  int done = 0, refused = 0;
  std::string failure;
};

void save(const WriterLog& log, const std::string& path) {
  std::ofstream out(path);
  for (const auto& [verse, text] : log.notes) out << "N\t" << verse << "\t" << text << "\n";
  for (const auto& [name, text] : log.items) out << "I\t" << name << "\t" << text << "\n";
  for (const auto& token : log.tokens) out << "T\t" << token << "\n";
  for (const auto& [verse, texts] : log.sharedNotes)
    for (const auto& text : texts) out << "S\t" << verse << "\t" << text << "\n";
  out << "C\t" << log.done << "\t" << log.refused << "\t" << log.failure << "\n";
}

WriterLog load(const std::string& path) {
  WriterLog log;
  std::ifstream in(path);
  std::string line;
  while (std::getline(in, line)) {
    std::vector<std::string> f;
    std::istringstream fields(line);
    for (std::string field; std::getline(fields, field, '\t');) f.push_back(field);
    if (f.size() == 3 && f[0] == "N") log.notes[std::stoi(f[1])] = f[2];
    if (f.size() == 3 && f[0] == "I") log.items[f[1]] = f[2];
    if (f.size() == 2 && f[0] == "T") log.tokens.insert(f[1]);
    if (f.size() == 3 && f[0] == "S") log.sharedNotes[std::stoi(f[1])].insert(f[2]);
    if (f.size() >= 3 && f[0] == "C") {
      log.done = std::stoi(f[1]);
      log.refused = std::stoi(f[2]);
      log.failure = f.size() > 3 ? f[3] : "";
    }
  }
  return log;
}

std::set<std::string> tokensOf(const std::string& list) {
  std::set<std::string> tokens;
  if (list == "<none>") return tokens;
  std::istringstream in(list);
  for (std::string token; std::getline(in, token, ';');)
    if (!token.empty()) tokens.insert(token);
  return tokens;
}

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
    Dict created(new_dict("shared.dic", "Shared", 241, 0));
    ASSERT_NE(created, nullptr);
  }
  void TearDown() override { setLockWait(std::chrono::milliseconds(5000)); }

  // Runs body in a child process that exits with its result (true: 0).
  template <typename Body>
  pid_t spawn(Body body) {
    const pid_t child = fork();
    if (child == 0) _exit(body() ? 0 : 1);
    return child;
  }

  test::TempDir dir;
  test::Module module;
};

// One writer: sets and deletes notes on its own verses, sets every shared verse, and adds,
// replaces, deletes and renames its own items, appends tokens to one shared item under a lock
// held from its read to its write. Writer 0 waits as long as a user's program does; the others
// give up after 1 ms, so many of their changes are refused.
WriterLog runWriter(int writer, BibleHandle* module) {
  setLockWait(std::chrono::milliseconds(writer == 0 ? 5000 : 1));
  WriterLog log;
  Notes notes(VNOpen(module));  // the store does not exist yet: every writer races to make it
  Dict store(open_dict("shared.dic"));
  if (!notes || !store) {
    log.failure = "cannot open the stores";
    return log;
  }
  std::mt19937 random(static_cast<unsigned>(writer) + 1);
  const auto ownVerse = [&] {
    return static_cast<std::uint16_t>(
        kSharedVerses + writer + kWriters * (random() % ((kVerses - kSharedVerses) / kWriters)));
  };
  for (int n = 0; n < kOperations && log.failure.empty(); ++n) {
    const std::string stamp = "w" + std::to_string(writer) + "n" + std::to_string(n);
    const std::string ownName = "w" + std::to_string(writer) + "-" + std::to_string(random() % 6);
    bool ok = false;
    bool busy = false;
    std::function<void()> record;
    switch (random() % 7) {
      case 0:
      case 1: {
        const std::uint16_t verse = ownVerse();
        const std::string text = "v" + std::to_string(verse) + " " + stamp;
        ok = VNSetNoteByVerse(verse, text.c_str(), notes.get());
        busy = VNBusy(notes.get());
        record = [&log, verse, text] { log.notes[verse] = text; };
        break;
      }
      case 2: {
        if (log.notes.empty()) continue;
        const std::uint16_t verse =
            std::next(log.notes.begin(), static_cast<long>(random() % log.notes.size()))->first;
        ok = VNDelNoteByVerse(verse, notes.get());
        busy = VNBusy(notes.get());
        record = [&log, verse] { log.notes.erase(verse); };
        break;
      }
      case 3: {
        const auto verse = static_cast<std::uint16_t>(random() % kSharedVerses);
        const std::string text = "v" + std::to_string(verse) + " " + stamp;
        ok = VNSetNoteByVerse(verse, text.c_str(), notes.get());
        busy = VNBusy(notes.get());
        record = [&log, verse, text] { log.sharedNotes[verse].insert(text); };
        break;
      }
      case 4: {
        ok = add_string_item(store.get(), ownName.c_str(), stamp.c_str());
        busy = isBusy(store.get());
        record = [&log, ownName, stamp] { log.items[ownName] = stamp; };
        break;
      }
      case 5: {
        if (log.items.empty()) continue;
        const std::string old = log.items.begin()->first;
        const bool rename = random() % 2 == 0 && old != ownName;
        ok = rename ? rename_item(ownName.c_str(), old.c_str(), store.get())
                    : delete_item(old.c_str(), store.get());
        busy = isBusy(store.get());
        record = [&log, old, ownName, rename] {
          if (rename) log.items[ownName] = log.items[old];
          log.items.erase(old);
        };
        break;
      }
      default: {
        const DictChange change(store.get());
        busy = !change.held() && isBusy(store.get());
        if (change.held()) {
          const std::string list = item(store.get(), "shared list");
          ok = add_string_item(store.get(), "shared list",
                               ((list == "<none>" ? "" : list) + stamp + ";").c_str());
        }
        record = [&log, stamp] { log.tokens.insert(stamp); };
      }
    }
    if (ok) {
      record();
      ++log.done;
    } else if (busy) {
      ++log.refused;
    } else {
      log.failure = "a change failed without another program holding the store: " + stamp;
    }
  }
  return log;
}

// One reader, until told to stop: every note it sees names its own verse, the shared list only
// ever grows, and every name it lists is one a writer gives. A wrong answer is its failure.
bool runReader(BibleHandle* module, const std::string& stopFile, const std::string& report) {
  Notes notes(VNOpen(module));
  Dict store(open_dict("shared.dic"));
  long reads = 0;
  std::string failure = notes && store ? "" : "cannot open the stores";
  std::set<std::string> seenTokens;
  while (failure.empty() && !fs::exists(stopFile)) {
    for (std::uint16_t verse = 0; verse < kVerses && failure.empty(); verse += 7) {
      const std::string text = note(notes.get(), verse);
      if (text != "<none>" && text.rfind("v" + std::to_string(verse) + " ", 0) != 0)
        failure = "verse " + std::to_string(verse) + " holds " + text;
    }
    const std::set<std::string> tokens = tokensOf(item(store.get(), "shared list"));
    if (!std::includes(tokens.begin(), tokens.end(), seenTokens.begin(), seenTokens.end()))
      failure = "the shared list lost a token";
    seenTokens = tokens;
    for (const std::string& name : names(store.get()))
      if (name != "shared list" && (name.size() != 4 || name[0] != 'w' || name[2] != '-'))
        failure = "a name no writer gives: " + name;
    reads += kVerses / 7 + 2;
  }
  std::ofstream(report) << reads << "\t" << failure << "\n";
  return failure.empty();
}

TEST_F(ConcurrencyTest, WritersAndReadersInSeveralProgramsLoseNothing) {
  const auto started = Clock::now();
  std::vector<pid_t> writers, readers;
  const std::string stop = dir.file("stop");
  for (int r = 0; r < kReaders; ++r)
    readers.push_back(spawn(
        [&, r] { return runReader(module.get(), stop, dir.file("reader" + std::to_string(r))); }));
  for (int w = 0; w < kWriters; ++w)
    writers.push_back(spawn([&, w] {
      const WriterLog log = runWriter(w, module.get());
      save(log, dir.file("writer" + std::to_string(w)));
      return log.failure.empty();
    }));
  for (pid_t child : writers) {
    int status = -1;
    waitpid(child, &status, 0);
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
  }
  std::ofstream(stop).put('\n');
  for (pid_t child : readers) {
    int status = -1;
    waitpid(child, &status, 0);
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
  }
  const double seconds = std::chrono::duration<double>(Clock::now() - started).count();

  // Everything every writer reports done is there, nothing it reports refused, nothing else.
  std::map<std::uint16_t, std::string> expectedNotes;
  std::map<std::uint16_t, std::set<std::string>> sharedNotes;
  std::map<std::string, std::string> expectedItems;
  std::set<std::string> tokens;
  int done = 0, refused = 0;
  for (int w = 0; w < kWriters; ++w) {
    const WriterLog log = load(dir.file("writer" + std::to_string(w)));
    EXPECT_EQ(log.failure, "") << "writer " << w;
    expectedNotes.insert(log.notes.begin(), log.notes.end());
    expectedItems.insert(log.items.begin(), log.items.end());
    tokens.insert(log.tokens.begin(), log.tokens.end());
    for (const auto& [verse, texts] : log.sharedNotes)
      sharedNotes[verse].insert(texts.begin(), texts.end());
    done += log.done;
    refused += log.refused;
  }
  long reads = 0;
  for (int r = 0; r < kReaders; ++r) {
    std::ifstream in(dir.file("reader" + std::to_string(r)));
    std::string failure;
    long count = 0;
    in >> count;
    std::getline(in >> std::ws, failure);
    EXPECT_EQ(failure, "") << "reader " << r;
    reads += count;
  }
  std::cout << "[ figures  ] " << kWriters << " writers, " << kReaders << " readers, " << seconds
            << " s: " << done << " changes done, " << refused << " refused, " << reads
            << " reads\n";

  Notes notes(VNOpen(module.get()));
  Dict store(open_dict("shared.dic"));
  ASSERT_TRUE(notes && store);
  for (std::uint16_t verse = 0; verse < kVerses; ++verse) {
    const std::string found = note(notes.get(), verse);
    if (verse < kSharedVerses)
      EXPECT_TRUE(sharedNotes[verse].empty() ? found == "<none>" : sharedNotes[verse].count(found))
          << "verse " << verse << " holds " << found;
    else
      EXPECT_EQ(found, expectedNotes.count(verse) ? expectedNotes[verse] : "<none>")
          << "verse " << verse;
  }
  std::vector<std::string> expectedNames;
  for (const auto& [name, text] : expectedItems) {
    expectedNames.push_back(name);
    EXPECT_EQ(item(store.get(), name), text) << name;
  }
  if (!tokens.empty()) expectedNames.push_back("shared list");
  std::vector<std::string> listed = names(store.get());
  std::sort(listed.begin(), listed.end());
  std::sort(expectedNames.begin(), expectedNames.end());
  EXPECT_EQ(listed, expectedNames);
  EXPECT_EQ(tokensOf(item(store.get(), "shared list")), tokens);

  // The stores' own checks: the name list written at close reads back, and the note bitmap
  // agrees with the chains (a phrase search reads only the verses the bitmap marks).
  store.reset(open_dict("shared.dic"));
  ASSERT_NE(store, nullptr);
  std::vector<std::string> reopened = names(store.get());
  std::sort(reopened.begin(), reopened.end());
  EXPECT_EQ(reopened, expectedNames);
  std::vector<std::uint16_t> list(kVerses + 1);
  std::uint16_t count = 0;
  for (std::uint16_t verse = kSharedVerses; verse < kVerses; verse += 19) {
    const std::string phrase = "v" + std::to_string(verse);
    VNPhraseSearch(list.data(), &count, kVerses, phrase.c_str(), notes.get());
    EXPECT_EQ(count, expectedNotes.count(verse)) << phrase;
  }
}

TEST_F(ConcurrencyTest, AHandleOpenBeforeAnotherProgramsChangeSeesItAndKeepsIt) {
  Notes notes(VNOpen(module.get()));
  Dict store(open_dict("shared.dic"));
  ASSERT_TRUE(VNSetNoteByVerse(5, "mine", notes.get()));
  ASSERT_TRUE(add_string_item(store.get(), "Mine", "first"));
  ASSERT_EQ(names(store.get()), std::vector<std::string>{"Mine"});
  const pid_t other = spawn([&] {
    Notes theirs(VNOpen(module.get()));
    Dict theirStore(open_dict("shared.dic"));
    return VNSetNoteByVerse(5, "theirs", theirs.get()) &&
           VNSetNoteByVerse(6, "theirs too", theirs.get()) &&
           add_string_item(theirStore.get(), "Theirs", "second") &&
           delete_item("Mine", theirStore.get());
  });
  int status = -1;
  waitpid(other, &status, 0);
  ASSERT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);

  EXPECT_EQ(note(notes.get(), 5), "theirs");
  EXPECT_EQ(names(store.get()), std::vector<std::string>{"Theirs"});
  ASSERT_TRUE(VNSetNoteByVerse(7, "mine again", notes.get()));
  ASSERT_TRUE(add_string_item(store.get(), "Mine", "third"));
  notes.reset(VNOpen(module.get()));
  store.reset(open_dict("shared.dic"));
  EXPECT_EQ(note(notes.get(), 5), "theirs");
  EXPECT_EQ(note(notes.get(), 6), "theirs too");
  EXPECT_EQ(note(notes.get(), 7), "mine again");
  EXPECT_EQ(item(store.get(), "Theirs"), "second");
  EXPECT_EQ(item(store.get(), "Mine"), "third");
}

TEST_F(ConcurrencyTest, ChangesAreRefusedWhollyWhileAnotherProgramKeepsTheStore) {
  Notes notes(VNOpen(module.get()));
  Dict store(open_dict("shared.dic"));
  ASSERT_TRUE(VNSetNoteByVerse(1, "kept", notes.get()));
  ASSERT_TRUE(add_string_item(store.get(), "Kept", "text"));
  const auto bytes = [&](const std::string& name) {
    std::ifstream in(dir.file(name), std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
  };
  const std::string notesBefore = bytes("conc.vn");
  const std::string storeBefore = bytes("shared.dic");
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
    EXPECT_EQ(note(notes.get(), 1), "kept");
    EXPECT_EQ(item(store.get(), "Kept"), "text");
  }
  EXPECT_EQ(bytes("conc.vn"), notesBefore);
  EXPECT_EQ(bytes("shared.dic"), storeBefore);
  EXPECT_TRUE(VNSetNoteByVerse(2, "new", notes.get()));
  EXPECT_TRUE(add_string_item(store.get(), "New", "text"));
  EXPECT_EQ(VNBusy(notes.get()) + isBusy(store.get()), 0);
}

}  // namespace
}  // namespace vellum
