#include "app/windows/hilight.h"

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <optional>
#include <vector>

#include "engine/stores/dict.h"
#include "support/endian.h"
#include "support/files.h"

namespace vellum::ui {

namespace {

constexpr std::uint16_t kHilightTableSize = 2003;
constexpr int kTitleBufferSize = 105;
constexpr std::uint16_t kChapterBytes = kHilightPositions * 4;

// The first data-path directory holding the file, the way _fopen finds it for reading.
std::optional<std::string> directoryHolding(const std::string& bareName) {
  for (const std::string& directory : dataPathDirectories()) {
    if (fileExists(setDirectory(std::string_view(bareName), directory).c_str()) != 0)
      return directory;
  }
  return std::nullopt;
}

// Narrows the data path to one directory for as long as it lives. new_dict creates its file
// in the first writable directory of the data path; narrowing the path is how a new store is
// put beside its module.
class DataPathNarrowing {
 public:
  explicit DataPathNarrowing(const std::string& directory) : saved_(get_dpath()) {
    set_dpath(directory.c_str());
  }
  ~DataPathNarrowing() { set_dpath(saved_.c_str()); }
  DataPathNarrowing(const DataPathNarrowing&) = delete;
  DataPathNarrowing& operator=(const DataPathNarrowing&) = delete;

 private:
  std::string saved_;
};

}  // namespace

THilight::THilight(BibleHandle* module) : module_(module) {
  if (module == nullptr) return;
  bibleName name;
  getBibleName(&name, module);
  const std::string modulePath(name.path, strnlen(name.path, sizeof name.path));
  if (modulePath.empty()) return;
  storeName_ = changeExtension(std::string_view(modulePath), std::string_view("hil"));

  store_ = open_dict(storeName_.c_str());
  if (store_ == nullptr) {
    // A file that is there but does not open is someone's highlights, damaged or unreadable
    // for now: creating the store anew would wipe it.
    if (directoryHolding(storeName_)) return;
    char title[kTitleBufferSize];
    std::snprintf(title, sizeof title, "Hilight file for: %s",
                  std::string(name.name, strnlen(name.name, sizeof name.name)).c_str());
    const std::optional<std::string> moduleDirectory = directoryHolding(modulePath);
    if (moduleDirectory &&
        isDirReadOnly(setDirectory(std::string_view(storeName_), *moduleDirectory).c_str()) == 0) {
      const DataPathNarrowing narrowing(*moduleDirectory);
      store_ = new_dict(storeName_.c_str(), title, kHilightTableSize, 0);
    }
    // A module on read-only media keeps its highlights in the first writable data directory.
    if (store_ == nullptr) store_ = new_dict(storeName_.c_str(), title, kHilightTableSize, 0);
  }
  cache_.fill(kHilightNone);
}

THilight::~THilight() { deinit_dict(store_); }

bool THilight::canHilight() const { return store_ != nullptr && isReadOnly(store_) == 0; }

std::string THilight::chapterKey(Reference chapter) {
  char key[16];
  std::snprintf(key, sizeof key, "%d:%d", chapter.chapter, chapter.book);
  return key;
}

void THilight::loadChapter(Reference chapter) {
  if (chapter == cachedReference_) return;
  cache_.fill(kHilightNone);
  cachedCount_ = 0;
  cachedReference_ = chapter;
  if (store_ == nullptr) return;
  std::vector<std::uint8_t> buffer(kChapterBytes);
  std::uint16_t length = 0;
  if (find_binary_item(buffer.data(), &length, kChapterBytes, chapterKey(chapter).c_str(),
                       store_) == nullptr)
    return;
  // Whole codes only: a damaged item's odd tail bytes are not a code.
  cachedCount_ = static_cast<std::uint16_t>(std::min<int>(length / 4, kHilightPositions));
  for (std::size_t i = 0; i < cachedCount_; ++i) {
    const std::uint32_t code = le::load32(&buffer[i * 4]);
    cache_[i] = code <= kHilightNone ? code : kHilightNone;
  }
}

int THilight::getHilight(Reference chapter, int position) {
  loadChapter(chapter);
  if (position < 0 || position >= cachedCount_) return kHilightNone;
  return static_cast<int>(cache_[static_cast<std::size_t>(position)]);
}

void THilight::forget() {
  cachedReference_ = Reference{0, 0, 0};
  cachedCount_ = 0;
  cache_.fill(kHilightNone);
}

bool THilight::busy() const { return isBusy(store_) != 0; }

bool THilight::setHilight(Reference chapter, int first, int last, int code) {
  if (!canHilight() || code < 0 || code > kHilightNone) return false;
  const int low = std::max(std::min(first, last), 0);
  const int high = std::min(std::max(first, last), kHilightPositions - 1);
  if (low > high) return false;
  // The chapter as the store holds it now, another program's highlights included.
  const DictChange change(store_);
  if (!change.held()) return false;
  forget();
  loadChapter(chapter);
  for (int i = low; i <= high; ++i)
    cache_[static_cast<std::size_t>(i)] = static_cast<std::uint32_t>(code);
  cachedCount_ = static_cast<std::uint16_t>(std::max<int>(cachedCount_, high + 1));
  std::vector<std::uint8_t> bytes;
  bytes.reserve(std::size_t{cachedCount_} * 4);
  for (std::size_t i = 0; i < cachedCount_; ++i) le::put32(bytes, cache_[i]);
  if (!add_binary_item(store_, chapterKey(chapter).c_str(), bytes.data(),
                       static_cast<std::uint16_t>(bytes.size()))) {
    // What was not stored must not be shown: the next look-up reads the store again.
    forget();
    return false;
  }
  return true;
}

}  // namespace vellum::ui
