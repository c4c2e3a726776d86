// The highlight store: where it is made, chapter arrays, the cache, damaged and locked stores.
#include "app/windows/hilight.h"

#include <QtTest>
#include <cstdint>
#include <filesystem>
#include <memory>
#include <vector>

#include "engine/stores/dict.h"
#include "support/endian.h"
#include "support/files.h"
#include "tests/app/app_fixtures.h"

namespace fs = std::filesystem;
using namespace vellum;
using vellum::ui::THilight;

namespace {

using Codes = std::vector<std::uint32_t>;

// The codes stored for a chapter, read through a handle of its own.
Codes storedCodes(const char* key) {
  const std::string bytes = test::itemBytes(test::Dict(open_dict("kjv.hil")).get(), key);
  Codes codes;
  for (std::size_t i = 0; i + 4 <= bytes.size(); i += 4)
    codes.push_back(le::load32(reinterpret_cast<const std::uint8_t*>(&bytes[i])));
  return codes;
}

void storeRaw(const char* key, const std::vector<std::uint8_t>& bytes) {
  test::Dict store(open_dict("kjv.hil"));
  QVERIFY(store);
  QVERIFY(add_binary_item(store.get(), key, bytes.data(), std::uint16_t(bytes.size())));
}

const Reference kGenesis1{0, 1, 1}, kGenesis2{0, 2, 1}, kGenesis3{0, 3, 1}, kGenesis4{0, 4, 1};

}  // namespace

class HilightTest : public QObject {
  Q_OBJECT

  std::unique_ptr<test::TempDir> dir_;
  test::Module module_;
  fs::path storePath() const { return dir_->path() / "kjv.hil"; }

 private Q_SLOTS:
  void init() {
    dir_ = std::make_unique<test::TempDir>();
    test::buildKjvFixture(dir_->path());
    module_ = test::openModule(dir_->path(), "kjv.bib");
    QVERIFY(module_);
  }
  void cleanup() {
    module_.reset();
    dir_.reset();
  }

  void theStoreIsCreatedBesideItsModuleOrInAWritableDirectory() {
    // Beside the module, though an earlier data directory is writable.
    test::TempDir other;
    const std::string path = other.path().string() + ";" + dir_->path().string();
    set_dpath(path.c_str());
    {
      THilight hilight(module_.get());
      QVERIFY(hilight.canHilight());
      QCOMPARE(hilight.getHilight(kGenesis1, 0), 4);
    }
    QVERIFY(fs::exists(storePath()) && !fs::exists(other.path() / "kjv.hil"));
    QCOMPARE(get_dpath(), path);

    // A module on read-only media keeps its store in a writable directory.
    fs::remove(storePath());
    set_dpath((dir_->path().string() + ";" + other.path().string()).c_str());
    test::UnwritableDirectory media(dir_->path());
    if (!media.effective()) QSKIP("cannot make a directory unwritable here");
    QVERIFY(THilight(module_.get()).canHilight());
    QVERIFY(fs::exists(other.path() / "kjv.hil") && !fs::exists(storePath()));
  }

  void rangesAreStoredAsTheChapterArray() {
    QCOMPARE(THilight::chapterKey(Reference{65, 22, 1}), std::string("22:65"));
    THilight hilight(module_.get());
    hilight.setHilight(kGenesis1, 5, 2, 3);
    QCOMPARE(storedCodes("1:0"), (Codes{4, 4, 3, 3, 3, 3}));
    for (int i = 2; i <= 5; ++i) QCOMPARE(hilight.getHilight(kGenesis1, i), 3);
    for (int i : {1, 10, -1}) QCOMPARE(hilight.getHilight(kGenesis1, i), 4);
    // Unhighlighting writes code 4; a shorter range leaves the rest; codes past 0-4 are refused.
    hilight.setHilight(kGenesis1, 5, 5, 4);
    hilight.setHilight(kGenesis1, 0, 0, 1);
    hilight.setHilight(kGenesis1, 0, 7, 9);
    hilight.setHilight(kGenesis1, 0, 7, -1);
    QCOMPARE(storedCodes("1:0"), (Codes{1, 4, 3, 3, 3, 4}));
    // The cache follows the chapter; another object's change shows once it is loaded again.
    hilight.setHilight(kGenesis2, 1, 1, 2);
    QCOMPARE(hilight.getHilight(Reference{0, 1, 7}, 3), 3);
    QCOMPARE(hilight.getHilight(kGenesis2, 1), 2);
    THilight(module_.get()).setHilight(kGenesis1, 0, 0, 0);
    QCOMPARE(hilight.getHilight(kGenesis2, 0), 4);
    QCOMPARE(hilight.getHilight(kGenesis1, 0), 0);
  }

