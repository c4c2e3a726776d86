// Dictionary stores built from JSON and CSV, and looked up with vellum-cli.
#include "tools/import/dict_import.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

#include "engine/stores/dict_format.h"
#include "support/files.h"
#include "tests/support/fixtures.h"
#include "tools/cli/lookup_dict.h"

namespace vellum {
namespace {

namespace fs = std::filesystem;
using Args = std::vector<std::string>;

class DictImport : public ::testing::Test {
 protected:
  void SetUp() override { set_dpath(dir.path().c_str()); }
  void TearDown() override { set_dpath("."); }
  // Builds out.dic from the source text with the options (before the output's name).
  test::Ran build(const std::string& source, Args options) {
    test::writeFile(dir.file("in"), source);
    options.insert(options.begin() + 1, dir.file("in"));
    options.push_back(dir.file("out.dic"));
    return test::runCommand([&](auto& out, auto& err) { return runDictImport(options, out, err); });
  }
  std::string lookup(const Args& args, int exitCode = 0) {
    const test::Ran ran =
        test::runCommand([&](auto& out, auto& err) { return runLookupDict(args, out, err); });
    EXPECT_EQ(ran.exitCode, exitCode) << ran.err;
    return ran.out;
  }
  test::TempDir dir;
};

TEST_F(DictImport, JsonEscapesBecomeUtf8AndBadRowsAreReportedByLine) {
  const test::Ran built = build(
      "[\n"
      "  {\"k\": \"caf\\u00e9\", \"v\": \"line one\\r\\nline two \\ud83d\\ude00\"},\n"
      "  {\"k\": \"quote\", \"v\": \"say \\\"hi\\\" \\\\ \\/\"},\n"
      "  {\"k\": 12, \"v\": \"number key\"},\n"
      "  {\"v\": \"no key\"},\n"
      "  {\"k\": \"   \", \"v\": \"blank\"},\n"
      "  {\"k\": \"lone\", \"v\": \"\\ud800 half\"},\n"
      "  {\"k\": \"nul\", \"v\": \"a\\u0000b\"},\n"
      "  {\"k\": \"QUOTE\", \"v\": \"replaced\", \"extra\": null},\n"
      "  {\"k\": \"Abraham\", \"v\": \"Father of a multitude\"}\n"
      "]\n",
      {"--json", "--key", "k", "--value", "v", "--title", "t"});
  ASSERT_EQ(built.exitCode, 0) << built.err;
  for (const char* expected : {"line 4: skipped", "line 5: skipped", "line 6: skipped",
                               "line 7: skipped", "line 8: skipped", "line 9: \"QUOTE\" replaces"})
    EXPECT_NE(built.err.find(expected), std::string::npos) << expected << "\n" << built.err;
  EXPECT_EQ(get_dpath(), dir.path().string()) << "the data path is left as the caller set it";
  EXPECT_EQ(std::distance(fs::directory_iterator(dir.path()), {}), 2)
      << "no temporary file is left beside the store";
  EXPECT_EQ(lookup({"dict", "out.dic", "caf\xC3\xA9"}),
            "caf\xC3\xA9\nline one\nline two \xF0\x9F\x98\x80\n");
  EXPECT_EQ(lookup({"dict", "out.dic", "quote"}), "quote\nreplaced\n");
  // A plural or possessive finds its word, as the reader's dictionary window does.
  EXPECT_EQ(lookup({"dict", "out.dic", "Abraham's"}), "Abraham\nFather of a multitude\n");
  EXPECT_EQ(lookup({"dict", "out.dic", "Xyzzy"}, 1), "");
  EXPECT_EQ(lookup({"list", "out.dic"}), "Abraham\ncaf\xC3\xA9\nQUOTE\n");
}

TEST_F(DictImport, SyntaxErrorsRefuseTheBuildNamingTheLineAndLeaveNoFile) {
  const Args json = {"--json", "--key", "k", "--value", "v", "--title", "t"};
  const char* const csv = "Name,Meaning\nA,\"never closed\n";
  for (const char* source : {"", "{}", R"([{"k": "a", "v": "b"})", R"([{"k": "a" "v": "b"}])",
                             R"([{"k": "a", "v": "b"}] x)", "[{\"k\": \"a\nb\", \"v\": \"c\"}]",
                             R"([{"k": "\x", "v": "c"}])", R"([{"k": "\u12", "v": "c"}])",
                             R"([{"k": [1], "v": "c"}])", csv}) {
    const test::Ran built = build(source, source == csv ? Args{"--csv", "--title", "t"} : json);
    EXPECT_EQ(built.exitCode, 1) << source;
    EXPECT_NE(built.err.find("line "), std::string::npos) << source;
    EXPECT_FALSE(fs::exists(dir.file("out.dic"))) << source;
  }
}

TEST_F(DictImport, CsvQuotedFieldsDoubledQuotesBadRowsAndRebuilds) {
  const test::Ran built = build(
      "\xEF\xBB\xBFName,Meaning\r\n"
      "Plain,simple text\r\n"
      "\"Quoted, name\",\"she said \"\"yes\"\"\"\r\n"
      "Multi,\"first\r\nsecond\"\r\n"
      "Three,columns,here\r\n"
      "\r\n"
      "OnlyOne\r\n"
      "Last,no line end",
      {"--csv", "--title", "Names", "--table-size", "5", "--compress"});
  ASSERT_EQ(built.exitCode, 0) << built.err;
  EXPECT_NE(built.err.find("line 6: skipped: expected 2 columns, found 3"), std::string::npos);
  EXPECT_NE(built.err.find("line 8: skipped: expected 2 columns, found 1"), std::string::npos);
  EXPECT_EQ(lookup({"dict", "out.dic", "Quoted,", "name"}), "Quoted, name\nshe said \"yes\"\n");
  EXPECT_EQ(lookup({"dict", "out.dic", "multi"}), "multi\nfirst\nsecond\n");
  EXPECT_EQ(lookup({"dict", "out.dic", "Last"}), "Last\nno line end\n");
  EXPECT_EQ(lookup({"list", "out.dic"}), "Last\nMulti\nPlain\nQuoted, name\n");
  const std::string head = test::readFile(dir.file("out.dic")).substr(0, 146);
  dict::Header header;
  ASSERT_TRUE(header.decode(std::vector<std::uint8_t>(head.begin(), head.end())));
  EXPECT_EQ(
      std::to_string(header.compressed) + std::to_string(header.tableSize) + header.title.data(),
      "15Names");
  // A failed rebuild leaves the store as it was; a sound one replaces it.
  EXPECT_EQ(build("Name,Meaning\nC,\"open\n", {"--csv", "--title", "t"}).exitCode, 1);
  EXPECT_EQ(lookup({"list", "out.dic"}), "Last\nMulti\nPlain\nQuoted, name\n");
  ASSERT_EQ(build("Name,Meaning\nB,second\n", {"--csv", "--title", "t"}).exitCode, 0);
  EXPECT_EQ(lookup({"list", "out.dic"}), "B\n");
}

}  // namespace
}  // namespace vellum
