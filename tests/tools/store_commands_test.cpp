// The importer's lexicon and notes commands and vellum-cli's "lookup strongs", "notes" and
// "topics": sessions of steps against a copy of the 66-book fixture.
#include "tools/cli/store_commands.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <memory>
#include <sstream>
#include <string>
#include <tuple>
#include <vector>

#include "engine/stores/topics.h"
#include "support/files.h"
#include "tests/support/fixtures.h"
#include "tools/import/store_import.h"

namespace vellum {
namespace {

namespace fs = std::filesystem;
using Args = std::vector<std::string>;
using Command = int (*)(const Args&, std::ostream&, std::ostream&);

int notes(const Args& a, std::ostream& o, std::ostream& e) {
  return cli::runNotes(a, "kjv.bib", o, e);
}
int topics(const Args& a, std::ostream& o, std::ostream& e) {
  return cli::runTopics(a, "kjv.bib", o, e);
}
constexpr Command strongs = cli::runLookupStrongs;
constexpr Command lexicon = import::runLexiconImport;
constexpr Command importNotes = import::runNotesImport;

constexpr const char* kAny = "*";  // the message is not compared

// A step: the command, its arguments separated by '|' ("" for none), the exit status, standard
// output and standard error.
using Step = std::tuple<Command, std::string, int, std::string, std::string>;

class StoreCommands : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    fixture_ = std::make_unique<test::TempDir>();  // the 66-book fixture is built once
    test::buildKjvFixture(fixture_->path());
  }
  static void TearDownTestSuite() { fixture_.reset(); }
  void SetUp() override {
    fs::copy_file(fixture_->file("kjv.bib"), dir.file("kjv.bib"));
    set_dpath(dir.path().c_str());
  }
  void run(const std::vector<Step>& steps) {
    for (const auto& [command, line, exitCode, out, err] : steps) {
      set_dpath(dir.path().c_str());
      Args args;
      std::istringstream in(line);
      for (std::string arg; std::getline(in, arg, '|');) args.push_back(arg);
      const test::Ran ran =
          test::runCommand([&](std::ostream& o, std::ostream& e) { return command(args, o, e); });
      EXPECT_EQ(ran.exitCode, exitCode) << line << "\n" << ran.err;
      EXPECT_EQ(ran.out, out) << line;
      EXPECT_TRUE(err == kAny || ran.err == err) << line << "\n" << ran.err;
    }
  }
  static inline std::unique_ptr<test::TempDir> fixture_;
  test::TempDir dir;
};

TEST_F(StoreCommands, LexiconAndStrongsLookups) {
  test::writeFile(dir.file("hebrew.txt"), "H1\nfather\nH7225\nbeginning\nfirst\n");
  test::writeFile(dir.file("greek.txt"), "G25\nto love\n");
  test::writeFile(dir.file("twice.txt"), "G1\na\nG2\nb\nG2\nc\n");
  const std::string hebrew = dir.file("hebrew.txt"), greek = dir.file("greek.txt");
  const std::string out = dir.file("lexicon.lex");
  run({
      {lexicon, "--hebrew|" + hebrew + "|--greek|" + dir.file("twice.txt") + "|" + out, 1, "",
       "vellum-import: " + dir.file("twice.txt") + ": line 5: number 2 repeats line 3\n"},
      {strongs, "hebrew|1", 2, "", kAny},  // no lexicon was left
      {lexicon, "--hebrew|" + dir.file("none.txt") + "|--greek|" + greek + "|" + out, 2, "", kAny},
      {lexicon, "--hebrew|" + hebrew + "|--greek|" + greek + "|" + out, 0,
       "wrote " + out + ": Hebrew 1 to 7225 (2 entries), Greek 1 to 25 (1 entries)\n", ""},
      {strongs, "hebrew|7225", 0, "beginning\nfirst\n", ""},
      {strongs, "greek|G25", 0, "to love\n", ""},
      {strongs, "hebrew|h1", 0, "father\n", ""},
      {strongs, "greek|26", 1, "", "vellum-cli: no Greek entry 26\n"},
      {strongs, "hebrew|G25", 2, "", kAny},
      {strongs, "hebrew|70000", 2, "", kAny},
      {strongs, "aramaic|1", 2, "", kAny},
  });
}

