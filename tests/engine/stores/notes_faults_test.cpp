// Verse notes store under a process killed at each write: setting, deleting and creating.
#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "engine/stores/notes.h"
#include "engine/stores/store_io.h"
#include "tests/support/fixtures.h"

namespace vellum {
namespace {

namespace fs = std::filesystem;

struct NotesCloser {
  void operator()(NotesHandle* n) const { VNClose(n); }
};
using test::Module;
using Notes = std::unique_ptr<NotesHandle, NotesCloser>;

constexpr int kStepLimit = 50;  // no change of the store takes this many writes

std::string noteOf(std::uint16_t verse, NotesHandle* notes) {
  std::vector<char> buffer(32767);
  std::uint16_t length = 0;
  if (VNGetNoteByVerse(buffer.data(), &length, 32767, verse, notes) == nullptr) return "<none>";
  return std::string(buffer.data(), length);
}

class NotesFaultTest : public ::testing::Test {
 protected:
  void SetUp() override {
    std::string vpl;
    for (int v = 1; v <= 12; ++v) vpl += "Genesis\t1\t" + std::to_string(v) + "\ttext\n";
    test::buildModule(dir.path(), "small.bib", "Small", vpl);
    module = test::openModule(dir.path(), "small.bib");
    ASSERT_NE(module, nullptr);
    Notes notes(VNOpen(module.get()));
    ASSERT_NE(notes, nullptr);
    // Committed before every change under test: a three-record chain, a single note, an
    // empty note, and a deleted one.
    committed = {{1, "one, third version"}, {2, "two"}, {3, ""}};
    ASSERT_TRUE(VNSetNoteByVerse(1, "one, first version", notes.get()));
    ASSERT_TRUE(VNSetNoteByVerse(1, "one, second", notes.get()));
    ASSERT_TRUE(VNSetNoteByVerse(1, "one, third version", notes.get()));
    ASSERT_TRUE(VNSetNoteByVerse(2, "two", notes.get()));
    ASSERT_TRUE(VNSetNoteByVerse(3, "", notes.get()));
    ASSERT_TRUE(VNSetNoteByVerse(4, "deleted", notes.get()));
    ASSERT_TRUE(VNDelNoteByVerse(4, notes.get()));
    notes.reset();
    fs::copy_file(store(), dir.file("baseline.vn"));
  }
  void TearDown() override { faults::failWritesAfter(-1); }

  std::string store() const { return dir.file("small.vn"); }
  void restoreBaseline() {
    fs::copy_file(dir.file("baseline.vn"), store(), fs::copy_options::overwrite_existing);
  }

  // Runs change against a fresh copy of the baseline with the hook at n = 0, 1, 2, ... until the
  // change completes without the hook firing. After each killed run the store must open with
  // every committed note (the one changed may hold its old or its new state) and keep working.
  void killAtEveryStep(const std::function<bool(NotesHandle*)>& change, std::uint16_t verse,
                       const std::string& before, const std::string& after) {
    for (long n = 0; n <= kStepLimit; ++n) {
      SCOPED_TRACE("killed after " + std::to_string(n) + " writes");
      restoreBaseline();
      {
        Notes notes(VNOpen(module.get()));
        ASSERT_NE(notes, nullptr);
        faults::failWritesAfter(n);
        const bool done = change(notes.get());
        const long attempted = faults::writesAttempted();
        faults::failWritesAfter(-1);
        if (done) {
          EXPECT_LE(attempted, n) << "reported done although a write failed";
          Notes reopened(VNOpen(module.get()));
          ASSERT_NE(reopened, nullptr);
          EXPECT_EQ(noteOf(verse, reopened.get()), after);
          EXPECT_GT(n, 0);
          return;
        }
      }  // the handle goes without another write, as a killed process would leave it
      Notes notes(VNOpen(module.get()));
      ASSERT_NE(notes, nullptr) << "the store no longer opens";
      for (const auto& [v, text] : committed) {
        if (v != verse) {
          EXPECT_EQ(noteOf(v, notes.get()), text) << "verse " << v;
        }
      }
      const std::string now = noteOf(verse, notes.get());
      EXPECT_TRUE(now == before || now == after) << "verse " << verse << " reads \"" << now << '"';
      // The store still works: a later set of another verse must not show up under this one
      // (it would, were a linked record left in space the next set reuses).
      ASSERT_TRUE(VNSetNoteByVerse(9, "a later note of verse nine", notes.get()));
      EXPECT_EQ(noteOf(9, notes.get()), "a later note of verse nine");
      EXPECT_EQ(noteOf(verse, notes.get()), now);
      ASSERT_TRUE(VNSetNoteByVerse(verse, "set again", notes.get()));
      EXPECT_EQ(noteOf(verse, notes.get()), "set again");
      for (const auto& [v, text] : committed) {
        if (v != verse) {
          EXPECT_EQ(noteOf(v, notes.get()), text) << "verse " << v;
        }
      }
      std::uint16_t list[20], count = 0;
      VNPhraseSearch(list, &count, 19, verse == 2 ? "version" : "two", notes.get());
      EXPECT_EQ(count, 1);
    }
    FAIL() << "the change never completed";
  }

