// Highlight store: where it is created and with what header, the per-chapter arrays and their
// keys, the chapter cache, damaged items, and stores that cannot be written or opened.
#include "app/windows/hilight.h"

#include <fcntl.h>
#include <linux/fs.h>
#include <sys/ioctl.h>
#include <unistd.h>

#include <QtTest>
#include <cstdint>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <memory>
#include <vector>

#include "engine/stores/dict.h"
#include "support/endian.h"
#include "support/files.h"
#include "tests/support/fixtures.h"

namespace fs = std::filesystem;
using vellum::Reference;
using vellum::ui::THilight;

namespace {

std::vector<std::uint8_t> readBytes(const fs::path& path) {
  std::ifstream in(path, std::ios::binary);
  return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

void writeBytes(const fs::path& path, const std::vector<std::uint8_t>& bytes) {
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out.write(reinterpret_cast<const char*>(bytes.data()),
            static_cast<std::streamsize>(bytes.size()));
}

struct StoreCloser {
  void operator()(vellum::DictHandle* h) const { vellum::deinit_dict(h); }
};
using Store = std::unique_ptr<vellum::DictHandle, StoreCloser>;

// The codes stored for a chapter, read through a handle of its own.
std::vector<std::uint32_t> storedCodes(const char* key) {
  Store store(vellum::open_dict("kjv.hil"));
  if (!store) return {};
  std::vector<std::uint8_t> buffer(65535);
  std::uint16_t length = 0;
  if (!vellum::find_binary_item(buffer.data(), &length, 65535, key, store.get())) return {};
  std::vector<std::uint32_t> codes;
  for (std::size_t i = 0; i + 4 <= length; i += 4) codes.push_back(vellum::le::load32(&buffer[i]));
  return codes;
}

void storeRaw(const char* key, const std::vector<std::uint8_t>& bytes) {
  Store store(vellum::open_dict("kjv.hil"));
  QVERIFY(store);
  QVERIFY(vellum::add_binary_item(store.get(), key, bytes.data(),
                                  static_cast<std::uint16_t>(bytes.size())));
}

// Sets or clears the immutable attribute, which stops writes also for root; false when the file
// system does not offer it.
bool setImmutable(const fs::path& path, bool immutable) {
  const int fd = ::open(path.c_str(), O_RDONLY | (fs::is_directory(path) ? O_DIRECTORY : 0));
  if (fd < 0) return false;
  int flags = 0;
  bool done = ::ioctl(fd, FS_IOC_GETFLAGS, &flags) == 0;
  if (done) {
    flags = immutable ? (flags | FS_IMMUTABLE_FL) : (flags & ~FS_IMMUTABLE_FL);
    done = ::ioctl(fd, FS_IOC_SETFLAGS, &flags) == 0;
  }
  ::close(fd);
  return done;
}

// Makes a file or directory unwritable for as long as it lives.
class Unwritable {
 public:
  explicit Unwritable(fs::path path) : path_(std::move(path)) {
    active_ = setImmutable(path_, true);
  }
  ~Unwritable() {
    if (active_) setImmutable(path_, false);
  }
  bool active() const { return active_; }

 private:
  fs::path path_;
  bool active_ = false;
};

const Reference kGenesis1{0, 1, 1};
const Reference kRevelation22{65, 22, 1};

}  // namespace

class HilightTest : public QObject {
  Q_OBJECT

 private:
  std::unique_ptr<vellum::test::TempDir> dir_;
  vellum::test::Module module_;
  fs::path storePath() const { return dir_->path() / "kjv.hil"; }

 private Q_SLOTS:
  void init() {
    dir_ = std::make_unique<vellum::test::TempDir>();
    vellum::test::buildKjvFixture(dir_->path());
    module_ = vellum::test::openModule(dir_->path(), "kjv.bib");
    QVERIFY(module_);
  }
  void cleanup() {
    module_.reset();
    dir_.reset();
  }

