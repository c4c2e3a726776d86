// A damaged module file: openBible, then every reader on what it accepted. The input is the
// whole file; it is written to the scratch directory and opened by its bare name. Whatever the
// bytes, the engine must refuse the file or read it within its bounds.
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "engine/bible/bible.h"
#include "engine/search/boolean.h"
#include "engine/search/search.h"
#include "engine/search/verselist.h"
#include "engine/search/wordlists.h"
#include "fuzz/fuzz_common.h"

using namespace vellum;

namespace {

// The verse list and the word arrays every search is given, as the program gives them.
std::vector<std::uint16_t>& verses() {
  static std::vector<std::uint16_t> list(kVerseListCapacity);
  return list;
}

void searchAll(const char* text, BibleHandle* module) {
  std::uint16_t count = 0;
  std::uint16_t* out = verses().data();
  static std::string words[64];
  std::uint16_t wordCount = 0;
  wordSearch(out, &count, kVerseListCapacity, text, module);
  csWordSearch(out, &count, kVerseListCapacity, text, module);
  phraseSearch(out, &count, kVerseListCapacity, text, module);
  csPhraseSearch(out, &count, kVerseListCapacity, text, module);
  booleanSearch(out, &count, kVerseListCapacity, words, &wordCount, 64, text, 0, module);
  booleanSearch(out, &count, kVerseListCapacity, words, &wordCount, 64, text, 1, module);
  wildCardSearch(out, &count, kVerseListCapacity, words, &wordCount, 64, text, module);
  csWildCardSearch(out, &count, kVerseListCapacity, words, &wordCount, 64, text, module);
  soundexSearch(out, &count, kVerseListCapacity, words, &wordCount, 64, text, module);
  getWildCardWordList(words, &wordCount, 64, text, 0, module);
  getSoundexWordList(words, &wordCount, 64, text, module);
  // A small capacity cuts every list.
  wordSearch(out, &count, 2, text, module);
  wildCardSearch(out, &count, 2, words, &wordCount, 1, text, module);
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
  fuzz::scratchDir();
  initBibleModule();
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (!fuzz::writeScratchFile("fuzzed.bib", data, size)) return 0;
  bibleName name;
  std::snprintf(name.path, sizeof name.path, "fuzzed.bib");
  std::string why;
  BibleHandle* module = openBible(&name, &why);
  if (module == nullptr) return 0;

  bibleName shown;
  getBibleName(&shown, module);
  char s1 = 0, s2 = 0;
  long statLong = 0;
  unsigned long books = 0, chapters = 0, verseCount = 0, wordCount = 0;
  getBibleStats(&s1, &s2, &statLong, &books, &chapters, &verseCount, &wordCount, module);
  hasStrongs(module);

  static char text[kChapterBufferSize];
  std::uint16_t length = 0;
  const std::uint32_t choice = fuzz::mix(data, size);
  setStrongs(module, static_cast<int>(choice & 1));

  // Every chapter of up to a few books, its verses, and the reference round trips.
  const std::uint16_t bookTotal = getBooksInBible(module);
  std::uint16_t lastVerse = 0;
  for (unsigned book = 0; book < bookTotal && book < 6; ++book) {
    getBookName(book, module);
    Reference chapter{static_cast<std::uint8_t>(book), 1, 1};
    const std::uint16_t chapterTotal = getChaptersInBook(chapter, module);
    for (unsigned c = 1; c <= chapterTotal && c <= 8; ++c) {
      chapter.chapter = static_cast<std::uint8_t>(c);
      std::uint32_t offset = 0;
      std::uint16_t verse = 0;
      refLookup(&offset, &verse, chapter, module);
      getChapter(text, &length, kChapterBufferSize, offset, module);
      getChapter(text, &length, kChapterBufferSize, offset, module);  // from the cache
      getChapter(text, &length, 17, offset, module);
      const std::uint16_t inChapter = getVersesInChapter(chapter, module);
      for (unsigned v = 1; v <= inChapter && v <= 40; ++v) {
        Reference reference{static_cast<std::uint8_t>(book), static_cast<std::uint8_t>(c),
                            static_cast<std::uint8_t>(v)};
        const std::uint16_t number = referenceToVerse(reference, module);
        verseToReference(number, module);
        getVerse(text, &length, kChapterBufferSize, number, module);
        char shownReference[64];
        unparseReference(shownReference, reference, module);
        Reference parsed;
        parseReference(&parsed, shownReference, module);
        lastVerse = number;
      }
      isOldTestament(module, chapter);
      Reference step = chapter;
      nextChapter(&step, module);
      prevChapter(&step, module);
    }
  }
  // Verse numbers around and past the end, and a verse text cut short.
  for (std::uint32_t number : {0u, 1u, static_cast<unsigned>(lastVerse) + 1, 31199u, 31200u, 31201u,
                               65535u, choice & 0xFFFF}) {
    getVerse(text, &length, kChapterBufferSize, static_cast<std::uint16_t>(number), module);
    getVerse(text, &length, 9, static_cast<std::uint16_t>(number), module);
    Reference reference = verseToReference(static_cast<std::uint16_t>(number), module);
    std::uint32_t offset = 0;
    locateVerse(&offset, &reference, static_cast<std::uint16_t>(number), module);
  }
  getChapter(text, &length, kChapterBufferSize, choice, module);
  getBookNum("1jo", module);
  getBookNum("", module);
  Reference parsed;
  parseReference(&parsed, "John 3:16", module);

  // Every search kind, on words the module holds and on patterns.
  getVerse(text, &length, kChapterBufferSize, 0, module);
  std::string firstWord;
  for (const char* p = std::strchr(text, ' '); p != nullptr && *++p != '\0' && *p != ' ';)
    firstWord += *p;
  if (!firstWord.empty()) searchAll(firstWord.c_str(), module);
  searchAll("love", module);
  searchAll("the lord", module);
  searchAll("l*e", module);
  searchAll("*th", module);
  searchAll("(god OR lord) AND NOT moab", module);
  std::uint16_t count = 0;
  static std::string some[4] = {"the", "and", "God", "of"};
  wordListSearch(verses().data(), &count, kVerseListCapacity, some, 4, andOp, 0, module);

  closeBible(module);
  return 0;
}
