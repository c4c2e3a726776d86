// Typed text: references, wildcard patterns, the reverse comparisons, sound-alike codes, boolean
// expressions, the phrase finders, the word rules, replStr and notes import files. The first byte
// of the input picks the routine; the rest is its text, cut at line feeds where a routine takes
// several. Two modules are searched, built at start-up: the sample text (Ruth, John, 1 John with
// Strong's numbers), and the typeset sample (the WEB's curly quotes and apostrophes, accented
// Spanish under a Spanish book name) with a verse of bytes that are not UTF-8; the input's bit
// 3 picks one.
#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "engine/bible/bible.h"
#include "engine/search/boolean.h"
#include "engine/search/search.h"
#include "engine/search/verselist.h"
#include "engine/search/wordlists.h"
#include "engine/stores/notes.h"
#include "fuzz/fuzz_common.h"
#include "support/match.h"
#include "support/strings.h"
#include "support/unicode.h"

using namespace vellum;

namespace {

BibleHandle* module = nullptr;
BibleHandle* modules[2] = {};

// The part of text up to the first line feed; text keeps what follows it.
std::string takeLine(std::string& text) {
  const std::size_t end = text.find('\n');
  std::string line = text.substr(0, end);
  text = end == std::string::npos ? std::string() : text.substr(end + 1);
  return line;
}

std::vector<std::uint16_t>& verses() {
  static std::vector<std::uint16_t> list(kVerseListCapacity);
  return list;
}

void references(const std::string& text) {
  Reference reference;
  if (parseReference(&reference, text.c_str(), module) == 1) {
    char shown[64];
    unparseReference(shown, reference, module);
    Reference again;
    if (parseReference(&again, shown, module) != 1 || !(again == reference)) std::abort();
  }
  getBookNum(text.c_str(), module);
}

int sign(int value) { return (value > 0) - (value < 0); }

// Two different words compare one way round and the other way back; a word never compares
// equal to itself, and words alike but for case or accents are equal folded, so those are left,
// as are empty words, which the callers never pass.
void reverseOrders(const char* a, const char* b) {
  if (*a == '\0' || *b == '\0' || std::strcmp(a, b) == 0) return;
  if (sign(reverseStrCmp(a, b)) != -sign(reverseStrCmp(b, a)) ||
      sign(reverseStrnCmp(a, b, 3)) != -sign(reverseStrnCmp(b, a, 3)))
    std::abort();
  if (_stricmp(a, b) == 0) return;
  if (sign(reverseStriCmp(a, b)) != -sign(reverseStriCmp(b, a)) ||
      sign(reverseStrniCmp(a, b, 3)) != -sign(reverseStrniCmp(b, a, 3)))
    std::abort();
}

void patterns(std::string text) {
  const std::string pattern = takeLine(text);
  reverseOrders(pattern.c_str(), text.c_str());
  const int result = matche(pattern.c_str(), text.c_str());
  if (match(pattern.c_str(), text.c_str()) != (result == MATCH_VALID ? 1 : 0)) std::abort();
  int error = 0;
  is_valid_pattern(pattern.c_str(), &error);
  is_pattern(pattern.c_str());
  willMatchEverything(pattern.c_str());
  std::string words[32];
  std::uint16_t count = 0;
  getWildCardWordList(words, &count, 32, pattern.c_str(), 0, module);
  getWildCardWordList(words, &count, 32, pattern.c_str(), 1, module);
}

void soundAlike(const std::string& text) {
  char code[5];
  soundex(code, text.c_str());
  if (std::strlen(code) != 4) std::abort();
  std::string words[32];
  std::uint16_t count = 0;
  getSoundexWordList(words, &count, 32, text.c_str(), module);
}

void expressions(const std::string& text) {
  booleanPostfix(text.c_str());
  std::string words[64];
  std::uint16_t wordCount = 0, count = 0;
  booleanSearch(verses().data(), &count, kVerseListCapacity, words, &wordCount, 64, text.c_str(), 0,
                module);
  if (count >= kVerseListCapacity || wordCount > 64) std::abort();
  booleanSearch(verses().data(), &count, 3, words, &wordCount, 2, text.c_str(), 1, module);
  if (count > 2 || wordCount > 2) std::abort();
}

void phrases(std::string text) {
  const std::string phrase = takeLine(text);
  if (!phrase.empty()) {
    unsigned int length = 0;
    const char* at = strnpstr(&length, text.c_str(), phrase.c_str());
    if (at != nullptr && (at < text.c_str() || at + length > text.c_str() + text.size()))
      std::abort();
    at = strinpstr(&length, text.c_str(), phrase.c_str());
    if (at != nullptr && (at < text.c_str() || at + length > text.c_str() + text.size()))
      std::abort();
  }
  std::uint16_t count = 0;
  phraseSearch(verses().data(), &count, kVerseListCapacity, phrase.c_str(), module);
  csPhraseSearch(verses().data(), &count, kVerseListCapacity, phrase.c_str(), module);
}

void replacements(std::string text, std::uint8_t limitByte) {
  const std::string from = takeLine(text);
  const std::string to = takeLine(text);
  const unsigned short limit = static_cast<unsigned short>(limitByte) * 4;
  // The buffer is exactly limit + 1 bytes, so a write past it is caught.
  std::unique_ptr<char[]> buffer(new char[limit + 1u]);
  const std::size_t kept = text.size() < limit ? text.size() : limit;
  std::memcpy(buffer.get(), text.data(), kept);
  buffer[kept] = '\0';
  replStr(buffer.get(), from.c_str(), to.c_str(), limit);
  if (std::strlen(buffer.get()) > limit) std::abort();
}

void imports(const std::string& text) {
  if (!fuzz::writeScratchFile("import.txt", text)) return;
  NotesHandle* notes = VNCreate(module);
  if (notes == nullptr) return;
  int reported = 0;
  const int stored = VNImport("import.txt", notes, [&](int, const std::string&) { ++reported; });
  if (stored < -1) std::abort();
  std::vector<char> out(32767);
  std::uint16_t length = 0;
  VNGetNotesForChapter(out.data(), &length, 32767, "John 1", notes);
  std::uint16_t list[41], count = 0;
  VNPhraseSearch(list, &count, 40, "the", notes);
  VNClose(notes);
}

// The word rules hold their promises for any bytes: trimming and splitting leave no
// punctuation at a word's ends and never an empty word, folding is stable, a cut never splits
// a character, and a text holds itself as a phrase wherever it has a word to search for.
bool endsInPunctuation(const std::string& word) {
  std::string copy = word;
  stripLeadingPunctuation(copy);
  stripTrailingPunctuation(copy);
  return copy != word;
}

void wordRules(const std::string& text) {
  std::string trimmed = text;
  trim(trimmed);
  if (endsInPunctuation(trimmed)) std::abort();
  for (const std::string& word : splitWords(text))
    if (word.empty() || endsInPunctuation(word)) std::abort();
  const std::string folded = unicode::folded(text);
  if (unicode::folded(folded) != folded) std::abort();
  if (_stricmp(text.c_str(), folded.c_str()) != 0) std::abort();
  for (std::size_t limit : {std::size_t{1}, text.size() / 2, text.size()}) {
    const std::size_t cut = unicode::prefixLength(text, limit);
    if (cut > limit || cut > text.size()) std::abort();
    if (cut < text.size() && cut + unicode::decode(text, cut).length <= limit) std::abort();
  }
  // A word of combining marks alone (after punctuation) has no search form and is never found.
  const std::vector<std::string> words = splitWords(text);
  const bool searchable = std::any_of(words.begin(), words.end(), [](const std::string& word) {
    return !unicode::folded(word).empty();
  });
  if (searchable && !holdsPhrase(text, text, true, true)) std::abort();
}

void strongsText(const std::string& text) {
  std::string copy = text;
  killStrongs(copy.data());
  copy = text;
  formatStrongs(copy.data());
  std::string trimmed = text;
  trim(trimmed);
  removePunctuation(trimmed);
  normaliseSpaces(trimmed);
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
  fuzz::scratchDir();
  initBibleModule();
  fuzz::buildScratchModule("text.bib", "King James Version",
                           fuzz::readSourceFile("samples/kjv-sample.vpl"));
  fuzz::buildScratchModule("typeset.bib", "Typeset Sample",
                           fuzz::readSourceFile("samples/typeset-sample.vpl") +
                               "Juan\t1\t6\tla ca\xFFt\xC3 \xE2\x80 \xF0\x9F\x93 fin\n");
  const char* files[2] = {"text.bib", "typeset.bib"};
  for (int i = 0; i < 2; ++i) {
    bibleName name;
    std::snprintf(name.path, sizeof name.path, "%s", files[i]);
    modules[i] = openBible(&name);
    if (modules[i] == nullptr) std::abort();
  }
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (size < 1 || size > 4096) return 0;
  // Texts are NUL-terminated everywhere in the engine: a NUL ends the text.
  std::string text(reinterpret_cast<const char*>(data + 1), size - 1);
  text = text.c_str();
  module = modules[(data[0] >> 3) & 1];
  switch (data[0] % 8) {
    case 0:
      references(text);
      break;
    case 1:
      patterns(text);
      break;
    case 2:
      soundAlike(text);
      break;
    case 3:
      expressions(text);
      break;
    case 4:
      phrases(text);
      break;
    case 5:
      replacements(text, data[0]);
      break;
    case 6:
      imports(std::string(reinterpret_cast<const char*>(data + 1), size - 1));
      break;
    default:
      strongsText(text);
      wordRules(text);
      break;
  }
  return 0;
}
