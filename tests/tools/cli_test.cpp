// Covers vellum-cli: show a verse or chapter, Strong's numbers, options and error exits.
#include <gtest/gtest.h>
#include <sys/wait.h>

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <memory>
#include <sstream>
#include <string>

#include "tests/support/fixtures.h"

namespace vellum {
namespace {

namespace fs = std::filesystem;

std::string shellQuote(const std::string& s) {
  std::string quoted = "'";
  for (char c : s) quoted += (c == '\'') ? std::string("'\\''") : std::string(1, c);
  return quoted + "'";
}

struct RunResult {
  int exitCode = -1;
  std::string out;
  std::string err;
};

// Runs a program with the arguments (already quoted for the shell) and collects its output.
RunResult run(const std::string& program, const std::string& arguments,
              const test::TempDir& scratch) {
  const std::string errorFile = scratch.file("stderr.txt");
  // The user's and the shared XDG data directories are the scratch directory's own.
  const std::string command = "XDG_DATA_HOME=" + shellQuote(scratch.file("home")) +
                              " XDG_DATA_DIRS=" + shellQuote(scratch.file("shared")) + " " +
                              shellQuote(program) + " " + arguments + " 2>" +
                              shellQuote(errorFile);
  RunResult result;
  std::FILE* pipe = popen(command.c_str(), "r");
  if (!pipe) {
    ADD_FAILURE() << "cannot run " << command;
    return result;
  }
  char buffer[4096];
  std::size_t n = 0;
  while ((n = std::fread(buffer, 1, sizeof buffer, pipe)) > 0) result.out.append(buffer, n);
  const int status = pclose(pipe);
  result.exitCode = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
  std::ifstream in(errorFile);
  result.err.assign(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
  fs::remove(errorFile);
  return result;
}

// The chapter as the fixture's own VPL text gives it: "N text" lines joined by line feeds.
std::string fixtureChapter(const std::string& book, int chapter) {
  std::istringstream vpl(test::kjvVersificationVpl());
  const std::string prefix = book + "\t" + std::to_string(chapter) + "\t";
  std::string line, text;
  while (std::getline(vpl, line)) {
    if (!line.starts_with(prefix)) continue;
    const std::string rest = line.substr(prefix.size());
    const std::size_t tab = rest.find('\t');
    if (!text.empty()) text += '\n';
    text += rest.substr(0, tab) + " " + rest.substr(tab + 1);
  }
  return text;
}

constexpr const char* kJohn316 =
    "John 3:16 For God so loved the world, that he gave his only begotten Son, that whosoever "
    "believeth in him should not perish, but have everlasting life.\n";

class CliTest : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    data_ = std::make_unique<test::TempDir>();
    test::buildKjvFixture(data_->path());
    test::buildModule(data_->path(), "other.bib", "Other Version",
                      "Ruth\t1\t1\tNow it came to pass 3117 in the days.\n");
    std::ofstream(data_->file("broken.bib"), std::ios::binary) << "not a module";
  }
  static void TearDownTestSuite() { data_.reset(); }

  RunResult cli(const std::string& arguments) { return run(VELLUM_CLI_EXE, arguments, scratch_); }
  static std::string dataOption() { return "-d " + shellQuote(data_->path().string()); }

