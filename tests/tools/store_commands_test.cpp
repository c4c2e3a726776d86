// The importer's lexicon and notes commands and vellum-cli's "lookup strongs", "notes" and
// "topics".
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "engine/stores/dict.h"
#include "engine/stores/topics.h"
#include "support/files.h"
#include "tests/support/fixtures.h"
#include "tools/import/store_import.h"
// The command-line tool's sources build its executable, not a library: the commands under test
// are compiled into this test directly.
#include "tools/cli/store_commands.h"

namespace vellum {
namespace {

namespace fs = std::filesystem;
using Args = std::vector<std::string>;

void writeText(const std::string& path, const std::string& text) {
  std::ofstream(path, std::ios::binary | std::ios::trunc) << text;
}

struct Result {
  int status = -1;
  std::string out, err;
};

template <typename Run>
Result capture(Run run) {
  std::ostringstream out, err;
  Result result;
  result.status = run(out, err);
  result.out = out.str();
  result.err = err.str();
  return result;
}

class StoreCommandsTest : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    shared = new test::TempDir;  // the 66-book fixture is built once for the suite
    test::buildKjvFixture(shared->path());
  }
  static void TearDownTestSuite() {
    delete shared;
    shared = nullptr;
  }
  void SetUp() override {
    fs::copy_file(shared->file("kjv.bib"), dir.file("kjv.bib"));
    set_dpath(dir.path().c_str());
  }
  Result notes(const Args& args) {
    set_dpath(dir.path().c_str());
    return capture(
        [&](std::ostream& o, std::ostream& e) { return cli::runNotes(args, "kjv.bib", o, e); });
  }
  Result topics(const Args& args) {
    set_dpath(dir.path().c_str());
    return capture(
        [&](std::ostream& o, std::ostream& e) { return cli::runTopics(args, "kjv.bib", o, e); });
  }
  Result lookup(const Args& args) {
    set_dpath(dir.path().c_str());
    return capture(
        [&](std::ostream& o, std::ostream& e) { return cli::runLookupStrongs(args, o, e); });
  }
  Result importLexicon(const Args& args) {
    return capture(
        [&](std::ostream& o, std::ostream& e) { return import::runLexiconImport(args, o, e); });
  }
  Result importNotes(const Args& args) {
    return capture(
        [&](std::ostream& o, std::ostream& e) { return import::runNotesImport(args, o, e); });
  }
  void buildLexicon() {
    writeText(dir.file("hebrew.txt"), "H1\nfather\nH7225\nbeginning\nfirst\n");
    writeText(dir.file("greek.txt"), "G25\nto love\n");
    ASSERT_EQ(importLexicon({"--hebrew", dir.file("hebrew.txt"), "--greek", dir.file("greek.txt"),
                             dir.file("lexicon.lex")})
                  .status,
              0);
  }

  static test::TempDir* shared;
  test::TempDir dir;
};
test::TempDir* StoreCommandsTest::shared = nullptr;

// --- vellum-import lexicon ---

TEST_F(StoreCommandsTest, LexiconImportWritesBothTables) {
  writeText(dir.file("hebrew.txt"), "H1\nfather\nH7225\nbeginning\n");
  writeText(dir.file("greek.txt"), "1\nAlpha\n");
  const Result r = importLexicon(
      {"--hebrew", dir.file("hebrew.txt"), "--greek", dir.file("greek.txt"), dir.file("out.lex")});
  EXPECT_EQ(r.status, 0) << r.err;
  EXPECT_NE(r.out.find("Hebrew 1 to 7225 (2 entries)"), std::string::npos) << r.out;
  EXPECT_TRUE(fs::exists(dir.file("out.lex")));
}

TEST_F(StoreCommandsTest, LexiconImportRefusesADuplicateNamingFileAndLine) {
  writeText(dir.file("hebrew.txt"), "H1\na\n");
  writeText(dir.file("greek.txt"), "G1\na\nG2\nb\nG2\nc\n");
  const Result r = importLexicon(
      {"--hebrew", dir.file("hebrew.txt"), "--greek", dir.file("greek.txt"), dir.file("out.lex")});
  EXPECT_EQ(r.status, 1);
  EXPECT_NE(r.err.find("greek.txt: line 5: number 2 repeats line 3"), std::string::npos) << r.err;
  EXPECT_FALSE(fs::exists(dir.file("out.lex")));
}

