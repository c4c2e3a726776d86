// A hand-edited "VLMR20.INI": the input is the file, in the configuration directory
// ($XDG_CONFIG_HOME/vellum, pointed into the scratch directory). Every key the reader reads is
// read through its own accessor (fonts, the default translation, the copy options, the main
// window's place), then one key picked by the input's hash is written, replaced or deleted, or
// its section deleted: what was written reads back (trimmed, as every value is), what was
// deleted reads as missing, and every other key reads as before.
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "app/config.h"
#include "app/profile.h"
#include "fuzz/fuzz_common.h"

using namespace vellum;

namespace {

struct Key {
  const char* section;
  const char* key;
};
const Key kKeys[] = {
    {"FONTS", "SCREEN_FONT_NAME"},
    {"FONTS", "SCREEN_FONT_SIZE"},
    {"FONTS", "PRINTER_FONT_NAME"},
    {"FONTS", "PRINTER_FONT_SIZE"},
    {"BIBLE", "DEFAULT_BIBLE_NAME"},
    {"BIBLE", "DEFAULT_BIBLE_PATH"},
    {"WindowPos", "Xmin"},
    {"WindowPos", "Ymin"},
    {"WindowPos", "Xext"},
    {"WindowPos", "Yext"},
    {"COPY", "INCLUDE_BOOK_AND_CHAPTER"},
    {"COPY", "COPY_AS_PARAGRAPH"},
    {"SESSION", "WINDOWS"},
    {"SESSION", "WINDOW1"},
};
constexpr std::size_t kKeyCount = sizeof kKeys / sizeof kKeys[0];

std::string value(const Key& key) {
  static std::vector<char> buffer(8192);
  getPrivateProfileString(key.section, key.key, "\x01missing", buffer.data(), buffer.size(),
                          kIniFile);
  return buffer.data();
}

void readEverything() {
  char face[25];
  getScreenFontName(face, sizeof face);
  getPrinterFontName(face, 3);
  const int screen = getScreenFontSize();
  const int printer = getPrinterFontSize();
  if (screen < 1 || screen > 512 || printer < 1 || printer > 512) std::abort();
  bibleName bible;
  readDefaultBible(&bible);
  if (strnlen(bible.name, sizeof bible.name) == sizeof bible.name ||
      strnlen(bible.path, sizeof bible.path) == sizeof bible.path)
    std::abort();
  getCopyOption("INCLUDE_BOOK_AND_CHAPTER");
  getCopyOption("COPY_AS_PARAGRAPH");
  for (const char* key : {"Xmin", "Ymin", "Xext", "Yext"})
    getPrivateProfileInt("WindowPos", key, 640, kIniFile);
}

// The value with the blanks the reader drops from its ends removed.
std::string trimmed(std::string text) {
  const char* blanks = " \t\r\v\f";
  text.erase(0, text.find_first_not_of(blanks) == std::string::npos
                    ? text.size()
                    : text.find_first_not_of(blanks));
  text.erase(text.find_last_not_of(blanks) + 1);
  return text;
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
  fuzz::useScratchConfigDirectory();
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (!fuzz::writeScratchFile("vellum/VLMR20.INI", data, size)) return 0;
  readEverything();

  std::vector<std::string> before;
  for (const Key& key : kKeys) before.push_back(value(key));
  const std::uint32_t choice = fuzz::mix(data, size);
  const std::size_t target = choice % kKeyCount;
  const Key& key = kKeys[target];
  // A value from the input's last line (no line break fits a value), or a deletion.
  const std::string input(reinterpret_cast<const char*>(data), size);
  std::string written = input.substr(
      input.find_last_of("\r\n") == std::string::npos ? 0 : input.find_last_of("\r\n") + 1);
  written = written.c_str();
  const bool remove = (choice >> 8) % 4 == 0;
  const bool removeSection = remove && (choice >> 10) % 2 == 0;
  if (!writePrivateProfileString(key.section, removeSection ? nullptr : key.key,
                                 remove ? nullptr : written.c_str(), kIniFile))
    return 0;  // refused: the file is one the program does not rewrite
  for (std::size_t i = 0; i < kKeyCount; ++i) {
    const std::string after = value(kKeys[i]);
    const bool removed =
        remove &&
        (i == target || (removeSection && std::strcmp(kKeys[i].section, key.section) == 0));
    const std::string expected = removed       ? std::string("\x01missing")
                                 : i == target ? trimmed(written)
                                               : before[i];
    if (after != expected) {
      std::fprintf(stderr, "[%s] %s reads \"%s\", not \"%s\"\n", kKeys[i].section, kKeys[i].key,
                   after.c_str(), expected.c_str());
      std::abort();
    }
  }
  readEverything();
  return 0;
}