TEST_F(StoreCommands, NotesGetSetDeleteChapterSearchAndImport) {
  const std::string in = dir.file("in.txt"), noNote = "vellum-cli: John 3:16 has no note\n";
  test::writeFile(in, "Genesis 1:1\nfirst\n\nGenesis 99:1\nbad\n\nRuth 1:1\nlast");
  run({
      {notes, "set|John|3:16|God|so|loved", 0, "", ""},
      {notes, "get|john 3:16", 0, "God so loved\n", ""},
      {notes, "set|1 John 1:9|confess", 0, "", ""},
      {notes, "get|1|John|1:9", 0, "confess\n", ""},
      {notes, "delete|John 3:16", 0, "", ""},
      {notes, "get|John 3:16", 1, "", noNote},
      {notes, "delete|John 3:16", 1, "", noNote},
      {notes, "get|John 3", 2, "", "John 3 is not a valid reference\n"},
      {notes, "set|Johnny 3:16|text", 2, "", "Johnny 3:16 is not a valid reference\n"},
      {notes, "set|Psalms 23:1|The LORD is my shepherd", 0, "", ""},
      {notes, "set|Psalms 23:4|valley; shepherds nearby", 0, "", ""},
      {notes, "set|John 10:11|the good shepherd, again", 0, "", ""},
      {notes, "chapter|Psalms 23:6", 0, "1. The LORD is my shepherd\n4. valley; shepherds nearby\n",
       ""},
      {notes, "chapter|Psalms 24:1", 1, "", kAny},
      {notes, "search|shepherd", 0, "Psalms 23:1\nJohn 10:11\n", ""},
      {notes, "search|lord|is", 0, "Psalms 23:1\n", ""},
      {notes, "search|--case|lord", 1, "", kAny},
      {notes, "search|--case|LORD", 0, "Psalms 23:1\n", ""},
      // vellum-import notes fills the store beside the module, whatever the data path.
      {[](const Args& a, std::ostream& o, std::ostream& e) {
         set_dpath("/nonexistent");
         return import::runNotesImport(a, o, e);
       },
       "--bible|" + dir.file("kjv.bib") + "|" + in, 1,
       "imported 2 notes into kjv.vn; 1 problem(s) reported\n",
       "vellum-import: " + in + ": line 4: Genesis 99:1 is not a valid reference\n"},
      {notes, "delete|Ruth 1:1", 0, "", ""},
      {notes, "import|" + in, 1, "imported 2 notes into kjv.vn\n",
       "vellum-cli: " + in + ": line 4: Genesis 99:1 is not a valid reference\n"},
      {notes, "get|Ruth 1:1", 0, "last\n", ""},
      {notes, "import|" + dir.file("missing.txt"), 2, "", kAny},
      {importNotes, "--bible|" + dir.file("kjv.bib") + "|" + dir.file("none.txt"), 2, "", kAny},
      {importNotes, "--bible|" + dir.file("none.bib") + "|" + in, 2, "", kAny},
      {notes, "set|John 3:16", 2, "", kAny},
      {notes, "search|--case", 2, "", kAny},
      {[](const Args& a, std::ostream& o, std::ostream& e) {
         return cli::runNotes(a, "absent.bib", o, e);
       },
       "get|John 3:16", 2, "", kAny},
  });
  EXPECT_TRUE(fs::exists(dir.file("kjv.vn")));
}

TEST_F(StoreCommands, TopicsFollowTheTopicDialogsRules) {
  DictHandle* store = new_dict("topics.dic", "Topics", 241, 0);
  ASSERT_TRUE(writeTopic(store, "Foreign", {Reference{70, 1, 1}}));
  deinit_dict(store);
  const std::string noHope = "vellum-cli: there is no topic named Hope\n";
  run({
      {topics, "add|Faith|John 3:16|Genesis 1:1", 0,
       "John 3:16 has been added to Faith\nGenesis 1:1 has been added to Faith\n", ""},
      {topics, "add|faith|John 3:16", 0, "", ""},
      {topics, "show|Faith", 0, "Genesis 1:1\nJohn 3:16\n", ""},
      {topics, "show|Foreign", 0, "(not in this translation) book 71, 1:1\n", ""},
      {topics, "add|Faith", 1, "", "vellum-cli: There is already a topic named Faith\n"},
      {topics, "add|Hope", 0, "", ""},
      {topics, "add|Faith|Johnny 3:16", 2, "", "Johnny 3:16 is not a valid reference\n"},
      {topics, "remove|Faith|John 3:16|Ruth 1:1", 1, "", "vellum-cli: Ruth 1:1 is not in Faith\n"},
      {topics, "show|Faith", 0, "Genesis 1:1\n", ""},
      {topics, "rename|Faith|hope", 1, "", "vellum-cli: There is already a topic named hope\n"},
      {topics, "rename|Faith|Belief", 0, "", ""},
      {topics, "delete|Hope", 0, "", ""},
      {topics, "list", 0, "Belief\nForeign\n", ""},
      {topics, "show|Hope", 1, "", noHope},
      {topics, "remove|Hope|John 3:16", 1, "", noHope},
      {topics, "add|  ", 2, "", kAny},
      {topics, "add|" + std::string(40, 'x'), 2, "", kAny},
  });
}

TEST_F(StoreCommands, ChangesRefusedWhileAnotherProgramHoldsTheStoreSaySo) {
  deinit_dict(new_dict("topics.dic", "Topics", 241, 0));
  run({{notes, "set|Genesis 1:1|first", 0, "", ""}});
  setLockWait(std::chrono::milliseconds(50));
  {
    const test::ForeignLock topicsHeld(dir.file("topics.dic"), LockKind::exclusive);
    const test::ForeignLock notesHeld(dir.file("kjv.vn"), LockKind::exclusive);
    run({
        {topics, "add|Faith|John 3:16", 1, "",
         "vellum-cli: topics.dic is being changed by another program; try again.\n"},
        {notes, "set|John 3:16|text", 1, "",
         "vellum-cli: kjv.vn is being changed by another program; try again.\n"},
        {notes, "get|Genesis 1:1", 0, "first\n", ""},  // reads still answer
    });
  }
  setLockWait(std::chrono::milliseconds(5000));
  run({{topics, "show|Faith", 1, "", kAny}, {notes, "get|John 3:16", 1, "", kAny}});
}

}  // namespace
}  // namespace vellum