TEST_F(StoreCommandsTest, LexiconImportUsageErrors) {
  EXPECT_EQ(importLexicon({"--hebrew", "h.txt", "out.lex"}).status, 2);
  EXPECT_EQ(importLexicon({"--hebrew", "h.txt", "--greek", "g.txt"}).status, 2);
  EXPECT_EQ(importLexicon({"--hebrew", "h.txt", "--greek", "g.txt", "a", "b"}).status, 2);
  EXPECT_EQ(importLexicon({"--bogus"}).status, 2);
  const Result missing = importLexicon(
      {"--hebrew", dir.file("none.txt"), "--greek", dir.file("none.txt"), dir.file("out.lex")});
  EXPECT_EQ(missing.status, 2);
  EXPECT_NE(missing.err.find("cannot open"), std::string::npos);
}

// --- vellum-cli lookup strongs ---

TEST_F(StoreCommandsTest, LookupStrongsPrintsTheDefinitionWithLineFeeds) {
  buildLexicon();
  Result r = lookup({"hebrew", "7225"});
  EXPECT_EQ(r.status, 0) << r.err;
  EXPECT_EQ(r.out, "beginning\nfirst\n");
  r = lookup({"greek", "G25"});
  EXPECT_EQ(r.out, "to love\n");
  r = lookup({"hebrew", "h1"});
  EXPECT_EQ(r.out, "father\n");
}

TEST_F(StoreCommandsTest, LookupStrongsNotFoundAndBadArguments) {
  buildLexicon();
  Result r = lookup({"greek", "26"});
  EXPECT_EQ(r.status, 1);
  EXPECT_EQ(r.err, "vellum-cli: no Greek entry 26\n");
  EXPECT_EQ(lookup({"hebrew", "0"}).status, 1);
  EXPECT_EQ(lookup({"hebrew", "G25"}).status, 2);
  EXPECT_EQ(lookup({"hebrew", "70000"}).status, 2);
  EXPECT_EQ(lookup({"aramaic", "1"}).status, 2);
  EXPECT_EQ(lookup({"hebrew"}).status, 2);
  fs::remove(dir.file("lexicon.lex"));
  r = lookup({"hebrew", "1"});
  EXPECT_EQ(r.status, 2);
  EXPECT_NE(r.err.find("lexicon.lex"), std::string::npos);
}

// --- vellum-cli notes ---

TEST_F(StoreCommandsTest, NotesSetGetAndDelete) {
  Result r = notes({"set", "John", "3:16", "God", "so", "loved"});
  EXPECT_EQ(r.status, 0) << r.err;
  r = notes({"get", "john 3:16"});
  EXPECT_EQ(r.status, 0);
  EXPECT_EQ(r.out, "God so loved\n");
  EXPECT_EQ(notes({"set", "1 John 1:9", "confess"}).status, 0);
  EXPECT_EQ(notes({"get", "1", "John", "1:9"}).out, "confess\n");
  EXPECT_EQ(notes({"delete", "John 3:16"}).status, 0);
  r = notes({"get", "John 3:16"});
  EXPECT_EQ(r.status, 1);
  EXPECT_EQ(r.err, "vellum-cli: John 3:16 has no note\n");
  EXPECT_EQ(notes({"delete", "John 3:16"}).status, 1);
  EXPECT_TRUE(fs::exists(dir.file("kjv.vn")));
}

TEST_F(StoreCommandsTest, NotesRefuseInvalidReferences) {
  for (const Args& args : {Args{"get", "John 3"}, Args{"delete", "Jude 1:26"},
                           Args{"chapter", "Genesis 51:1"}, Args{"set", "Johnny 3:16", "text"}}) {
    const Result r = notes(args);
    EXPECT_EQ(r.status, 2) << args[1];
    EXPECT_EQ(r.err, args[1] + " is not a valid reference\n");
  }
  EXPECT_EQ(notes({"get", "Genesis 1:1"}).status, 1) << "nothing was set at Genesis 1:1";
}