  test::TempDir dir;
  Module module;
  std::map<std::uint16_t, std::string> committed;
};

TEST_F(NotesFaultTest, SettingANewNoteSurvivesAKillAtEveryWrite) {
  killAtEveryStep([](NotesHandle* n) { return VNSetNoteByVerse(6, "six", n); }, 6, "<none>",
                  "six");
}

TEST_F(NotesFaultTest, ExtendingAChainSurvivesAKillAtEveryWrite) {
  killAtEveryStep([](NotesHandle* n) { return VNSetNoteByVerse(1, "one, fourth", n); }, 1,
                  "one, third version", "one, fourth");
}

TEST_F(NotesFaultTest, SettingADeletedNoteAgainSurvivesAKillAtEveryWrite) {
  killAtEveryStep([](NotesHandle* n) { return VNSetNoteByVerse(4, "back", n); }, 4, "<none>",
                  "back");
}

TEST_F(NotesFaultTest, DeletingSurvivesAKillAtEveryWrite) {
  killAtEveryStep([](NotesHandle* n) { return VNDelNoteByVerse(2, n); }, 2, "two", "<none>");
}

TEST_F(NotesFaultTest, DeletingAChainSurvivesAKillAtEveryWrite) {
  killAtEveryStep([](NotesHandle* n) { return VNDelNoteByVerse(1, n); }, 1, "one, third version",
                  "<none>");
}

TEST_F(NotesFaultTest, AKilledDeleteNeverHidesTheNoteFromSearchesWhileGetStillFindsIt) {
  for (long n = 0; n < 3; ++n) {
    restoreBaseline();
    {
      Notes notes(VNOpen(module.get()));
      faults::failWritesAfter(n);
      VNDelNoteByVerse(2, notes.get());
      faults::failWritesAfter(-1);
    }
    Notes notes(VNOpen(module.get()));
    std::uint16_t list[20], count = 0;
    VNPhraseSearch(list, &count, 19, "two", notes.get());
    EXPECT_EQ(count == 1, noteOf(2, notes.get()) == "two") << "killed after " << n;
  }
}

TEST_F(NotesFaultTest, AKilledCreationLeavesNoStoreBehind) {
  for (long n = 0; n <= kStepLimit; ++n) {
    SCOPED_TRACE("killed after " + std::to_string(n) + " writes");
    fs::remove(store());
    faults::failWritesAfter(n);
    Notes created(VNCreate(module.get()));
    faults::failWritesAfter(-1);
    if (created) {
      EXPECT_EQ(noteOf(1, created.get()), "<none>");
      EXPECT_TRUE(VNSetNoteByVerse(1, "works", created.get()));
      EXPECT_GT(n, 0);
      return;
    }
    EXPECT_FALSE(fs::exists(store())) << "a half-made store was left in place";
    EXPECT_FALSE(fs::exists(dir.file("small.vn.tmp" + std::to_string(::getpid()))));
    Notes opened(VNOpen(module.get()));  // makes a sound one
    ASSERT_NE(opened, nullptr);
    EXPECT_EQ(noteOf(1, opened.get()), "<none>");
  }
  FAIL() << "the creation never completed";
}

TEST_F(NotesFaultTest, AKilledRecreationKeepsTheOldStore) {
  faults::failWritesAfter(1);
  Notes created(VNCreate(module.get()));
  faults::failWritesAfter(-1);
  EXPECT_EQ(created, nullptr);
  Notes notes(VNOpen(module.get()));
  ASSERT_NE(notes, nullptr);
  EXPECT_EQ(noteOf(2, notes.get()), "two");
}

}  // namespace
}  // namespace vellum
