// References, verse numbers and the book table, computed from the module's in-memory tables.
//
// openBible has checked the chapter index (canonical order, sentinel last), so the scans
// below may index entry i + 1 of any real entry i. Arguments outside the contract (a book not
// in the module, a verse number at or past the verse count) give an empty name or the
// module's last verse rather than a read outside the tables.
#include <cstdio>
#include <cstring>
#include <string>

#include "engine/bible/module_internal.h"
#include "support/strings.h"
#include "support/unicode.h"

namespace vellum {
namespace {

constexpr std::size_t kBookTextLimit = 30;  // working copy of a typed book name

// Decimal integer as atoi reads it (leading spaces, optional sign, digits up to the first
// non-digit, none giving 0), reduced modulo 256 as every Reference field is.
std::uint8_t readNumber(std::string_view text) {
  std::size_t i = 0;
  while (i < text.size() && text[i] == ' ') ++i;
  bool negative = false;
  if (i < text.size() && (text[i] == '-' || text[i] == '+')) negative = text[i++] == '-';
  std::uint32_t value = 0;  // unsigned, so long digit runs wrap instead of overflowing
  for (; i < text.size() && isDigit(text[i]); ++i) value = value * 10 + (text[i] - '0');
  if (negative) value = 0u - value;
  return static_cast<std::uint8_t>(value);
}

const std::vector<format::ChapterEntry>& entries(BibleHandle* module) {
  return module->chapterIndex;
}

}  // namespace

void refLookup(std::uint32_t* offset, std::uint16_t* verse, Reference reference,
               BibleHandle* module) {
  const auto& index = entries(module);
  for (std::uint32_t i = 0; i < module->realChapters(); ++i) {
    if (index[i].book == reference.book && index[i].chapter == reference.chapter) {
      *offset = index[i].offset;
      *verse = static_cast<std::uint16_t>(index[i].firstVerse + reference.verse - 1);
      return;
    }
  }
}

std::uint16_t referenceToVerse(Reference reference, BibleHandle* module) {
  std::uint32_t offset = 0;
  std::uint16_t verse = 0;  // a chapter not in the module gives verse number 0
  refLookup(&offset, &verse, reference, module);
  return verse;
}

void locateVerse(std::uint32_t* offset, Reference* reference, std::uint16_t verse,
                 BibleHandle* module) {
  const auto& index = entries(module);
  const std::uint16_t verseCount = index.back().firstVerse;
  if (verse >= verseCount) verse = static_cast<std::uint16_t>(verseCount - 1);
  // The first entry starts at verse 0 and the sentinel at verseCount, so the search always
  // ends on the entry e with e.first <= verse < next.first.
  std::uint32_t low = 0;
  std::uint32_t high = module->realChapters() - 1;
  std::uint32_t found = 0;
  while (low <= high) {
    const std::uint32_t middle = (low + high) / 2;
    if (verse < index[middle].firstVerse) {
      high = middle - 1;  // middle > 0 here, since entry 0 starts at verse 0
    } else if (verse >= index[middle + 1].firstVerse) {
      low = middle + 1;
    } else {
      found = middle;
      break;
    }
  }
  const format::ChapterEntry& entry = index[found];
  *offset = entry.offset;
  reference->book = entry.book;
  reference->chapter = entry.chapter;
  reference->verse = static_cast<std::uint8_t>(verse - entry.firstVerse + 1);
}

Reference verseToReference(std::uint16_t verse, BibleHandle* module) {
  std::uint32_t offset = 0;
  Reference reference;
  locateVerse(&offset, &reference, verse, module);
  return reference;
}

// A book not in the module has no name: "".
const char* getBookName(unsigned int book, BibleHandle* module) {
  if (book >= module->bookNames.size()) return "";
  return module->bookNames[book].c_str();
}

std::uint16_t getBooksInBible(BibleHandle* module) {
  return static_cast<std::uint16_t>(module->bookNames.size());
}

int getBookNum(const char* text, BibleHandle* module) {
  if (text == nullptr) text = "";
  std::string copy;
  if (isDigit(text[0])) {
    copy.push_back(text[0]);
    copy.push_back(' ');
    copy.append(text + 1);
  } else {
    copy.assign(text);
  }
  unicode::cut(copy, kBookTextLimit);
  normaliseSpaces(copy);
  // A book is named by any prefix of its name, ignoring case and accents ("génesis", "Genesis"
  // and "gen" all name "Génesis").
  const std::string typed = unicode::folded(copy);
  for (std::size_t book = 0; book < module->bookNames.size(); ++book) {
    if (unicode::folded(module->bookNames[book]).compare(0, typed.size(), typed) == 0)
      return static_cast<int>(book);
  }
  return -1;
}

// A book not in the module has no chapters: 0.
std::uint16_t getChaptersInBook(Reference reference, BibleHandle* module) {
  if (reference.book >= module->bookNames.size()) return 0;
  const auto& index = entries(module);
  const std::uint32_t count = module->realChapters();
  for (std::uint32_t i = 1; i < count; ++i)
    if (index[i].book > reference.book) return index[i - 1].chapter;
  return index[count - 1].chapter;
}

std::uint16_t getVersesInChapter(Reference reference, BibleHandle* module) {
  const auto& index = entries(module);
  const std::uint32_t count = module->realChapters();
  std::uint32_t i = 0;
  while (i < count && index[i].book != reference.book) ++i;
  for (; i < count && index[i].book == reference.book; ++i)
    if (index[i].chapter == reference.chapter)
      return static_cast<std::uint16_t>(index[i + 1].firstVerse - index[i].firstVerse);
  return 0;
}

int parseReference(Reference* out, const char* text, BibleHandle* module) {
  const Reference invalid{0, 1, 1};
  *out = invalid;
  if (text == nullptr) return 0;
  std::string copy(text);
  normaliseSpaces(copy);

  std::size_t separator = copy.find(':');
  if (separator == std::string::npos) separator = copy.find(';');
  if (separator == std::string::npos) separator = copy.find('.');
  if (separator == std::string::npos || separator == 0) return 0;

  std::string verseText = copy.substr(separator + 1);
  normaliseSpaces(verseText);
  Reference reference;
  reference.verse = readNumber(verseText);

  // Back over the spaces and digits of the chapter; what is left, if anything, is the book.
  std::size_t stop = separator - 1;
  while (stop > 0 && copy[stop] == ' ') --stop;
  while (stop > 0 && isDigit(copy[stop])) --stop;
  if (stop == 0) return 0;
  reference.chapter = readNumber(std::string_view(copy).substr(stop + 1, separator - stop - 1));
  reference.book = static_cast<std::uint8_t>(getBookNum(copy.substr(0, stop + 1).c_str(), module));

  if (reference.book >= getBooksInBible(module)) return 0;
  if (reference.chapter < 1 || reference.chapter > getChaptersInBook(reference, module)) return 0;
  if (reference.verse < 1 || reference.verse > getVersesInChapter(reference, module)) return 0;
  *out = reference;
  return 1;
}

// A book not in the module gives the empty text.
char* unparseReference(char* out, Reference reference, BibleHandle* module) {
  if (reference.book >= module->bookNames.size()) {
    out[0] = '\0';
    return out;
  }
  // Names are at most 28 characters, so 40 bytes always hold the result.
  std::snprintf(out, 40, "%s %u:%u", module->bookNames[reference.book].c_str(),
                static_cast<unsigned>(reference.chapter), static_cast<unsigned>(reference.verse));
  return out;
}

int nextChapter(Reference* reference, BibleHandle* module) {
  if (getChaptersInBook(*reference, module) > reference->chapter) {
    ++reference->chapter;
    reference->verse = 1;
    return 1;
  }
  if (reference->book + 1 < getBooksInBible(module)) {
    *reference = Reference{static_cast<std::uint8_t>(reference->book + 1), 1, 1};
    return 1;
  }
  return 0;
}

int prevChapter(Reference* reference, BibleHandle* module) {
  if (reference->chapter > 1) {
    --reference->chapter;
    reference->verse = 1;
    return 1;
  }
  if (reference->book > 0) {
    Reference previous{static_cast<std::uint8_t>(reference->book - 1), 1, 1};
    previous.chapter = static_cast<std::uint8_t>(getChaptersInBook(previous, module));
    *reference = previous;
    return 1;
  }
  return 0;
}

int isOldTestament(BibleHandle* module, Reference reference) {
  return reference.book <= 38 && getBooksInBible(module) >= 65 ? 1 : 0;
}

}  // namespace vellum
