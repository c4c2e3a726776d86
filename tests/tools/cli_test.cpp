// vellum-cli and vellum-import run as a user runs them: show, search, words and list with their
// data path and module options, and wrong command lines.
#include <gtest/gtest.h>

#include <algorithm>
#include <cctype>
#include <filesystem>
#include <memory>
#include <sstream>
#include <string>
#include <tuple>

#include "tests/support/fixtures.h"

namespace vellum {
namespace {

namespace fs = std::filesystem;

// The fixture's own text of a chapter ("N text" lines) or, given a verse, of the verse as show
// prints it ("Book C:V text").
std::string fixtureText(const std::string& book, int chapter, int verse = 0) {
  std::istringstream vpl(test::kjvVersificationVpl());
  std::string text;
  for (std::string b, c, v, words; std::getline(vpl, b, '\t') && std::getline(vpl, c, '\t') &&
                                   std::getline(vpl, v, '\t') && std::getline(vpl, words);) {
    if (b != book || c != std::to_string(chapter)) continue;
    if (verse == 0) text += v + " " + words + "\n";
    if (v == std::to_string(verse)) return book + " " + c + ":" + v + " " + words + "\n";
  }
  return text;
}

constexpr const char* kGenesis11 =
    "In the beginning 7225 God 430 created 1254 the heaven 8064 and 853 the earth. 776\n";
constexpr const char* kJohn316 =
    "John 3:16 For God so loved the world, that he gave his only begotten Son, that whosoever "
    "believeth in him should not perish, but have everlasting life.\n";
const std::string kKjv316 = "John 3:16 (King James Version)" + std::string(kJohn316 + 9);

// A second translation of two books whose chapters are longer than the fixture KJV's: its
// John 3 has 37 verses (the KJV 36) and its 3 John 1 has 15 (the KJV 14).
std::string shortVersion() {
  std::string text = "John\t1\t1\tShort John one.\nJohn\t2\t1\tShort John two.\n";
  for (int verse = 1; verse <= 37; ++verse)
    text += "John\t3\t" + std::to_string(verse) + "\tShort John three.\n";
  for (int verse = 1; verse <= 15; ++verse)
    text += "3 John\t1\t" + std::to_string(verse) + "\tShort letter.\n";
  return text;
}

class Cli : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    data_ = std::make_unique<test::TempDir>();
    test::buildKjvFixture(data_->path());
    test::buildModule(data_->path(), "other.bib", "Other Version",
                      "Ruth\t1\t1\tNow it came to pass 3117 in the days.\n");
    test::buildModule(data_->path(), "short.bib", "Short Version", shortVersion());
    test::writeFile(data_->file("broken.bib"), "not a module");
    fs::create_directory(data_->path() / "search");
    test::buildModule(data_->path() / "search", "kjv.bib", "Command Test",
                      "Genesis\t1\t1\tIn the beginning God created the heaven.\n"
                      "Genesis\t1\t2\tThe LORD, God of Israel, said Love is kind.\n"
                      "Genesis\t2\t1\tThey love to live; Robert came.\n"
                      "Exodus\t1\t1\tHate not, but love; Rupert seeth.\n");
  }
  static void TearDownTestSuite() { data_.reset(); }

  test::Ran cli(const std::string& arguments) {
    return test::runProgram(VELLUM_CLI_EXE, arguments, scratch_);
  }
  static std::string data() { return "-d " + test::shellQuote(data_->path().string()) + " "; }
  static std::string search() { return "-d " + test::shellQuote(data_->file("search")) + " "; }

  static inline std::unique_ptr<test::TempDir> data_;
  test::TempDir scratch_;
};

