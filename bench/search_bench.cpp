// Search benchmarks: each search kind, in process, on a whole-Bible-sized module.
//
// The King James Version of the data set is searched when it is there, and the World English
// Bible and the Reina-Valera 1909 beside it; without the data set the module is generated: the
// 31102 verses of the King James versification, about 790,000 words drawn from a vocabulary of
// about 13,000 words with a Zipf-like distribution (the word of rank r is drawn with weight 1/r),
// built with the importer's own module writer. The draw is seeded, so every run searches the same
// module.
//
//   search_bench [benchmark flags]     run the benchmarks
//   search_bench --write-module DIR    only write DIR/bench.bib (for bench/compare.sh)
#include <benchmark/benchmark.h>

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <map>
#include <random>
#include <sstream>
#include <string>
#include <unordered_set>
#include <vector>

#include "engine/bible/bible.h"
#include "engine/search/boolean.h"
#include "engine/search/search.h"
#include "engine/search/verselist.h"
#include "engine/search/wordlists.h"
#include "support/files.h"
#include "tools/import/module_writer.h"
#include "tools/import/vpl.h"

namespace {

using namespace vellum;

constexpr int kVocabularySize = 13000;
constexpr int kTotalWords = 790000;
constexpr const char* kModuleFile = "bench.bib";

// The common words of an English Bible, most frequent first.
constexpr const char* kCommonWords[] = {
    "the",     "and",      "of",      "to",    "that",  "in",      "he",    "shall",  "unto",
    "I",       "his",      "a",       "for",   "they",  "be",      "is",    "him",    "LORD",
    "not",     "them",     "it",      "with",  "all",   "thou",    "thy",   "was",    "which",
    "my",      "me",       "said",    "but",   "ye",    "their",   "have",  "will",   "thee",
    "from",    "as",       "are",     "when",  "this",  "out",     "were",  "upon",   "man",
    "by",      "you",      "Israel",  "king",  "son",   "up",      "there", "hath",   "then",
    "people",  "came",     "had",     "house", "into",  "on",      "her",   "come",   "one",
    "we",      "children", "before",  "your",  "also",  "day",     "land",  "men",    "so",
    "against", "went",     "no",      "who",   "if",    "because", "at",    "saith",  "let",
    "now",     "go",       "do",      "heart", "earth", "heaven",  "light", "word",   "spirit",
    "faith",   "works",    "grace",   "peace", "glory", "cometh",  "goeth", "maketh", "giveth",
    "knoweth", "sitteth",  "walketh", "life",  "loved"};

// The searched words at the ranks that give them about their frequency in the King James
// Version (the word of rank r occurs about 79,000 / r times here).
struct PlacedWord {
  const char* word;
  std::size_t rank;
};
constexpr PlacedWord kPlacedWords[] = {
    {"God", 18},     {"love", 255},   {"live", 290},    {"beginning", 720}, {"lived", 800},
    {"hate", 900},   {"Love", 1500},  {"lovest", 2500}, {"Robert", 3000},   {"Rupert", 3500},
    {"seeth", 1200}, {"teeth", 1700}, {"loveth", 2000}, {"hateth", 2200},   {"Ruben", 6000}};

// Syllables for the rest of the vocabulary; endings give the table realistic runs of suffixes.
constexpr const char* kOnsets[] = {"b", "c", "d",  "f",  "g",  "h",  "j",  "k",
                                   "l", "m", "n",  "p",  "r",  "s",  "t",  "v",
                                   "w", "z", "br", "ch", "sh", "th", "st", "gl"};
constexpr const char* kVowels[] = {"a", "e", "i", "o", "u", "ai", "ea", "ou"};
constexpr const char* kEndings[] = {"", "eth", "est", "ed", "s", "ing", "er", "ah", "im", "ite"};

std::vector<std::string> vocabulary() {
  std::vector<std::string> words;
  std::unordered_set<std::string> seen;
  auto add = [&](const std::string& word) {
    if (seen.insert(word).second) words.push_back(word);
  };
  for (const char* word : kCommonWords) add(word);
  std::mt19937 random(1611);
  while (words.size() < kVocabularySize) {
    std::string word;
    const int syllables = 1 + static_cast<int>(random() % 3);
    for (int s = 0; s < syllables; ++s) {
      word += kOnsets[random() % std::size(kOnsets)];
      word += kVowels[random() % std::size(kVowels)];
    }
    word += kEndings[random() % std::size(kEndings)];
    if (random() % 6 == 0) word[0] = static_cast<char>(word[0] - 'a' + 'A');  // a proper name
    add(word);
  }
  for (const PlacedWord& placed : kPlacedWords) {
    if (!seen.insert(placed.word).second) continue;
    words.insert(words.begin() + static_cast<std::ptrdiff_t>(placed.rank - 1), placed.word);
    words.pop_back();
  }
  return words;
}

std::string generatedVpl() {
  std::ifstream table(VELLUM_TEST_DATA_DIR "/kjv-versification.txt");
  std::vector<std::pair<std::string, std::vector<int>>> books;
  std::string line;
  int verseCount = 0;
  while (std::getline(table, line)) {
    if (line.empty() || line[0] == '#') continue;
    const std::size_t tab = line.find('\t');
    std::istringstream counts(line.substr(tab + 1));
    std::vector<int> chapters;
    for (int verses = 0; counts >> verses;) {
      chapters.push_back(verses);
      verseCount += verses;
    }
    books.emplace_back(line.substr(0, tab), chapters);
  }
  const std::vector<std::string> words = vocabulary();
  std::vector<double> weights(words.size());
  for (std::size_t r = 0; r < words.size(); ++r) weights[r] = 1.0 / static_cast<double>(r + 1);
  std::discrete_distribution<std::size_t> draw(weights.begin(), weights.end());
  std::mt19937 random(3116);
  const int perVerse = kTotalWords / std::max(verseCount, 1);

  std::string out;
  int verseNumber = 0;
  for (const auto& [book, chapters] : books) {
    for (std::size_t c = 0; c < chapters.size(); ++c) {
      for (int v = 1; v <= chapters[c]; ++v, ++verseNumber) {
        std::string text;
        const int length = perVerse - 6 + static_cast<int>(random() % 13);
        for (int i = 0; i < length; ++i) {
          std::string word = words[draw(random)];
          if (i == 0 && word[0] >= 'a' && word[0] <= 'z') word[0] = static_cast<char>(word[0] - 32);
          if (!text.empty()) text += ' ';
          text += word;
          if (random() % 9 == 0) text += ',';
        }
        // A few verses hold the phrase, some of them only inside a longer word.
        if (verseNumber % 997 == 0) text = "In the beginning " + text;
        if (verseNumber % 1499 == 0) text += " within the beginning";
        out += book + '\t' + std::to_string(c + 1) + '\t' + std::to_string(v) + '\t' + text + ".\n";
      }
    }
  }
  return out;
}

bool writeGeneratedModule(const std::string& directory) {
  std::istringstream in(generatedVpl());
  std::vector<import::VerseLine> lines;
  std::string error;
  const std::string path = (std::filesystem::path(directory) / kModuleFile).string();
  if (!import::readVpl(in, lines, error) ||
      !import::writeModule("Generated Bench Bible", lines, path, error)) {
    std::cerr << "search_bench: cannot build " << path << ": " << error << "\n";
    return false;
  }
  return true;
}

// An imported translation of the data set (scripts/prepare-data.sh) by its file name, or null
// when the data set does not hold it. The handles stay open for the whole run.
BibleHandle* dataModule(const std::string& file) {
  static std::map<std::string, BibleHandle*> open;
  if (auto found = open.find(file); found != open.end()) return found->second;
  BibleHandle* opened = nullptr;
  if (std::filesystem::exists(std::filesystem::path(VELLUM_DATA_DIR) / file)) {
    set_dpath(VELLUM_DATA_DIR);
    bibleName name;
    std::snprintf(name.path, sizeof name.path, "%s", file.c_str());
    opened = openBible(&name);
  }
  open[file] = opened;
  return opened;
}

// The imported King James Version when it is there, else a generated module of the same size.
BibleHandle* kjvModule() {
  static BibleHandle* module = [] {
    if (BibleHandle* kjv = dataModule("kjv.bib")) {
      std::fprintf(stderr, "searching %s/kjv.bib\n", VELLUM_DATA_DIR);
      return kjv;
    }
    const std::filesystem::path directory =
        std::filesystem::temp_directory_path() / "vellum-search-bench";
    std::filesystem::create_directories(directory);
    if (!std::filesystem::exists(directory / kModuleFile) &&
        !writeGeneratedModule(directory.string()))
      std::exit(1);
    set_dpath(directory.c_str());
    bibleName name;
    std::snprintf(name.path, sizeof name.path, "%s", kModuleFile);
    BibleHandle* opened = openBible(&name);
    if (opened == nullptr) std::exit(1);
    std::fprintf(stderr, "searching %s\n", (directory / kModuleFile).c_str());
    return opened;
  }();
  return module;
}

using Searcher = std::uint16_t* (*)(std::uint16_t*, std::uint16_t*, std::uint16_t, const char*,
                                    BibleHandle*);
using WordListSearcher = std::uint16_t* (*)(std::uint16_t*, std::uint16_t*, std::uint16_t,
                                            std::string*, std::uint16_t*, std::uint16_t,
                                            const char*, BibleHandle*);

void runSearch(benchmark::State& state, BibleHandle* module, Searcher search, const char* text) {
  std::vector<std::uint16_t> out(kVerseListCapacity);
  std::uint16_t count = 0;
  for (auto _ : state) {
    search(out.data(), &count, kVerseListCapacity, text, module);
    benchmark::DoNotOptimize(out.data());
  }
  state.counters["verses"] = count;
}

void runWordListSearch(benchmark::State& state, BibleHandle* module, WordListSearcher search,
                       const char* text) {
  std::vector<std::uint16_t> out(kVerseListCapacity);
  std::vector<std::string> words(kVerseListCapacity);
  std::uint16_t count = 0, wordCount = 0;
  for (auto _ : state) {
    search(out.data(), &count, kVerseListCapacity, words.data(), &wordCount, kVerseListCapacity,
           text, module);
    benchmark::DoNotOptimize(out.data());
  }
  state.counters["verses"] = count;
  state.counters["words"] = wordCount;
}

void runBooleanSearch(benchmark::State& state, BibleHandle* module, const char* expression) {
  std::vector<std::uint16_t> out(kVerseListCapacity);
  std::vector<std::string> words(8);
  std::uint16_t count = 0, wordCount = 0;
  for (auto _ : state) {
    booleanSearch(out.data(), &count, kVerseListCapacity, words.data(), &wordCount, 8, expression,
                  0, module);
    benchmark::DoNotOptimize(out.data());
  }
  state.counters["verses"] = count;
}

// The searches of one translation: the same kinds, with words that translation holds.
struct Queries {
  const char* word;
  const char* phrase;
  const char* expression;
  const char* wildcardInside;
  const char* wildcardTail;
  const char* soundAlike;
};

void registerSearches(const std::string& prefix, BibleHandle* (*module)(), const Queries& q) {
  auto add = [&](const char* name, auto run) {
    benchmark::RegisterBenchmark((prefix + name).c_str(), [module, run](benchmark::State& state) {
      run(state, module());
    })->Unit(benchmark::kMillisecond);
  };
  add("WordSearch",
      [q](benchmark::State& s, BibleHandle* m) { runSearch(s, m, wordSearch, q.word); });
  add("CsWordSearch",
      [q](benchmark::State& s, BibleHandle* m) { runSearch(s, m, csWordSearch, q.word); });
  add("PhraseSearch",
      [q](benchmark::State& s, BibleHandle* m) { runSearch(s, m, phraseSearch, q.phrase); });
  add("BooleanSearch",
      [q](benchmark::State& s, BibleHandle* m) { runBooleanSearch(s, m, q.expression); });
  add("WildCardSearchInside", [q](benchmark::State& s, BibleHandle* m) {
    runWordListSearch(s, m, wildCardSearch, q.wildcardInside);
  });
  add("WildCardSearchTail", [q](benchmark::State& s, BibleHandle* m) {
    runWordListSearch(s, m, wildCardSearch, q.wildcardTail);
  });
  add("SoundexSearch", [q](benchmark::State& s, BibleHandle* m) {
    runWordListSearch(s, m, soundexSearch, q.soundAlike);
  });
}

}  // namespace

int main(int argc, char** argv) {
  if (argc == 3 && std::strcmp(argv[1], "--write-module") == 0)
    return writeGeneratedModule(argv[2]) ? 0 : 1;
  // The King James Version's names keep the figures comparable with earlier runs (BM_...); the
  // typeset WEB and the accented Spanish text are searched when the data set holds them.
  registerSearches(
      "BM_", kjvModule,
      {"love", "in the beginning", "(love or hate) not god", "l?ve", "*eth", "Robert"});
  if (dataModule("web.bib") != nullptr)
    registerSearches(
        "WEB_", [] { return dataModule("web.bib"); },
        {"behold", "let there be light", "(love or hate) not god", "l?t", "*eth", "Robert"});
  if (dataModule("sparv.bib") != nullptr)
    registerSearches(
        "SPARV_", [] { return dataModule("sparv.bib"); },
        {"AMO", "de tal manera", "(amor or odio) not dios", "coraz?n", "*ción", "Efeso"});
  benchmark::Initialize(&argc, argv);
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  return 0;
}