TEST_F(StoreCommandsTest, NotesChapterAndSearch) {
  ASSERT_EQ(notes({"set", "Psalms 23:1", "The LORD is my shepherd"}).status, 0);
  ASSERT_EQ(notes({"set", "Psalms 23:4", "valley; shepherds nearby"}).status, 0);
  ASSERT_EQ(notes({"set", "John 10:11", "the good shepherd, again"}).status, 0);
  Result r = notes({"chapter", "Psalms 23:6"});
  EXPECT_EQ(r.status, 0);
  EXPECT_EQ(r.out, "1. The LORD is my shepherd\n4. valley; shepherds nearby\n");
  r = notes({"search", "shepherd"});
  EXPECT_EQ(r.status, 0);
  EXPECT_EQ(r.out, "Psalms 23:1\nJohn 10:11\n");
  EXPECT_EQ(notes({"search", "lord", "is"}).out, "Psalms 23:1\n");
  EXPECT_EQ(notes({"search", "--case", "lord"}).status, 1);
  EXPECT_EQ(notes({"search", "--case", "LORD"}).out, "Psalms 23:1\n");
  EXPECT_EQ(notes({"chapter", "Psalms 24:1"}).status, 1);
}

TEST_F(StoreCommandsTest, NotesImportReportsSkippedEntries) {
  writeText(dir.file("in.txt"), "Genesis 1:1\nfirst\n\nGenesis 99:1\nbad\n\nRuth 1:1\nlast");
  Result r = notes({"import", dir.file("in.txt")});
  EXPECT_EQ(r.status, 1);
  EXPECT_EQ(r.out, "imported 2 notes into kjv.vn\n");
  EXPECT_NE(r.err.find("line 4: Genesis 99:1 is not a valid reference"), std::string::npos)
      << r.err;
  EXPECT_EQ(notes({"get", "Ruth 1:1"}).out, "last\n");
  EXPECT_EQ(notes({"import", dir.file("missing.txt")}).status, 2);
}

TEST_F(StoreCommandsTest, NotesUsageErrors) {
  EXPECT_EQ(notes({}).status, 2);
  EXPECT_EQ(notes({"frobnicate", "John 3:16"}).status, 2);
  EXPECT_EQ(notes({"get"}).status, 2);
  EXPECT_EQ(notes({"set", "John 3:16"}).status, 2);
  EXPECT_EQ(notes({"search", "--case"}).status, 2);
  const Result r = capture([](std::ostream& o, std::ostream& e) {
    return cli::runNotes({"get", "John 3:16"}, "absent.bib", o, e);
  });
  EXPECT_EQ(r.status, 2);
  EXPECT_NE(r.err.find("cannot open absent.bib"), std::string::npos);
}

// --- vellum-cli topics ---

TEST_F(StoreCommandsTest, TopicsFollowTheTopicDialogsRules) {
  DictHandle* store = new_dict("topics.dic", "Topics", 241, 0);
  ASSERT_TRUE(writeTopic(store, "Foreign", {Reference{70, 1, 1}}));
  deinit_dict(store);
  const struct {
    Args args;
    int status;
    std::string out, err;  // err is not compared for usage errors given with none
  } cases[] = {
      {{"add", "Faith", "John 3:16", "Genesis 1:1"},
       0,
       "John 3:16 has been added to Faith\nGenesis 1:1 has been added to Faith\n",
       ""},
      {{"add", "faith", "John 3:16"}, 0, "", ""},
      {{"show", "Faith"}, 0, "Genesis 1:1\nJohn 3:16\n", ""},
      {{"show", "Foreign"}, 0, "(not in this translation) book 71, 1:1\n", ""},
      {{"add", "Faith"}, 1, "", "vellum-cli: There is already a topic named Faith\n"},
      {{"add", "Hope"}, 0, "", ""},
      {{"add", "Faith", "Johnny 3:16"}, 2, "", "Johnny 3:16 is not a valid reference\n"},
      {{"remove", "Faith", "John 3:16", "Ruth 1:1"},
       1,
       "",
       "vellum-cli: Ruth 1:1 is not in Faith\n"},
      {{"show", "Faith"}, 0, "Genesis 1:1\n", ""},
      {{"rename", "Faith", "hope"}, 1, "", "vellum-cli: There is already a topic named hope\n"},
      {{"rename", "Faith", "Belief"}, 0, "", ""},
      {{"delete", "Hope"}, 0, "", ""},
      {{"list"}, 0, "Belief\nForeign\n", ""},
      {{"show", "Hope"}, 1, "", "vellum-cli: there is no topic named Hope\n"},
      {{"remove", "Hope", "John 3:16"}, 1, "", "vellum-cli: there is no topic named Hope\n"},
      {{"add", "  "}, 2, "", ""},
      {{"add", std::string(40, 'x')}, 2, "", ""},
      {{"rename", "Belief"}, 2, "", ""},
      {{"frobnicate"}, 2, "", ""},
  };
  for (const auto& c : cases) {
    const Result r = topics(c.args);
    SCOPED_TRACE(c.args[0] + " " + (c.args.size() > 1 ? c.args[1] : ""));
    EXPECT_EQ(r.status, c.status) << r.err;
    EXPECT_EQ(r.out, c.out);
    if (c.status != 2 || !c.err.empty()) {
      EXPECT_EQ(r.err, c.err);
    }
  }
}

