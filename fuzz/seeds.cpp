// Makes the seed corpora of the fuzz targets from real files:
//   vellum-fuzz-seeds CORPUS_DIR SOURCE_ROOT
// writes CORPUS_DIR/<target>/<seed> for every target: modules built by the importer's writer
// from the sample text, dictionary stores from a slice of Easton's dictionary (../shared/data
// beside the tree; sample verses stand in when it is absent), notes stores, a lexicon, and the
// typed texts of the text target. Each seed is small, so the fuzzer's inputs stay small too.
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <sstream>
#include <string>
#include <vector>

#include "engine/bible/bible.h"
#include "engine/bible/codec.h"
#include "engine/stores/dict.h"
#include "engine/stores/notes.h"
#include "fuzz/fuzz_common.h"
#include "support/files.h"
#include "tools/import/lexicon_writer.h"

using namespace vellum;
namespace fs = std::filesystem;

namespace {

fs::path corpus;

std::string readFile(const fs::path& path) {
  std::ifstream in(path, std::ios::binary);
  return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

void seed(const std::string& target, const std::string& name, const std::string& bytes) {
  fs::create_directories(corpus / target);
  std::ofstream(corpus / target / name, std::ios::binary | std::ios::trunc) << bytes;
}

void fail(const std::string& what) {
  std::fprintf(stderr, "vellum-fuzz-seeds: %s\n", what.c_str());
  std::exit(1);
}

// Lines [first, first + count) of a text.
std::string lines(const std::string& text, std::size_t first, std::size_t count) {
  std::istringstream in(text);
  std::string line, out;
  for (std::size_t i = 0; std::getline(in, line) && i < first + count; ++i)
    if (i >= first) out += line + "\n";
  return out;
}

std::string scratch(const std::string& name) { return fuzz::scratchDir() + "/" + name; }

void moduleSeeds(const std::string& sample, const std::string& typeset) {
  struct Part { const char* seedName; const char* display; std::size_t first, count; };
  // Ruth is lines 0..84, John 85..963, 1 John the rest.
  const Part parts[] = {
      {"ruth1.bib", "Ruth Sample", 0, 22},
      {"ruth-strongs.bib", "King James Version", 0, 40},
      {"john1.bib", "John Sample", 85, 51},
      {"three-books.bib", "King James Version", 0, 6},
  };
  for (const Part& part : parts) {
    std::string vpl = lines(sample, part.first, part.count);
    if (std::string(part.seedName) == "three-books.bib")
      vpl += lines(sample, 85, 6) + lines(sample, 964, 6);
    fuzz::buildScratchModule(part.seedName, part.display, vpl);
    seed("module", part.seedName, readFile(scratch(part.seedName)));
  }
  // Typeset text: a string table of words with accents and typographic apostrophes.
  fuzz::buildScratchModule("typeset.bib", "Typeset Sample", typeset);
  seed("module", "typeset.bib", readFile(scratch("typeset.bib")));
}

void codecSeeds(const std::string& sample) {
  for (std::size_t at : {0u, 3000u, 60000u, 150000u}) {
    for (std::size_t length : {40u, 700u, 4000u}) {
      const std::string text = sample.substr(at, length);
      seed("roundtrip", "sample-" + std::to_string(at) + "-" + std::to_string(length), text);
      std::vector<std::uint8_t> encoded(encodeBound(static_cast<int>(text.size())));
      int encodedLength = 0;
      Encode(encoded.data(), &encodedLength, reinterpret_cast<const std::uint8_t*>(text.data()),
             static_cast<int>(text.size()));
      // Capacity (little-endian), then the stream: the whole text and a cut one.
      for (std::size_t capacity : {text.size(), text.size() / 3}) {
        std::string input;
        input += static_cast<char>(capacity & 0xFF);
        input += static_cast<char>(capacity >> 8 & 0xFF);
        input.append(reinterpret_cast<const char*>(encoded.data()), encodedLength);
        seed("decode", "sample-" + std::to_string(at) + "-" + std::to_string(length) + "-" +
                           std::to_string(capacity),
             input);
      }
    }
  }
}

DictHandle* openOrFail(const std::string& name) {
  DictHandle* store = open_dict(name.c_str());
  if (store == nullptr) fail("cannot open " + name);
  return store;
}

// The string value of the next "field": "..." pair from at, with its escapes \" \\ \n and
// \/ undone (the dictionary's texts use no others); at moves past it. Empty at the end.
std::string nextField(const std::string& json, const std::string& field, std::size_t& at) {
  const std::string key = "\"" + field + "\": \"";
  const std::size_t start = json.find(key, at);
  if (start == std::string::npos) return {};
  std::string value;
  std::size_t i = start + key.size();
  for (; i < json.size() && json[i] != '"'; ++i) {
    if (json[i] == '\\' && i + 1 < json.size()) {
      ++i;
      value += json[i] == 'n' ? '\n' : json[i];
    } else {
      value += json[i];
    }
  }
  at = i;
  return value;
}

DictHandle* newOrFail(const std::string& name, std::uint16_t tableSize, int compressed) {
  DictHandle* store = new_dict(name.c_str(), "Seed", tableSize, static_cast<std::uint8_t>(compressed));
  if (store == nullptr) fail("cannot create " + name);
  return store;
}

void dictSeeds(const std::string& root, const std::string& sample) {
  const std::string eastons = readFile(fs::path(root) / ".." / "shared" / "data" / "eastons.json");
  // The items: the first articles of Easton's dictionary, or sample verses without it.
  std::vector<std::pair<std::string, std::string>> items;
  if (!eastons.empty()) {
    std::size_t at = 0;
    while (items.size() < 25) {
      std::string name = nextField(eastons, "mot", at);
      std::string text = nextField(eastons, "definition", at);
      if (name.empty()) break;
      items.emplace_back(std::move(name), std::move(text));
    }
  }
  if (items.size() < 8) {
    items.clear();
    std::istringstream in(lines(sample, 0, 25));
    std::string line;
    for (int i = 0; std::getline(in, line); ++i)
      items.emplace_back("Ruth 1:" + std::to_string(i + 1), line.substr(line.rfind('\t') + 1));
  }
  std::vector<std::string> built;
  for (std::size_t count : {std::size_t{8}, items.size()}) {
    for (int compress = 0; compress < 2; ++compress) {
      const std::string name = "items-" + std::to_string(count) +
                               (compress ? "-compressed.dic" : ".dic");
      DictHandle* store = newOrFail(name, count == 8 ? 3 : 13, compress);
      deferDictCommits(store, true);
      for (std::size_t i = 0; i < count; ++i)
        add_string_item(store, items[i].first.c_str(), items[i].second.c_str());
      deinit_dict(store);
      built.push_back(name);
    }
  }
  // A store after every kind of change: replaced, renamed, renamed onto another, deleted.
  {
    const std::string& source = built.front();
    fs::copy_file(scratch(source), scratch("changed.dic"), fs::copy_options::overwrite_existing);
    DictHandle* store = openOrFail("changed.dic");
    deferDictCommits(store, true);
    std::span<const std::string> list;
    std::uint16_t count = 0;
    get_item_list(&list, &count, store);
    const std::vector<std::string> names(list.begin(), list.end());
    if (names.size() < 4) fail("the dictionary slice is too small");
    add_string_item(store, names[0].c_str(), "replaced with a shorter text");
    rename_item("Renamed", names[1].c_str(), store);
    rename_item(names[3].c_str(), names[2].c_str(), store);
    const std::uint8_t binary[] = {0, 1, 2, 255, 10, 13, 0};
    add_binary_item(store, "Binary item", binary, sizeof binary);
    delete_item("Renamed", store);
    deinit_dict(store);
    built.push_back("changed.dic");
  }
  for (const std::string& name : built) seed("dict", name, readFile(scratch(name)));
}

void notesSeeds(const std::string& sample) {
  // The notes target's own module: Ruth 1-2 (lines 0..44), so the stores fit its verse count.
  fuzz::buildScratchModule("notes.bib", "Notes Module", lines(sample, 0, 45));
  bibleName name;
  std::snprintf(name.path, sizeof name.path, "notes.bib");
  BibleHandle* module = openBible(&name);
  if (module == nullptr) fail("cannot open notes.bib");
  NotesHandle* notes = VNCreate(module);
  if (notes == nullptr) fail("cannot create notes.vn");
  seed("notes", "empty.vn", readFile(scratch("notes.vn")));
  std::istringstream in(lines(sample, 0, 12));
  std::string line;
  for (std::uint16_t verse = 0; std::getline(in, line); ++verse) {
    const std::string text = line.substr(line.rfind('\t') + 1);
    VNSetNoteByVerse(verse, text.c_str(), notes);
  }
  seed("notes", "twelve.vn", readFile(scratch("notes.vn")));
  VNSetNoteByVerse(1, "a second version of the note", notes);
  VNSetNoteByVerse(1, "a third version", notes);
  VNSetNote("Ruth 2:3", "", notes);
  VNDelNoteByVerse(4, notes);
  VNDelNote("Ruth 1:6", notes);
  seed("notes", "changed.vn", readFile(scratch("notes.vn")));
  VNClose(notes);
  closeBible(module);
}

void lexiconSeeds(const std::string& sample) {
  // Definitions from verse texts: Hebrew 1..12 (with gaps), Greek 1..6.
  std::vector<import::LexiconEntry> hebrew, greek;
  std::istringstream in(lines(sample, 100, 20));
  std::string line;
  for (std::uint16_t i = 0; std::getline(in, line); ++i) {
    import::LexiconEntry entry;
    entry.definition = line.substr(line.rfind('\t') + 1);
    if (i % 2 == 0) entry.definition += "\nsecond line\n\nafter a blank line";
    if (i < 12) {
      entry.number = static_cast<std::uint16_t>(i + 1 + (i > 6 ? 3 : 0));
      hebrew.push_back(entry);
    } else {
      entry.number = static_cast<std::uint16_t>(i - 11);
      greek.push_back(entry);
    }
  }
  std::string error;
  if (!import::writeLexicon(hebrew, greek, scratch("seed.lex"), error)) fail("lexicon: " + error);
  seed("lexicon", "small.lex", readFile(scratch("seed.lex")));
  if (!import::writeLexicon({hebrew.begin(), hebrew.begin() + 2}, {}, scratch("hebrew.lex"),
                            error))
    fail("lexicon: " + error);
  seed("lexicon", "hebrew-only.lex", readFile(scratch("hebrew.lex")));
}

void textSeeds(const std::string& sample) {
  // The first byte picks the routine (the text target's table); the rest is its text.
  const std::vector<std::pair<char, std::string>> texts = {
      {0, "John 3:16"},
      {0, "1 john 1.9"},
      {0, "1jo 5:7"},
      {0, "Ruth 4"},
      {0, "jn 21:25"},
      {0, "Ruth 1:22-23"},
      {1, "l?ve*\nloved"},
      {1, "[a-z]*th\nsaith"},
      {1, "[!^\\]]x\n]x"},
      {1, "*\\*\n*"},
      {1, "[z-a]o*d\nGod"},
      {2, "Robert"},
      {2, "Tymczak"},
      {2, "Pfister"},
      {2, "O'Hara"},
      {3, "love AND god"},
      {3, "(light OR darkness) NOT world"},
      {3, "((a|b)&c)!d"},
      {3, "word OR (the AND NOT was)"},
      {4, "the word\nIn the beginning was the Word, and the Word was with God."},
      {4, "begotten son\nFor God so loved the world, that he gave his only begotten Son"},
      {5 + 8 * 9, "the\nTHE\nand the word was the word"},
      {5 + 8 * 2, "o\noo\nfoo boo moo"},
      {6, "John 3:16\nA note on the verse.\n\nRuth 1:1\nfirst line\r\nsecond line\n"},
      {6, "no such book 9:9\ntext\n\n1 John 1:1\nthat which was from the beginning\n"},
      {7, "In 1722 the 3588 beginning <1234> (5678)"},
      // Bit 3 picks the typeset module: accents, curly quotes, dashes, bytes that are not UTF-8.
      {8 + 0, "Juan 1:3"},
      {8 + 0, "génesis 1:1"},
      {8 + 1, "?feso\nÉfeso"},
      {8 + 1, "coraz[o-ó]n\ncorazón"},
      {8 + 1, "“*\n“Let"},
      {8 + 2, "Éfeso"},
      {8 + 3, "amo and not (él or ca\xFFt)"},
      {8 + 4, "let there be light\nGod said, “Let there be light,” and there was light."},
      {8 + 7, "“‘Behold’” ¿Quién? — Joseph’s ca\xFFt\xC3 \xE2\x80"},
  };
  int i = 0;
  for (const auto& [routine, text] : texts) seed("text", "text-" + std::to_string(i++),
                                                 std::string(1, routine) + text);
  // Verses of the sample as phrase texts and import files.
  seed("text", "verses-phrase", std::string(1, 4) + "loved the world\n" + lines(sample, 100, 3));
  seed("text", "verses-import", std::string(1, 6) + "John 1:1\n" + lines(sample, 85, 4));
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 3) {
    std::fprintf(stderr, "usage: vellum-fuzz-seeds CORPUS_DIR SOURCE_ROOT\n");
    return 2;
  }
  corpus = fs::absolute(argv[1]);
  fs::remove_all(corpus);  // no seed of an earlier build stays behind
  const std::string root = argv[2];
  initBibleModule();
  const std::string sample = readFile(fs::path(root) / "samples" / "kjv-sample.vpl");
  if (sample.empty()) fail("cannot read samples/kjv-sample.vpl");
  const std::string typeset = readFile(fs::path(root) / "samples" / "typeset-sample.vpl");
  if (typeset.empty()) fail("cannot read samples/typeset-sample.vpl");
  moduleSeeds(sample, typeset);
  codecSeeds(sample);
  dictSeeds(root, sample);
  notesSeeds(sample);
  lexiconSeeds(sample);
  textSeeds(sample);
  return 0;
}
