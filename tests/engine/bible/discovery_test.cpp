// Covers getBibleNames: which files count as modules, duplicates, the maximum and the
// directory list.
#include "engine/bible/discovery.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "support/files.h"
#include "tests/support/fixtures.h"

namespace vellum {
namespace {

constexpr const char* kText = "Genesis\t1\t1\tIn the beginning\n";

struct Listed {
  std::string path;
  std::string name;
  friend bool operator==(const Listed&, const Listed&) = default;
};

std::vector<Listed> list(const std::string& directories, std::uint16_t maximum = 10) {
  std::vector<bibleName> names(maximum + 1u);
  std::uint16_t count = 99;
  getBibleNames(names.data(), &count, directories.c_str(), maximum);
  std::vector<Listed> result;
  for (std::uint16_t i = 0; i < count; ++i) result.push_back({names[i].path, names[i].name});
  return result;
}

class Discovery : public ::testing::Test {
 protected:
  void SetUp() override { set_dpath(dir_.path().c_str()); }
  void TearDown() override { set_dpath("."); }
  void module(const std::string& file, const std::string& name) {
    test::buildModule(dir_.path(), file, name, kText);
  }
  test::TempDir dir_;
};

TEST_F(Discovery, ListsModulesWithNameAndBareFileName) {
  module("kjv.bib", "King James Version");
  module("web.Bib", "World English Bible");
  EXPECT_EQ(list(dir_.path().string()),
            (std::vector<Listed>{{"kjv.bib", "King James Version"}, {"web.Bib", "World English Bible"}}));
}

TEST_F(Discovery, SameNameIgnoringCaseIsListedOnce) {
  module("KJV.BIB", "King James Version");
  module("kjv2.Bib", "KING JAMES version");
  EXPECT_EQ(list(dir_.path().string()),
            (std::vector<Listed>{{"KJV.BIB", "King James Version"}}));
}

TEST_F(Discovery, OnlyModuleFilesCount) {
  module("real.bib", "Real");
  module("other.txt", "Wrong Extension");
  std::ofstream(dir_.file("notes.bib")) << "Not a module at all, though long enough to hold a "
                                            "header of one hundred and twenty bytes ........";
  std::ofstream(dir_.file("short.bib")) << "\x7f";
  std::filesystem::create_directory(dir_.path() / "folder.bib");
  EXPECT_EQ(list(dir_.path().string()), (std::vector<Listed>{{"real.bib", "Real"}}));
}

TEST_F(Discovery, MaximumIsHonoured) {
  for (int i = 0; i < 12; ++i) module("m" + std::to_string(10 + i) + ".bib", "Module " + std::to_string(i));
  EXPECT_EQ(list(dir_.path().string(), 10).size(), 10u);
  EXPECT_EQ(list(dir_.path().string(), 3).size(), 3u);
  EXPECT_TRUE(list(dir_.path().string(), 0).empty());
}

TEST_F(Discovery, DirectoryListIsSplitAtSemicolons) {
  module("a.bib", "Alpha");
  const std::string dir = dir_.path().string();
  EXPECT_EQ(list(dir + ";" + dir), (std::vector<Listed>{{"a.bib", "Alpha"}}));
  EXPECT_EQ(list("/no/such/directory;" + dir + ";"), (std::vector<Listed>{{"a.bib", "Alpha"}}));
  EXPECT_TRUE(list("/no/such/directory").empty());
  EXPECT_TRUE(list("").empty());
}

TEST_F(Discovery, FileNameTooLongForTheRecordIsPassedOver) {
  module(std::string(80, 'x') + ".bib", "Too Long");
  module("ok.bib", "Fine");
  EXPECT_EQ(list(dir_.path().string()), (std::vector<Listed>{{"ok.bib", "Fine"}}));
}

}  // namespace
}  // namespace vellum
