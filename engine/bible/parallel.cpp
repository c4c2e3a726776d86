#include "engine/bible/parallel.h"

#include <cstring>

namespace vellum {

int mapBook(unsigned int book, BibleHandle* from, BibleHandle* to) {
  if (from == nullptr || to == nullptr) return -1;
  const std::uint16_t fromBooks = getBooksInBible(from);
  const std::uint16_t toBooks = getBooksInBible(to);
  if (book >= fromBooks) return -1;
  if (from == to) return static_cast<int>(book);
  const char* name = getBookName(book, from);
  for (unsigned int candidate = 0; candidate < toBooks; ++candidate)
    if (std::strcmp(getBookName(candidate, to), name) == 0) return static_cast<int>(candidate);
  return fromBooks == toBooks ? static_cast<int>(book) : -1;
}

int mapReference(Reference* out, Reference reference, BibleHandle* from, BibleHandle* to) {
  *out = Reference{};
  const int book = mapBook(reference.book, from, to);
  if (book < 0) return 0;
  *out = Reference{static_cast<std::uint8_t>(book), reference.chapter, reference.verse};
  return reference.verse >= 1 && reference.verse <= getVersesInChapter(*out, to) ? 1 : 0;
}

const char* verseLineText(const char* line, std::uint16_t* verse) {
  *verse = 0;
  const char* at = line;
  unsigned int number = 0;
  while (*at >= '0' && *at <= '9' && number <= 0xFFFF) number = number * 10 + unsigned(*at++ - '0');
  if (at == line || number > 0xFFFF) return line;
  *verse = static_cast<std::uint16_t>(number);
  return *at == ' ' ? at + 1 : at;
}

}  // namespace vellum
