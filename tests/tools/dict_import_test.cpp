// Building dictionary stores from JSON and CSV, and looking them up from the command line.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <sstream>
#include <string>
#include <vector>

#include "engine/stores/dict.h"
#include "engine/stores/dict_format.h"
#include "support/files.h"
#include "tests/support/fixtures.h"
#include "tools/cli/lookup_dict.h"
#include "tools/import/dict_import.h"

namespace vellum {
namespace {

using test::TempDir;

const std::string kSharedData = VELLUM_TEST_DATA_DIR "/../../../shared/data/";

void writeFile(const std::string& path, const std::string& bytes) {
  std::ofstream(path, std::ios::binary | std::ios::trunc) << bytes;
}

struct Outcome {
  int status = -1;
  std::string out, err;
};

Outcome importDict(const std::vector<std::string>& args) {
  std::ostringstream out, err;
  Outcome run;
  run.status = runDictImport(args, out, err);
  run.out = out.str();
  run.err = err.str();
  return run;
}

Outcome lookup(const std::vector<std::string>& args) {
  std::ostringstream out, err;
  Outcome run;
  run.status = runLookupDict(args, out, err);
  run.out = out.str();
  run.err = err.str();
  return run;
}

class DictImportTest : public ::testing::Test {
 protected:
  void SetUp() override { set_dpath(dir.path().string().c_str()); }
  void TearDown() override { set_dpath("."); }
  TempDir dir;
};

// ---- The whole Easton's and Hitchcock's dictionaries ----

TEST_F(DictImportTest, EastonsAnswersAbrahamsWithTheArticleOnAbraham) {
  const Outcome built = importDict({"--json", kSharedData + "eastons.json", "--key", "mot", "--value",
                                "definition", "--title", "Easton's Bible Dictionary",
                                dir.file("eastons.dic")});
  ASSERT_EQ(built.status, 0) << built.err;
  // Two headwords appear twice (Kadesh, Salmon): reported, the later one kept.
  EXPECT_NE(built.err.find("\"Kadesh\" replaces line"), std::string::npos) << built.err;
  EXPECT_NE(built.out.find("3961 items"), std::string::npos) << built.out;
  // The data path is left as the caller set it.
  EXPECT_EQ(get_dpath(), dir.path().string());

  const Outcome found = lookup({"dict", "eastons.dic", "Abraham's"});
  ASSERT_EQ(found.status, 0) << found.err;
  EXPECT_TRUE(found.out.starts_with("Abraham\nFather of a multitude, son of Terah")) << found.out;
  EXPECT_EQ(found.out.find('\r'), std::string::npos);  // line feeds for the terminal
  EXPECT_NE(found.out.find("\n\nAbram now, with a large household"), std::string::npos);

  const Outcome phrase = lookup({"dict", "eastons.dic", "abraham's", "bosom"});
  ASSERT_EQ(phrase.status, 0);
  EXPECT_TRUE(phrase.out.starts_with("abraham's bosom\n")) << phrase.out;

  const Outcome missing = lookup({"dict", "eastons.dic", "Xyzzy"});
  EXPECT_EQ(missing.status, 1);
  EXPECT_TRUE(missing.out.empty());

  const Outcome list = lookup({"list", "eastons.dic"});
  ASSERT_EQ(list.status, 0);
  EXPECT_EQ(std::count(list.out.begin(), list.out.end(), '\n'), 3961);
  EXPECT_TRUE(list.out.starts_with("A\nAaron\nAaronites\n")) << list.out.substr(0, 40);
  EXPECT_NE(list.out.find("\nAbraham\nAbraham's bosom\nAbram\n"), std::string::npos);
  // No temporary file is left beside the store.
  int files = 0;
  for ([[maybe_unused]] const auto& entry : std::filesystem::directory_iterator(dir.path())) ++files;
  EXPECT_EQ(files, 1);
}

TEST_F(DictImportTest, HitchcockCsvWithByteOrderMarkBuildsACompressedStore) {
  const Outcome built = importDict({"--csv", kSharedData + "hitchcock.csv", "--title",
                                "Hitchcock's Bible Names", "--compress", dir.file("hitchck.dic")});
  ASSERT_EQ(built.status, 0) << built.err;
  const Outcome found = lookup({"dict", "hitchck.dic", "Aaron"});
  ASSERT_EQ(found.status, 0);
  EXPECT_EQ(found.out, "Aaron\na teacher; lofty; mountain of strength\n");
  const Outcome list = lookup({"list", "hitchck.dic"});
  EXPECT_TRUE(list.out.starts_with("Aaron\n")) << list.out.substr(0, 40);  // no mark in the name
  DictHandle* store = open_dict("hitchck.dic");
  ASSERT_NE(store, nullptr);
  std::ifstream in(dir.file("hitchck.dic"), std::ios::binary);
  std::vector<std::uint8_t> head(146);
  in.read(reinterpret_cast<char*>(head.data()), 146);
  dict::Header header;
  ASSERT_TRUE(header.decode(head));
  EXPECT_EQ(header.compressed, 1u);
  EXPECT_STREQ(header.title.data(), "Hitchcock's Bible Names");
  deinit_dict(store);
}

// ---- JSON ----

TEST_F(DictImportTest, JsonEscapesBecomeUtf8AndBadRowsAreReportedByLine) {
  writeFile(dir.file("in.json"),
            "[\n"
            "  {\"k\": \"caf\\u00e9\", \"v\": \"line one\\r\\nline two \\ud83d\\ude00\"},\n"
            "  {\"k\": \"quote\", \"v\": \"say \\\"hi\\\" \\\\ \\/\"},\n"
            "  {\"k\": 12, \"v\": \"number key\"},\n"
            "  {\"v\": \"no key\"},\n"
            "  {\"k\": \"   \", \"v\": \"blank\"},\n"
            "  {\"k\": \"lone\", \"v\": \"\\ud800 half\"},\n"
            "  {\"k\": \"nul\", \"v\": \"a\\u0000b\"},\n"
            "  {\"k\": \"QUOTE\", \"v\": \"replaced\", \"extra\": null}\n"
            "]\n");
  const Outcome built = importDict({"--json", dir.file("in.json"), "--key", "k", "--value", "v",
                                "--title", "t", dir.file("out.dic")});
  ASSERT_EQ(built.status, 0) << built.err;
  for (const char* expected : {"line 4: skipped", "line 5: skipped", "line 6: skipped",
                               "line 7: skipped", "line 8: skipped", "line 9: \"QUOTE\" replaces line 3"})
    EXPECT_NE(built.err.find(expected), std::string::npos) << expected << "\n" << built.err;
  const Outcome cafe = lookup({"dict", "out.dic", "caf\xC3\xA9"});
  ASSERT_EQ(cafe.status, 0) << cafe.err;
  EXPECT_EQ(cafe.out, "caf\xC3\xA9\nline one\nline two \xF0\x9F\x98\x80\n");
  EXPECT_EQ(lookup({"dict", "out.dic", "quote"}).out, "quote\nreplaced\n");
  EXPECT_EQ(lookup({"list", "out.dic"}).out, "caf\xC3\xA9\nQUOTE\n");
}

TEST_F(DictImportTest, JsonSyntaxErrorsRefuseTheBuildAndLeaveNoFile) {
  for (const char* text : {"", "{}", "[{\"k\": \"a\", \"v\": \"b\"}", "[{\"k\": \"a\" \"v\": \"b\"}]",
                           "[{\"k\": \"a\", \"v\": \"b\"}] x", "[{\"k\": \"a\nb\", \"v\": \"c\"}]",
                           "[{\"k\": \"\\x\", \"v\": \"c\"}]", "[{\"k\": \"\\u12\", \"v\": \"c\"}]",
                           "[{\"k\": [1], \"v\": \"c\"}]"}) {
    writeFile(dir.file("bad.json"), text);
    const Outcome built = importDict({"--json", dir.file("bad.json"), "--key", "k", "--value", "v",
                                  "--title", "t", dir.file("out.dic")});
    EXPECT_EQ(built.status, 1) << text;
    EXPECT_NE(built.err.find("line "), std::string::npos) << text;
    EXPECT_FALSE(std::filesystem::exists(dir.file("out.dic"))) << text;
  }
}

// ---- CSV ----

TEST_F(DictImportTest, CsvQuotedFieldsDoubledQuotesAndBadRows) {
  writeFile(dir.file("in.csv"),
            "Name,Meaning\r\n"
            "Plain,simple text\r\n"
            "\"Quoted, name\",\"she said \"\"yes\"\"\"\r\n"
            "Multi,\"first\r\nsecond\"\r\n"
            "Three,columns,here\r\n"
            "\r\n"
            "OnlyOne\r\n"
            "Last,no line end");
  const Outcome built = importDict({"--csv", dir.file("in.csv"), "--title", "t", "--table-size", "5",
                                dir.file("out.dic")});
  ASSERT_EQ(built.status, 0) << built.err;
  EXPECT_NE(built.err.find("line 6: skipped: expected 2 columns, found 3"), std::string::npos)
      << built.err;
  EXPECT_NE(built.err.find("line 8: skipped: expected 2 columns, found 1"), std::string::npos)
      << built.err;
  EXPECT_EQ(lookup({"dict", "out.dic", "Quoted, name"}).out, "Quoted, name\nshe said \"yes\"\n");
  EXPECT_EQ(lookup({"dict", "out.dic", "multi"}).out, "multi\nfirst\nsecond\n");
  EXPECT_EQ(lookup({"dict", "out.dic", "Last"}).out, "Last\nno line end\n");
  EXPECT_EQ(lookup({"list", "out.dic"}).out, "Last\nMulti\nPlain\nQuoted, name\n");
}

TEST_F(DictImportTest, UnclosedQuoteRefusesTheBuild) {
  writeFile(dir.file("in.csv"), "Name,Meaning\nA,\"never closed\n");
  const Outcome built = importDict({"--csv", dir.file("in.csv"), "--title", "t", dir.file("o.dic")});
  EXPECT_EQ(built.status, 1);
  EXPECT_NE(built.err.find("line 2"), std::string::npos) << built.err;
  EXPECT_FALSE(std::filesystem::exists(dir.file("o.dic")));
}

// ---- Command lines ----

TEST_F(DictImportTest, UsageErrorsExitWithTwo) {
  writeFile(dir.file("in.csv"), "Name,Meaning\nA,b\n");
  const std::string csv = dir.file("in.csv");
  const std::string out = dir.file("o.dic");
  const std::vector<std::vector<std::string>> wrong = {
      {},
      {"--csv", csv, out},                                              // no title
      {"--csv", csv, "--title", "t"},                                   // no output
      {"--csv", csv, "--json", csv, "--title", "t", out},               // two sources
      {"--json", csv, "--title", "t", out},                             // no --key/--value
      {"--csv", csv, "--title", "t", "--table-size", "16384", out},     // beyond the format
      {"--csv", csv, "--title", "t", "--table-size", "0", out},
      {"--csv", csv, "--title", "t", "--bogus", out},
      {"--csv", csv, "--title"},
  };
  for (const auto& args : wrong) EXPECT_EQ(importDict(args).status, 2);
  EXPECT_FALSE(std::filesystem::exists(out));
  EXPECT_EQ(importDict({"--csv", dir.file("absent.csv"), "--title", "t", out}).status, 1);
  EXPECT_EQ(lookup({}).status, 2);
  EXPECT_EQ(lookup({"dict", "x.dic"}).status, 2);
  EXPECT_EQ(lookup({"list"}).status, 2);
  EXPECT_EQ(lookup({"what", "x.dic"}).status, 2);
  EXPECT_EQ(lookup({"list", "absent.dic"}).status, 2);
}

TEST_F(DictImportTest, RebuildReplacesAnExistingStore) {
  writeFile(dir.file("in.csv"), "Name,Meaning\nA,first\n");
  ASSERT_EQ(importDict({"--csv", dir.file("in.csv"), "--title", "t", dir.file("o.dic")}).status, 0);
  writeFile(dir.file("in.csv"), "Name,Meaning\nB,second\n");
  ASSERT_EQ(importDict({"--csv", dir.file("in.csv"), "--title", "t", dir.file("o.dic")}).status, 0);
  EXPECT_EQ(lookup({"list", "o.dic"}).out, "B\n");
  // A failed rebuild leaves the store as it was.
  writeFile(dir.file("in.csv"), "Name,Meaning\nC,\"open\n");
  EXPECT_EQ(importDict({"--csv", dir.file("in.csv"), "--title", "t", dir.file("o.dic")}).status, 1);
  EXPECT_EQ(lookup({"list", "o.dic"}).out, "B\n");
}

}  // namespace
}  // namespace vellum