  static std::unique_ptr<test::TempDir> data_;
  test::TempDir scratch_;
};

std::unique_ptr<test::TempDir> CliTest::data_;

TEST_F(CliTest, ShowPrintsTheVerseWithItsReference) {
  for (const char* reference : {"'John 3:16'", "John 3:16", "'john 3.16'", "'  John   3 : 16 '"}) {
    SCOPED_TRACE(reference);
    const RunResult result = cli(dataOption() + " show " + reference);
    EXPECT_EQ(result.exitCode, 0) << result.err;
    EXPECT_EQ(result.out, kJohn316);
    EXPECT_EQ(result.err, "");
  }
  // Generated verses: Jude 1:25 is the fixture's last verse of Jude, 1 John reached as "1john".
  const RunResult jude = cli(dataOption() + " show 'Jude 1:25'");
  EXPECT_EQ(jude.exitCode, 0) << jude.err;
  EXPECT_TRUE(jude.out.starts_with("Jude 1:25 Jude saith ")) << jude.out;
  const RunResult firstJohn = cli(dataOption() + " show '1john 1:9'");
  EXPECT_TRUE(firstJohn.out.starts_with("1 John 1:9 John saith ")) << firstJohn.out;
}

TEST_F(CliTest, StrongsOptionKeepsTheNumbers) {
  EXPECT_EQ(cli(dataOption() + " show 'Genesis 1:1'").out,
            "Genesis 1:1 In the beginning God created the heaven and the earth.\n");
  EXPECT_EQ(cli(dataOption() + " show --strongs 'Genesis 1:1'").out,
            "Genesis 1:1 In the beginning 7225 God 430 created 1254 the heaven 8064 and 853 the "
            "earth. 776\n");
}

TEST_F(CliTest, ChapterOptionPrintsTheWholeChapter) {
  const RunResult jude = cli(dataOption() + " show --chapter 'Jude 1:3'");
  EXPECT_EQ(jude.exitCode, 0) << jude.err;
  EXPECT_EQ(jude.out, fixtureChapter("Jude", 1) + "\n");
  EXPECT_EQ(std::count(jude.out.begin(), jude.out.end(), '\n'), 25);

  const RunResult psalm = cli(dataOption() + " show --chapter 'Psalms 119:176'");
  EXPECT_EQ(psalm.out, fixtureChapter("Psalms", 119) + "\n");
  EXPECT_EQ(std::count(psalm.out.begin(), psalm.out.end(), '\n'), 176);

  const std::string genesis = fixtureChapter("Genesis", 1);
  EXPECT_EQ(cli(dataOption() + " show --chapter --strongs 'Genesis 1:2'").out, genesis + "\n");
  const RunResult plain = cli(dataOption() + " show --chapter 'Genesis 1:2'");
  EXPECT_TRUE(plain.out.starts_with("1 In the beginning God created the heaven and the earth.\n2 "))
      << plain.out.substr(0, 100);
}

TEST_F(CliTest, InvalidReferenceIsReportedWithExitTwo) {
  for (const char* reference : {"Jude 1:26", "Genesis 51:1", "John 3", "Hezekiah 1:1"}) {
    SCOPED_TRACE(reference);
    const RunResult result = cli(dataOption() + " show " + shellQuote(reference));
    EXPECT_EQ(result.exitCode, 2);
    EXPECT_EQ(result.out, "");
    EXPECT_EQ(result.err, std::string(reference) + " is not a valid reference\n");
  }
}

TEST_F(CliTest, DataPathAndModuleOptions) {
  test::TempDir empty;
  // Directories are searched in order: the empty one first, then the fixture's.
  const RunResult found =
      cli("-d " + shellQuote(empty.path().string()) + " " + dataOption() + " show 'John 3:16'");
  EXPECT_EQ(found.exitCode, 0) << found.err;
  EXPECT_EQ(found.out, kJohn316);

  const RunResult other = cli(dataOption() + " -b other.bib show --strongs 'Ruth 1:1'");
  EXPECT_EQ(other.exitCode, 0) << other.err;
  EXPECT_EQ(other.out, "Ruth 1:1 Now it came to pass 3117 in the days.\n");
}

TEST_F(CliTest, ModuleThatCannotBeOpenedNamesFileReasonAndPath) {
  const RunResult missing = cli(dataOption() + " -b missing.bib show 'John 3:16'");
  EXPECT_EQ(missing.exitCode, 2);
  EXPECT_EQ(missing.out, "");
  EXPECT_TRUE(missing.err.starts_with("vellum-cli: cannot open missing.bib: ")) << missing.err;
  EXPECT_NE(missing.err.find("(data path: " + data_->path().string() + ")\n"), std::string::npos)
      << missing.err;

  const RunResult broken = cli(dataOption() + " -b broken.bib show 'John 3:16'");
  EXPECT_EQ(broken.exitCode, 2);
  EXPECT_TRUE(broken.err.starts_with("vellum-cli: cannot open broken.bib: ")) << broken.err;

  // No -d: the current directory (the test's scratch directory holds no module), then the
  // user's and the shared data directories.
  const RunResult here = cli("show 'John 3:16'");
  EXPECT_EQ(here.exitCode, 2);
  EXPECT_TRUE(here.err.starts_with("vellum-cli: cannot open kjv.bib: ")) << here.err;
  const std::string path =
      ".;" + scratch_.file("home") + "/vellum;" + scratch_.file("shared") + "/vellum;";
  EXPECT_NE(here.err.find("(data path: " + path), std::string::npos) << here.err;
}

TEST_F(CliTest, UsageErrorsPrintTheUsageAndExitTwo) {
  for (const char* arguments :
       {"", "-d", "-b", "-x show John 3:16", "frobnicate", "show", "show --chapter",
        "show --verbose John 3:16", "-d 'a;b' show John 3:16"}) {
    SCOPED_TRACE(arguments);
    const RunResult result = cli(arguments);
    EXPECT_EQ(result.exitCode, 2);
    EXPECT_EQ(result.out, "");
    EXPECT_NE(result.err.find("usage: vellum-cli [-d DIR]... [-b FILE] COMMAND"), std::string::npos)
        << result.err;
  }
  const RunResult help = cli("--help");
  EXPECT_EQ(help.exitCode, 0);
  EXPECT_NE(help.out.find("show [--chapter] [--strongs] REFERENCE"), std::string::npos);
}

// The first commands of the README: build the sample, then show a verse from it.
TEST_F(CliTest, ReadmeQuickStartWorks) {
  const fs::path dataDir = scratch_.path() / "data";
  fs::create_directory(dataDir);
  const RunResult built =
      run(VELLUM_IMPORT_EXE,
          "bible --vpl " + shellQuote(std::string(VELLUM_SAMPLES_DIR) + "/kjv-sample.vpl") +
              " --name 'King James Version' " + shellQuote((dataDir / "kjv.bib").string()),
          scratch_);
  ASSERT_EQ(built.exitCode, 0) << built.err;
  const RunResult shown = cli("-d " + shellQuote(dataDir.string()) + " show 'John 3:16'");
  EXPECT_EQ(shown.exitCode, 0) << shown.err;
  EXPECT_EQ(shown.out, kJohn316);
}

}  // namespace
}  // namespace vellum