  // Positions are 0 to 3999; a damaged item gives what fits of it.
  void outOfRangePositionsAndDamagedItems() {
    THilight hilight(module_.get());
    hilight.setHilight(kGenesis4, -5, 1, 0);
    QCOMPARE(storedCodes("4:0"), (Codes{0, 0}));
    hilight.setHilight(kGenesis4, 4000, 9000, 2);
    QCOMPARE(storedCodes("4:0").size(), std::size_t{2});
    hilight.setHilight(kGenesis4, 3998, 100000, 2);
    Codes codes = storedCodes("4:0");
    QCOMPARE((Codes{std::uint32_t(codes.size()), codes[3997], codes[3999]}), (Codes{4000, 4, 2}));

    storeRaw("1:0", {1, 0, 0, 0, 2, 0, 0, 0, 3, 0});  // an odd tail is no code
    std::vector<std::uint8_t> tooLong;                // only 4000 positions exist
    for (int i = 0; i < 5000; ++i) le::put32(tooLong, i < 4000 ? 3 : 0);
    storeRaw("2:0", tooLong);
    storeRaw("3:0", {7, 0, 0, 0, 0, 0, 0, 1, 2, 0, 0, 0});  // codes beyond 4 mean none
    THilight reader(module_.get());
    const std::tuple<Reference, int, int> cases[] = {
        {kGenesis1, 0, 1},    {kGenesis1, 1, 2},    {kGenesis1, 2, 4},       {kGenesis2, 3999, 3},
        {kGenesis2, 4000, 4}, {kGenesis3, 0, 4},    {kGenesis3, 1, 4},       {kGenesis3, 2, 2},
        {kGenesis4, 3999, 2}, {kGenesis4, 4000, 4}, {kGenesis4, 1 << 30, 4}, {kGenesis4, -1, 4}};
    for (const auto& [chapter, position, code] : cases)
      QCOMPARE(reader.getHilight(chapter, position), code);
    reader.setHilight(kGenesis2, 0, 0, 1);
    codes = storedCodes("2:0");
    QCOMPARE((Codes{std::uint32_t(codes.size()), codes[0], codes[1]}), (Codes{4000, 1, 3}));
  }

  void storesThatCannotBeWrittenOrOpenedAreLeftAlone() {
    THilight(module_.get()).setHilight(kGenesis1, 0, 1, 2);
    const std::string before = test::readFile(storePath());
    const auto refuses = [&] {
      THilight hilight(module_.get());
      QVERIFY(!hilight.canHilight());
      hilight.setHilight(kGenesis1, 0, 5, 0);
      QCOMPARE(hilight.getHilight(kGenesis1, 0), 2);
      QCOMPARE(hilight.getHilight(kGenesis1, 5), 4);
    };
    {
      test::ImmutableFile file(storePath());
      if (file.effective()) refuses();
    }
    QCOMPARE(test::readFile(storePath()), before);
    {
      test::UnwritableDirectory directory(dir_->path());
      if (directory.effective()) refuses();
    }
    QCOMPARE(test::readFile(storePath()), before);
    // Someone's damaged store is not replaced by an empty one.
    const std::string damaged(300, '\xEE');
    test::writeFile(storePath(), damaged);
    {
      THilight hilight(module_.get());
      QVERIFY(!hilight.canHilight());
      hilight.setHilight(kGenesis1, 0, 3, 1);
      QCOMPARE(hilight.getHilight(kGenesis1, 0), 4);
    }
    QCOMPARE(test::readFile(storePath()), damaged);
    THilight none(nullptr);
    QVERIFY(!none.canHilight());
    none.setHilight(kGenesis1, 0, 0, 1);
    QCOMPARE(none.getHilight(kGenesis1, 0), 4);
  }
};

QTEST_MAIN(HilightTest)
#include "hilight_test.moc"