TEST_F(Cli, CommandsPrintWhatTheyFindAndSayWhyNot) {
  const std::string genesis1 = fixtureText("Genesis", 1);
  test::TempDir empty;
  // Each run: the arguments, the exit status, standard output, and what standard error holds
  // ("" for nothing at all).
  const std::tuple<std::string, int, std::string, std::string> runs[] = {
      {data() + "show 'John 3:16'", 0, kJohn316, ""},
      {data() + "show John 3:16", 0, kJohn316, ""},
      {data() + "show 'Jude 1:25'", 0, fixtureText("Jude", 1, 25), ""},
      {data() + "show 'Genesis 1:1'", 0,
       "Genesis 1:1 In the beginning God created the heaven and the earth.\n", ""},
      {data() + "show --strongs 'Genesis 1:1'", 0, "Genesis 1:1 " + std::string(kGenesis11), ""},
      {data() + "show --chapter 'Jude 1:3'", 0, fixtureText("Jude", 1), ""},
      {data() + "show --chapter 'Psalms 119:176'", 0, fixtureText("Psalms", 119), ""},
      {data() + "show --chapter --strongs 'Genesis 1:2'", 0, genesis1, ""},
      {data() + "show --chapter 'Genesis 1:2'", 0,
       "1 In the beginning God created the heaven and the earth." +
           genesis1.substr(genesis1.find('\n')),
       ""},
      {data() + "show 'Jude 1:26'", 2, "", "Jude 1:26 is not a valid reference\n"},
      // Directories are searched in order: the empty one first, then the fixture's.
      {"-d " + test::shellQuote(empty.path().string()) + " " + data() + "show 'John 3:16'", 0,
       kJohn316, ""},
      {data() + "-b other.bib show --strongs 'Ruth 1:1'", 0,
       "Ruth 1:1 Now it came to pass 3117 in the days.\n", ""},
      {data() + "-b missing.bib show 'John 3:16'", 2, "",
       "(data path: " + data_->path().string() + ")\n"},
      {data() + "-b broken.bib show 'John 3:16'", 2, "", "vellum-cli: cannot open broken.bib: "},
      // No -d: the current directory, then the user's and the shared data directories.
      {"show 'John 3:16'", 2, "",
       "(data path: .;" + scratch_.file("home") + "/vellum;" + scratch_.file("shared") +
           "/vellum;"},
      // Translations side by side: the first that holds the reference reads it; a book or
      // verse one lacks is named as the reading one names it.
      {data() + "show --parallel kjv.bib,short.bib 'John 3:16'", 0,
       kKjv316 + "John 3:16 (Short Version) Short John three.\n", ""},
      {data() + "show --parallel kjv.bib,short.bib '3 John 1:15'", 0,
       "3 John 1:15 (King James Version) (not in this translation)\n"
       "3 John 1:15 (Short Version) Short letter.\n",
       ""},
      {data() + "show --parallel kjv.bib,short.bib --strongs 'Genesis 1:1'", 0,
       "Genesis 1:1 (King James Version) " + std::string(kGenesis11) +
           "Genesis 1:1 (Short Version) (not in this translation)\n",
       ""},
      {data() + "show --parallel kjv.bib,missing.bib 'John 3:16'", 2, "",
       "vellum-cli: cannot open missing.bib"},
      {data() + "show --parallel short.bib,kjv.bib 'John 3:38'", 2, "",
       "John 3:38 is not a valid reference\n"},
      {search() + "search word love", 0, "Genesis 1:2\nGenesis 2:1\nExodus 1:1\n", ""},
      {search() + "search csword love", 0, "Genesis 2:1\nExodus 1:1\n", ""},
      {search() + "search phrase 'lord god'", 0, "Genesis 1:2\n", ""},
      {search() + "search phrase in the beginning", 0, "Genesis 1:1\n", ""},
      {search() + "search csphrase 'lord god'", 0, "", ""},
      {search() + "search expr '(love or hate) not god'", 0, "Genesis 2:1\nExodus 1:1\n", ""},
      {search() + "search wildcard 'l?ve'", 0, "Genesis 1:2\nGenesis 2:1\nExodus 1:1\n", ""},
      {search() + "search cswildcard 'L?ve'", 0, "Genesis 1:2\n", ""},
      {search() + "search soundex Robert", 0, "Genesis 2:1\nExodus 1:1\n", ""},
      {search() + "-b missing.bib search word love", 2, "", "vellum-cli: cannot open missing"},
      {search() + "words cswildcard 'l?ve'", 0, "live\nlove\n", ""},
      {search() + "words soundex Rupert", 0, "Robert\nRupert\n", ""},
      {search() + "list", 0, "kjv.bib\tCommand Test\n", ""},
      {data() + "lookup list absent.dic", 2, "", "vellum-cli: absent.dic: cannot open the store\n"},
  };
  for (const auto& [arguments, exitCode, out, errHas] : runs) {
    const test::Ran ran = cli(arguments);
    EXPECT_EQ(ran.exitCode, exitCode) << arguments << "\n" << ran.err;
    EXPECT_EQ(ran.out, out) << arguments;
    EXPECT_TRUE(errHas.empty() ? ran.err.empty() : ran.err.find(errHas) != std::string::npos)
        << arguments << ": " << ran.err;
  }
}