TEST_F(StoreCommandsTest, ChangesRefusedWhileAnotherProgramHoldsTheStoreSaySo) {
  deinit_dict(new_dict("topics.dic", "Topics", 241, 0));
  ASSERT_EQ(notes({"set", "Genesis 1:1", "first"}).status, 0);
  setLockWait(std::chrono::milliseconds(50));
  {
    const test::ForeignLock topicsHeld(dir.file("topics.dic"), LockKind::exclusive);
    const test::ForeignLock notesHeld(dir.file("kjv.vn"), LockKind::exclusive);
    Result r = topics({"add", "Faith", "John 3:16"});
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.err, "vellum-cli: topics.dic is being changed by another program; try again.\n");
    r = notes({"set", "John 3:16", "text"});
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.err, "vellum-cli: kjv.vn is being changed by another program; try again.\n");
    EXPECT_EQ(notes({"get", "Genesis 1:1"}).out, "first\n");  // reads still answer
  }
  setLockWait(std::chrono::milliseconds(5000));
  EXPECT_EQ(topics({"show", "Faith"}).status, 1);
  EXPECT_EQ(notes({"get", "John 3:16"}).status, 1);
}

// --- vellum-import notes ---

TEST_F(StoreCommandsTest, NotesImportToolFillsTheStoreBesideTheModule) {
  writeText(dir.file("in.txt"), "John 3:16\nloved\n\nNotABook 1:1\nx\n\nRevelation 22:21\namen\n");
  set_dpath("/nonexistent");
  const Result r = importNotes({"--bible", dir.file("kjv.bib"), dir.file("in.txt")});
  EXPECT_EQ(r.status, 1);
  EXPECT_NE(r.out.find("imported 2 notes into kjv.vn"), std::string::npos) << r.out;
  EXPECT_NE(r.err.find("in.txt: line 4: NotABook 1:1 is not a valid reference"), std::string::npos)
      << r.err;
  EXPECT_EQ(notes({"get", "Revelation 22:21"}).out, "amen\n");
}

TEST_F(StoreCommandsTest, NotesImportToolUsageErrors) {
  writeText(dir.file("in.txt"), "John 3:16\nloved\n");
  EXPECT_EQ(importNotes({dir.file("in.txt")}).status, 2);
  EXPECT_EQ(importNotes({"--bible", dir.file("kjv.bib")}).status, 2);
  EXPECT_EQ(importNotes({"--bible", dir.file("kjv.bib"), dir.file("none.txt")}).status, 2);
  EXPECT_EQ(importNotes({"--bible", dir.file("none.bib"), dir.file("in.txt")}).status, 2);
  const Result r = importNotes({"--bible", dir.file("kjv.bib"), dir.file("in.txt")});
  EXPECT_EQ(r.status, 0) << r.err;
}

}  // namespace
}  // namespace vellum
