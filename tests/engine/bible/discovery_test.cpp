// Covers getBibleNames: which files count as modules, duplicates, the maximum and the
// directory list.
#include "engine/bible/discovery.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

#include "tests/support/fixtures.h"

namespace vellum {
namespace {

// The "file name=display name" of each module listed.
std::vector<std::string> list(const std::string& directories, std::uint16_t maximum = 10) {
  std::vector<bibleName> names(maximum + 1u);
  std::uint16_t count = 99;
  getBibleNames(names.data(), &count, directories.c_str(), maximum);
  std::vector<std::string> result;
  for (std::uint16_t i = 0; i < count; ++i)
    result.push_back(std::string(names[i].path) + "=" + names[i].name);
  return result;
}

TEST(Discovery, ListsEachModuleOnceWithItsNameAndBareFileName) {
  test::TempDir dir;
  const std::string path = dir.path().string();
  set_dpath(path.c_str());
  auto module = [&](const std::string& file, const std::string& name) {
    test::buildModule(dir.path(), file, name, "Genesis\t1\t1\tIn the beginning\n");
  };
  module("KJV.BIB", "King James Version");
  module("kjv2.Bib", "KING JAMES version");  // the same name ignoring case
  module("web.bib", "World English Bible");
  module("other.txt", "Wrong Extension");
  module(std::string(80, 'x') + ".bib", "Too Long");  // a file name too long for the record
  test::writeFile(dir.file("notes.bib"), std::string(200, 'x'));
  test::writeFile(dir.file("short.bib"), "\x7f");
  std::filesystem::create_directory(dir.path() / "folder.bib");
  const std::vector<std::string> expected = {"KJV.BIB=King James Version",
                                             "web.bib=World English Bible"};
  EXPECT_EQ(list(path), expected);
  // Directories are split at semicolons; missing ones and repeats add nothing.
  EXPECT_EQ(list("/no/such/directory;" + path + ";" + path + ";"), expected);
  EXPECT_TRUE(list("/no/such/directory").empty());
  EXPECT_TRUE(list("").empty());
  EXPECT_EQ(list(path, 1).size(), 1u);
  EXPECT_TRUE(list(path, 0).empty());
  set_dpath(".");
}

}  // namespace
}  // namespace vellum