TEST_F(Cli, ParallelChapterRunsToTheLongestTranslation) {
  const test::Ran ran = cli(data() + "show --parallel short.bib,kjv.bib --chapter 'John 3:5'");
  EXPECT_EQ(ran.exitCode, 0) << ran.err;
  EXPECT_EQ(std::count(ran.out.begin(), ran.out.end(), '\n'), 74);
  EXPECT_TRUE(ran.out.starts_with("John 3:1 (Short Version) Short John three.\nJohn 3:1 (King"));
  EXPECT_NE(ran.out.find("John 3:16 (Short Version) Short John three.\n" + kKjv316),
            std::string::npos);
  EXPECT_TRUE(
      ran.out.ends_with("John 3:37 (Short Version) Short John three.\n"
                        "John 3:37 (King James Version) (not in this translation)\n"));
}

// A wrong command line names its fault and prints the usage, exit status 2; --help and --version
// answer on standard output. Each line: the arguments, " => ", the start of standard error after
// "PROGRAM: ".
TEST_F(Cli, UsageErrorsNameTheFaultAndPrintTheUsage) {
  const char* cliRuns = R"( => no command given
-d => -d needs a value
-b '' show x => -b needs a file name of 1 to 79 characters
-d 'a;b' show John 3:16 => -d needs a directory name without ';'
frobnicate => unknown command frobnicate
show --verbose John 3:16 => show: unknown option --verbose
show --parallel a.bib x => show: --parallel needs two or more file names separated by commas
show --parallel a.bib,,b.bib x => show: --parallel needs two or more file names
lookup dict x => lookup: dict needs STORE and WORD
lookup strongs => lookup strongs needs hebrew or greek and a NUMBER
search grep love => unknown search kind grep
search word => usage: vellum-cli search word|csword|phrase|csphrase|expr|wildcard|
list x => usage: vellum-cli list)";
  const char* importRuns = R"( => usage: vellum-import bible --vpl FILE
bible --vpl x --osis y --name T o.bib => bible needs one of --vpl, --osis or --sword
bible --vpl x.vpl --name T a.bib b.bib => more than one output file
bible --vpl x --books 65 --zip o.bib => --books takes 66 (the books of the Protestant canon)
bible --vpl x --books 66 --name T o.bib => --books and --no-strongs go with --osis or --sword
dict --csv c --json c --title t o.dic => dict needs one of --json or --csv
dict --json c --title t o.dic => --json needs --key FIELD and --value FIELD
dict --csv c --title t --table-size 16384 o.dic => --table-size must be a number from 1 to 16383
dict --csv c --title t --table-size 0 o.dic => --table-size must be a number from 1 to 16383
lexicon --hebrew h out.lex => lexicon needs --hebrew SRC and --greek SRC
check --books 66 k.bib => needs --sword MODULE
lexicon --sword-hebrew H o.lex => needs --sword-greek MODULE)";
  for (const auto& [program, runs] :
       {std::pair{VELLUM_CLI_EXE, cliRuns}, {VELLUM_IMPORT_EXE, importRuns}}) {
    const std::string name = fs::path(program).filename();
    std::istringstream lines(runs);
    for (std::string line; std::getline(lines, line);) {
      const std::size_t arrow = line.find(" => ");
      const std::string arguments = line.substr(0, arrow), problem = line.substr(arrow + 4);
      const test::Ran ran = test::runProgram(program, arguments, scratch_);
      EXPECT_EQ(ran.exitCode, 2) << line;
      EXPECT_EQ(ran.out, "") << line;
      const std::string said = problem.starts_with("usage: ") ? problem : name + ": " + problem;
      EXPECT_TRUE(ran.err.starts_with(said)) << line << "\n" << ran.err;
      EXPECT_NE(ran.err.find("usage: " + name + " "), std::string::npos) << line << "\n" << ran.err;
    }
    const test::Ran help = test::runProgram(program, "--help", scratch_);
    EXPECT_EQ(help.exitCode, 0);
    EXPECT_TRUE(help.out.starts_with("usage: " + name + " ")) << help.out;
    const std::string version = test::runProgram(program, "--version", scratch_).out;
    EXPECT_TRUE(version.starts_with(name + " ") && std::isdigit(version[name.size() + 1]))
        << version;
  }
}

}  // namespace
}  // namespace vellum
