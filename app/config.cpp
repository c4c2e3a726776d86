// The "VLMR20.INI" accessors. Buffer sizes are those the file's readers have always used:
// 25 bytes for a face name, 10 for a point size, 80 for each half of the default translation,
// 6 for a copy option. A longer value is cut to the buffer, as any reader of the file sees it.
#include "app/config.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include "app/profile.h"

namespace vellum {
namespace {

constexpr const char* kFonts = "FONTS";
constexpr const char* kBible = "BIBLE";
constexpr const char* kCopy = "COPY";
constexpr const char* kDefaultFace = "Times New Roman";

// Point sizes come from a hand-editable file. Zero or a negative number (what atoi makes of
// garbage) cannot be a font size and falls back to the default; a size beyond any screen's use
// would have the rasteriser build glyphs of hundreds of megabytes, so it is capped.
constexpr int kDefaultPointSize = 12;
constexpr int kMaxPointSize = 512;

char* readFaceName(const char* key, char* buffer, int size) {
  if (!buffer || size <= 0) return buffer;
  getPrivateProfileString(kFonts, key, kDefaultFace, buffer, static_cast<std::size_t>(size),
                          kIniFile);
  return buffer;
}

int readPointSize(const char* key) {
  char text[10];
  getPrivateProfileString(kFonts, key, "12", text, sizeof text, kIniFile);
  int points = std::atoi(text);
  if (points <= 0) return kDefaultPointSize;
  return points > kMaxPointSize ? kMaxPointSize : points;
}

void writePointSize(const char* key, int points) {
  char text[16];
  std::snprintf(text, sizeof text, "%d", points);
  writePrivateProfileString(kFonts, key, text, kIniFile);
}

// A fixed 80-byte field need not hold a terminator.
std::string fieldText(const char (&field)[80]) {
  return std::string(field, strnlen(field, sizeof field));
}

}  // namespace

char* getScreenFontName(char* buffer, int size) {
  return readFaceName("SCREEN_FONT_NAME", buffer, size);
}

int getScreenFontSize() { return readPointSize("SCREEN_FONT_SIZE"); }

void setScreenFontName(const char* name) {
  writePrivateProfileString(kFonts, "SCREEN_FONT_NAME", name ? name : "", kIniFile);
}

void setScreenFontSize(int points) { writePointSize("SCREEN_FONT_SIZE", points); }

char* getPrinterFontName(char* buffer, int size) {
  return readFaceName("PRINTER_FONT_NAME", buffer, size);
}

int getPrinterFontSize() { return readPointSize("PRINTER_FONT_SIZE"); }

void setPrinterFontName(const char* name) {
  writePrivateProfileString(kFonts, "PRINTER_FONT_NAME", name ? name : "", kIniFile);
}

void setPrinterFontSize(int points) { writePointSize("PRINTER_FONT_SIZE", points); }

bibleName* readDefaultBible(bibleName* out) {
  if (!out) return out;
  getPrivateProfileString(kBible, "DEFAULT_BIBLE_NAME", "King James Version", out->name,
                          sizeof out->name, kIniFile);
  getPrivateProfileString(kBible, "DEFAULT_BIBLE_PATH", "kjv.bib", out->path, sizeof out->path,
                          kIniFile);
  return out;
}

void writeDefaultBible(const bibleName* bible) {
  if (!bible) return;
  writePrivateProfileString(kBible, "DEFAULT_BIBLE_NAME", fieldText(bible->name).c_str(), kIniFile);
  writePrivateProfileString(kBible, "DEFAULT_BIBLE_PATH", fieldText(bible->path).c_str(), kIniFile);
}

bool getCopyOption(const char* key) {
  // Six bytes: "FALSEX" reads as "FALSE", so only the first five characters decide.
  char text[6];
  getPrivateProfileString(kCopy, key, "FALSE", text, sizeof text, kIniFile);
  return std::strcmp(text, "FALSE") != 0;
}

void setCopyOption(const char* key, bool set) {
  writePrivateProfileString(kCopy, key, set ? "TRUE" : "FALSE", kIniFile);
}

}  // namespace vellum