  void aFreshStoreIsCreatedBesideItsModule();
  void aModuleOnReadOnlyMediaKeepsItsStoreInAWritableDirectory();
  void chapterKeysPutTheChapterFirst();
  void highlightingARangeStoresTheChapterArray();
  void positionsOutsideTheArrayAreIgnored();
  void theCacheFollowsTheReference();
  void damagedItemsReadWhatFits();
  void aReadOnlyStoreRefusesChanges();
  void aStoreThatDoesNotOpenIsLeftAlone();
};

void HilightTest::aFreshStoreIsCreatedBesideItsModule() {
  // An earlier writable directory on the data path does not take the store.
  vellum::test::TempDir other;
  vellum::set_dpath((other.path().string() + ";" + dir_->path().string()).c_str());
  {
    THilight hilight(module_.get());
    QVERIFY(hilight.canHilight());
    QCOMPARE(hilight.storeName(), std::string("kjv.hil"));
    QCOMPARE(hilight.getHilight(kGenesis1, 0), 4);
  }
  QVERIFY(fs::exists(storePath()));
  QVERIFY(!fs::exists(other.path() / "kjv.hil"));
  QCOMPARE(vellum::get_dpath(), other.path().string() + ";" + dir_->path().string());
  const std::vector<std::uint8_t> header = readBytes(storePath());
  QVERIFY(header.size() > 146);
  const std::string title(reinterpret_cast<const char*>(&header[4]));
  QCOMPARE(title, std::string("Hilight file for: King James Version"));
  QCOMPARE(vellum::le::load32(&header[122]), 0u);     // not compressed
  QCOMPARE(vellum::le::load32(&header[126]), 2003u);  // table size
  // Opening again uses the store that is there.
  THilight again(module_.get());
  QVERIFY(again.canHilight());
}

void HilightTest::aModuleOnReadOnlyMediaKeepsItsStoreInAWritableDirectory() {
  vellum::test::TempDir writable;
  vellum::set_dpath((dir_->path().string() + ";" + writable.path().string()).c_str());
  Unwritable media(dir_->path());
  if (!media.active() || vellum::isDirReadOnly((dir_->path() / "probe").c_str()) == 0)
    QSKIP("cannot make a directory unwritable here");
  THilight hilight(module_.get());
  QVERIFY(hilight.canHilight());
  QVERIFY(fs::exists(writable.path() / "kjv.hil"));
  QVERIFY(!fs::exists(storePath()));
}

void HilightTest::chapterKeysPutTheChapterFirst() {
  QCOMPARE(THilight::chapterKey(kGenesis1), std::string("1:0"));
  QCOMPARE(THilight::chapterKey(kRevelation22), std::string("22:65"));
  THilight hilight(module_.get());
  hilight.setHilight(kRevelation22, 0, 0, 2);
  QCOMPARE(storedCodes("22:65"), std::vector<std::uint32_t>{2});
  QVERIFY(storedCodes("65:22").empty());
}

void HilightTest::highlightingARangeStoresTheChapterArray() {
  THilight hilight(module_.get());
  hilight.setHilight(kGenesis1, 5, 2, 3);
  QCOMPARE(storedCodes("1:0"), (std::vector<std::uint32_t>{4, 4, 3, 3, 3, 3}));
  for (int i = 2; i <= 5; ++i) QCOMPARE(hilight.getHilight(kGenesis1, i), 3);
  QCOMPARE(hilight.getHilight(kGenesis1, 1), 4);
  QCOMPARE(hilight.getHilight(kGenesis1, 10), 4);
  QCOMPARE(hilight.getHilight(kGenesis1, -1), 4);
  // Unhighlighting writes code 4 and keeps the array's length.
  hilight.setHilight(kGenesis1, 5, 5, 4);
  QCOMPARE(storedCodes("1:0"), (std::vector<std::uint32_t>{4, 4, 3, 3, 3, 4}));
  // A later, shorter range leaves the rest of the array as it was.
  hilight.setHilight(kGenesis1, 0, 0, 1);
  QCOMPARE(storedCodes("1:0"), (std::vector<std::uint32_t>{1, 4, 3, 3, 3, 4}));
  // Codes outside 0 to 4 are not stored.
  hilight.setHilight(kGenesis1, 0, 7, 9);
  hilight.setHilight(kGenesis1, 0, 7, -1);
  QCOMPARE(storedCodes("1:0"), (std::vector<std::uint32_t>{1, 4, 3, 3, 3, 4}));
  // Another object on the same store sees what was stored.
  THilight reader(module_.get());
  QCOMPARE(reader.getHilight(kGenesis1, 0), 1);
  QCOMPARE(reader.getHilight(kGenesis1, 3), 3);
  QCOMPARE(reader.getHilight(kGenesis1, 5), 4);
}

void HilightTest::positionsOutsideTheArrayAreIgnored() {
  THilight hilight(module_.get());
  hilight.setHilight(kGenesis1, -5, 1, 0);
  QCOMPARE(storedCodes("1:0"), (std::vector<std::uint32_t>{0, 0}));
  hilight.setHilight(kGenesis1, 4000, 9000, 2);
  QCOMPARE(storedCodes("1:0").size(), std::size_t{2});
  hilight.setHilight(kGenesis1, 3998, 100000, 2);
  const std::vector<std::uint32_t> codes = storedCodes("1:0");
  QCOMPARE(codes.size(), std::size_t{4000});
  QCOMPARE(codes[3998], 2u);
  QCOMPARE(codes[3999], 2u);
  QCOMPARE(codes[3997], 4u);
  QCOMPARE(hilight.getHilight(kGenesis1, 3999), 2);
  QCOMPARE(hilight.getHilight(kGenesis1, 4000), 4);
  QCOMPARE(hilight.getHilight(kGenesis1, 1 << 30), 4);
}

void HilightTest::theCacheFollowsTheReference() {
  THilight hilight(module_.get());
  hilight.setHilight(kGenesis1, 0, 2, 0);
  const Reference genesis2{0, 2, 1};
  QCOMPARE(hilight.getHilight(genesis2, 1), 4);
  hilight.setHilight(genesis2, 1, 1, 2);
  QCOMPARE(hilight.getHilight(kGenesis1, 1), 0);
  QCOMPARE(hilight.getHilight(genesis2, 1), 2);
  // Another verse of the same chapter reads the same chapter's codes.
  QCOMPARE(hilight.getHilight(Reference{0, 1, 7}, 2), 0);
  // A change made through another object shows once the chapter is loaded again.
  THilight other(module_.get());
  other.setHilight(kGenesis1, 0, 0, 3);
  QCOMPARE(hilight.getHilight(genesis2, 1), 2);
  QCOMPARE(hilight.getHilight(kGenesis1, 0), 3);
}

void HilightTest::damagedItemsReadWhatFits() {
  { THilight create(module_.get()); }
  // Ten bytes: two whole codes; the odd tail is not a code.
  storeRaw("1:0", {1, 0, 0, 0, 2, 0, 0, 0, 3, 0});
  // 5000 codes: only the first 4000 positions exist.
  std::vector<std::uint8_t> tooLong;
  for (int i = 0; i < 5000; ++i) vellum::le::put32(tooLong, i < 4000 ? 3 : 0);
  storeRaw("2:0", tooLong);
  // Codes beyond 4 mean no highlight.
  storeRaw("3:0", {7, 0, 0, 0, 0, 0, 0, 1, 2, 0, 0, 0});
  THilight hilight(module_.get());
  QCOMPARE(hilight.getHilight(kGenesis1, 0), 1);
  QCOMPARE(hilight.getHilight(kGenesis1, 1), 2);
  QCOMPARE(hilight.getHilight(kGenesis1, 2), 4);
  const Reference genesis2{0, 2, 1};
  QCOMPARE(hilight.getHilight(genesis2, 3999), 3);
  QCOMPARE(hilight.getHilight(genesis2, 4000), 4);
  const Reference genesis3{0, 3, 1};
  QCOMPARE(hilight.getHilight(genesis3, 0), 4);
  QCOMPARE(hilight.getHilight(genesis3, 1), 4);
  QCOMPARE(hilight.getHilight(genesis3, 2), 2);
  // Setting a position of the over-long chapter rewrites it at 4000 codes.
  hilight.setHilight(genesis2, 0, 0, 1);
  const std::vector<std::uint32_t> codes = storedCodes("2:0");
  QCOMPARE(codes.size(), std::size_t{4000});
  QCOMPARE(codes[0], 1u);
  QCOMPARE(codes[1], 3u);
}

void HilightTest::aReadOnlyStoreRefusesChanges() {
  {
    THilight writer(module_.get());
    writer.setHilight(kGenesis1, 0, 1, 2);
  }
  const std::vector<std::uint8_t> before = readBytes(storePath());
  {
    // A directory where nothing can be written.
    Unwritable directory(dir_->path());
    if (!directory.active() || vellum::isDirReadOnly((dir_->path() / "probe").c_str()) == 0)
      QSKIP("cannot make a directory unwritable here");
    THilight hilight(module_.get());
    QVERIFY(!hilight.canHilight());
    QCOMPARE(hilight.getHilight(kGenesis1, 1), 2);
    hilight.setHilight(kGenesis1, 0, 5, 0);
    QCOMPARE(hilight.getHilight(kGenesis1, 0), 2);
    QCOMPARE(hilight.getHilight(kGenesis1, 5), 4);
  }
  QCOMPARE(readBytes(storePath()), before);
  {
    // A file that cannot be written, in a directory that can.
    Unwritable file(storePath());
    QVERIFY(file.active());
    THilight hilight(module_.get());
    QVERIFY(!hilight.canHilight());
    hilight.setHilight(kGenesis1, 0, 5, 0);
    QCOMPARE(hilight.getHilight(kGenesis1, 0), 2);
  }
  QCOMPARE(readBytes(storePath()), before);
}

void HilightTest::aStoreThatDoesNotOpenIsLeftAlone() {
  // Someone's damaged store is not replaced by an empty one.
  const std::vector<std::uint8_t> damaged(300, 0xEE);
  writeBytes(storePath(), damaged);
  {
    THilight hilight(module_.get());
    QVERIFY(!hilight.canHilight());
    QCOMPARE(hilight.getHilight(kGenesis1, 0), 4);
    hilight.setHilight(kGenesis1, 0, 3, 1);
    QCOMPARE(hilight.getHilight(kGenesis1, 0), 4);
  }
  QCOMPARE(readBytes(storePath()), damaged);
  // No module, no store.
  THilight none(nullptr);
  QVERIFY(!none.canHilight());
  QCOMPARE(none.getHilight(kGenesis1, 0), 4);
  none.setHilight(kGenesis1, 0, 0, 1);
}

QTEST_MAIN(HilightTest)
#include "hilight_test.moc"
