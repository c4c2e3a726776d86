// The settings of "VLMR20.INI" that the program reads and writes, by section and key. The
// file is not cached: every reader asks the file again, so a value written by one window is
// what the next reader gets.
#pragma once

#include "engine/bible/bible.h"

namespace vellum {

inline constexpr const char* kIniFile = "VLMR20.INI";

// "FONTS": face names (read into 25-byte buffers) and sizes in whole points.
char* getScreenFontName(char* buffer, int size);  // default "Times New Roman"
int getScreenFontSize();                          // default 12
void setScreenFontName(const char* name);
void setScreenFontSize(int points);                // written with "%d"
char* getPrinterFontName(char* buffer, int size);  // default "Times New Roman"
int getPrinterFontSize();                          // default 12
void setPrinterFontName(const char* name);
void setPrinterFontSize(int points);

// "BIBLE": the default translation ("King James Version", "kjv.bib").
bibleName* readDefaultBible(bibleName* out);
void writeDefaultBible(const bibleName* bible);

// "COPY": an option counts as set unless its text (at most five characters) equals "FALSE".
bool getCopyOption(const char* key);  // "INCLUDE_BOOK_AND_CHAPTER" or "COPY_AS_PARAGRAPH"
void setCopyOption(const char* key, bool set);

}  // namespace vellum
