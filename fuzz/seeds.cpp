// Makes the seed corpora of the fuzz targets from real files:
//   vellum-fuzz-seeds CORPUS_DIR SOURCE_ROOT
// writes CORPUS_DIR/<target>/<seed> for every target: modules built by the importer's writer
// from the sample text, dictionary stores from a slice of Easton's dictionary (../shared/data
// beside the tree; sample verses stand in when it is absent), notes stores, a lexicon, the
// typed texts of the text target, the importers' sources made from the same texts (VPL, OSIS,
// JSON, CSV, lexicon sources, notes files), and the reader's settings as its own code writes
// them ("VLMR20.INI", the options store's search record and book sets). Each seed is small, so
// the fuzzer's inputs stay small too.
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <sstream>
#include <string>
#include <vector>

#include "app/config.h"
#include "app/profile.h"
#include "app/session_record.h"
#include "app/windows/search_record.h"
#include "engine/bible/bible.h"
#include "engine/stores/dict.h"
#include "engine/stores/notes.h"
#include "fuzz/fuzz_common.h"
#include "support/codec.h"
#include "support/endian.h"
#include "support/files.h"
#include "tools/import/lexicon_writer.h"
#include "tools/import/vpl.h"

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
  struct Part {
    const char* seedName;
    const char* display;
    std::size_t first, count;
  };
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
        seed("decode",
             "sample-" + std::to_string(at) + "-" + std::to_string(length) + "-" +
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
  DictHandle* store =
      new_dict(name.c_str(), "Seed", tableSize, static_cast<std::uint8_t>(compressed));
  if (store == nullptr) fail("cannot create " + name);
  return store;
}

using Items = std::vector<std::pair<std::string, std::string>>;

// The first articles of Easton's dictionary, or sample verses without it.
Items dictItems(const std::string& root, const std::string& sample) {
  const std::string eastons = readFile(fs::path(root) / ".." / "shared" / "data" / "eastons.json");
  Items items;
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
  return items;
}

void dictSeeds(const Items& items) {
  std::vector<std::string> built;
  for (std::size_t count : {std::size_t{8}, items.size()}) {
    for (int compress = 0; compress < 2; ++compress) {
      const std::string name =
          "items-" + std::to_string(count) + (compress ? "-compressed.dic" : ".dic");
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
  // The notes target's own module, so the stores fit its verse count.
  BibleHandle* module = fuzz::openNotesModule();
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
  if (!import::writeLexicon({hebrew.begin(), hebrew.begin() + 2}, {}, scratch("hebrew.lex"), error))
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
  for (const auto& [routine, text] : texts)
    seed("text", "text-" + std::to_string(i++), std::string(1, routine) + text);
  // Verses of the sample as phrase texts and import files.
  seed("text", "verses-phrase", std::string(1, 4) + "loved the world\n" + lines(sample, 100, 3));
  seed("text", "verses-import", std::string(1, 6) + "John 1:1\n" + lines(sample, 85, 4));
}

// ---- The importers' sources ----

std::vector<import::VerseLine> verseLines(const std::string& vpl) {
  std::istringstream in(vpl);
  std::vector<import::VerseLine> verses;
  std::string error;
  if (!import::readVpl(in, verses, error)) fail("sample text: " + error);
  return verses;
}

void vplSeeds(const std::string& sample, const std::string& typeset) {
  seed("vpl", "ruth1.vpl", lines(sample, 0, 22));
  seed("vpl", "john1.vpl", lines(sample, 85, 51));
  seed("vpl", "three-books.vpl",
       lines(sample, 0, 4) + lines(sample, 85, 4) + lines(sample, 964, 4));
  seed("vpl", "typeset.vpl", typeset);
  seed("vpl", "bom-crlf-blank.vpl",
       "\xEF\xBB\xBF" + fuzz::withCrLf(lines(sample, 0, 3) + "\n" + lines(sample, 3, 3)));
}

std::string xmlEscaped(const std::string& text) {
  std::string out;
  for (char c : text) {
    if (c == '&')
      out += "&amp;";
    else if (c == '<')
      out += "&lt;";
    else if (c == '>')
      out += "&gt;";
    else if (c == '"')
      out += "&quot;";
    else
      out += c;
  }
  return out;
}

// A verse's text as OSIS markup: each word followed by a Strong's number becomes
// <w lemma="strong:H776">earth.</w>, added words in brackets become <transChange>.
std::string osisMarkup(const std::string& text, char testament) {
  std::istringstream in(text);
  std::vector<std::string> tokens{std::istream_iterator<std::string>(in),
                                  std::istream_iterator<std::string>()};
  std::string out;
  for (std::size_t i = 0; i < tokens.size(); ++i) {
    const std::string& token = tokens[i];
    if (!out.empty()) out += ' ';
    const bool numbered =
        i + 1 < tokens.size() && tokens[i + 1].find_first_not_of("0123456789") == std::string::npos;
    if (token.size() > 2 && token.front() == '[' && token.back() == ']') {
      out += "<transChange type=\"added\">" + xmlEscaped(token.substr(1, token.size() - 2)) +
             "</transChange>";
    } else if (numbered) {
      out += "<w lemma=\"strong:" + std::string(1, testament) + tokens[i + 1] + "\">" +
             xmlEscaped(token) + "</w>";
      ++i;
    } else {
      out += xmlEscaped(token);
    }
  }
  return out;
}

std::string osisId(const std::string& book) {
  std::string id;
  for (char c : book)
    if (c != ' ') id += c;
  return id;
}

// An OSIS file of the verses: containers, or milestones when asked.
std::string osisFile(const std::vector<import::VerseLine>& verses, bool milestones) {
  std::string out =
      "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<osis><osisText osisIDWork=\"KJV\">\n";
  std::string book;
  int chapter = 0;
  for (const import::VerseLine& v : verses) {
    const std::string id =
        osisId(v.book) + "." + std::to_string(v.chapter) + "." + std::to_string(v.verse);
    if (v.book != book || v.chapter != chapter) {
      if (chapter != 0) out += "</chapter>\n";
      if (v.book != book && !book.empty()) out += "</div>\n";
      if (v.book != book) out += "<div type=\"book\" osisID=\"" + osisId(v.book) + "\">\n";
      out += "<chapter osisID=\"" + osisId(v.book) + "." + std::to_string(v.chapter) + "\">\n";
      book = v.book;
      chapter = v.chapter;
    }
    const std::string text = osisMarkup(v.text, v.book == "Ruth" ? 'H' : 'G');
    if (milestones)
      out += "<verse sID=\"" + id + "\" osisID=\"" + id + "\"/>" + text + "<verse eID=\"" + id +
             "\"/>\n";
    else
      out += "<verse osisID=\"" + id + "\">" + text + "</verse>\n";
  }
  return out + "</chapter>\n</div>\n</osisText></osis>\n";
}

void osisSeeds(const std::string& sample) {
  seed("osis", "ruth1.xml", osisFile(verseLines(lines(sample, 0, 12)), false));
  seed("osis", "john1-milestones.xml", osisFile(verseLines(lines(sample, 85, 12)), true));
  seed("osis", "three-books.xml",
       osisFile(verseLines(lines(sample, 0, 3) + lines(sample, 85, 3) + lines(sample, 964, 3)),
                false));
  // The markup a real Bible carries beside its words.
  seed("osis", "markup.xml",
       "<?xml version=\"1.0\"?>\n<osis><osisText><div type=\"book\" osisID=\"Ps\">"
       "<chapter osisID=\"Ps.3\"><title type=\"psalm\" canonical=\"true\">A Psalm of David, "
       "when he fled from Absalom his son.</title>\n<verse osisID=\"Ps.3.1\"><divineName>Lord"
       "</divineName>, how are they increased<note type=\"x-study\">Or, <hi type=\"italic\">"
       "many</hi></note> that trouble me!</verse>\n<verse osisID=\"Ps.3.2 Ps.3.3\"><l>Many "
       "[there be] &amp; &#x2019;s</l><lb/><l>Selah.</l></verse>\n<verse osisID=\"Ps.3.4\">"
       "<w lemma=\"strong:H06963 lemma.TR:x\">voice</w> \\nd LORD\\nd*</verse>"
       "<chapter eID=\"Ps.3\"/>glossary</chapter></div>\n<div type=\"book\" osisID=\"Tob\">"
       "<chapter osisID=\"Tob.1\"><verse osisID=\"Tob.1.1\">The book</verse></chapter></div>"
       "</osisText></osis>\n");
}

std::string jsonString(const std::string& text) {
  std::string out = "\"";
  for (char c : text) {
    if (c == '"' || c == '\\') out += '\\';
    if (c == '\n')
      out += "\\n";
    else
      out += c;
  }
  return out + "\"";
}

std::string csvField(const std::string& text) {
  std::string out = "\"";
  for (char c : text) {
    if (c == '"') out += '"';
    out += c;
  }
  return out + "\"";
}

void dictSourceSeeds(const std::string& root, const Items& items) {
  for (std::size_t count : {std::size_t{3}, items.size()}) {
    std::string json = "[\n", csv = "Name,Text\r\n";
    for (std::size_t i = 0; i < count && i < items.size(); ++i) {
      json += std::string(i ? ",\n" : "") + "  {\n    \"mot\": " + jsonString(items[i].first) +
              ",\n    \"definition\": " + jsonString(items[i].second) + "\n  }";
      csv += csvField(items[i].first) + "," + csvField(items[i].second) + "\r\n";
    }
    seed("dictjson", "items-" + std::to_string(count) + ".json", json + "\n]\n");
    seed("dictcsv", "items-" + std::to_string(count) + ".csv", csv);
  }
  seed("dictjson", "escapes.json",
       "\xEF\xBB\xBF[{\"mot\": \"Caf\\u00e9\", \"definition\": \"\\ud83d\\ude00 a\\tb\\/c\", "
       "\"n\": -1.5e3, \"x\": null, \"y\": true},\n {\"mot\": \"caf\\u00c9\", \"definition\": "
       "\"again\"}, {\"definition\": \"no name\"}, {\"mot\": 3, \"definition\": \"\"}]");
  seed("dictcsv", "quotes.csv",
       "Name,Text\n\"A, B\",\"line one\r\nline \"\"two\"\"\"\n\nplain,text\nthree,col,umns\n");
  const std::string hitchcock =
      readFile(fs::path(root) / ".." / "shared" / "data" / "hitchcock.csv");
  if (!hitchcock.empty()) seed("dictcsv", "hitchcock.csv", lines(hitchcock, 0, 40));
}

void lexiconSourceSeeds(const std::string& sample) {
  // Definitions from verse texts; the Hebrew source, a NUL, then the Greek one.
  std::istringstream in(lines(sample, 100, 12));
  std::string line, hebrew, greek;
  for (int i = 0; std::getline(in, line); ++i) {
    const std::string text = line.substr(line.rfind('\t') + 1);
    if (i < 8)
      hebrew += (i % 3 == 0 ? "H" : "") + std::to_string(i * 2 + 1) + "\n" + text + "\n\n";
    else
      greek += "g0" + std::to_string(i - 7) + "\n  " + text + "\n  26\nsecond line\n";
  }
  seed("lexsource", "both.txt", hebrew + '\0' + greek);
  seed("lexsource", "crlf.txt",
       "\xEF\xBB\xBF" + fuzz::withCrLf(hebrew) + '\0' + fuzz::withCrLf(greek));
}

void notesImportSeeds(const std::string& sample) {
  std::string text;
  std::istringstream in(lines(sample, 0, 10));
  std::string line;
  for (int i = 0; std::getline(in, line); ++i) {
    const std::string note = line.substr(line.rfind('\t') + 1);
    text += "Ruth 1:" + std::to_string(i + 1) + "\n" + note + "\n" +
            (i % 2 ? "a second line\n" : "") + "\n";
  }
  seed("notesimport", "ruth1.txt", text);
  seed("notesimport", "crlf.txt", fuzz::withCrLf(text));
  seed("notesimport", "odd.txt",
       "\n\nruth 2:3\n\t \nRuth 9:9\nno such verse\n\nJohn 3:16\nnot in this module\n\n"
       "Ru 1:4\nlast entry without a line end");
}

// ---- The reader's settings ----

void settingsSeeds(const std::string& sample) {
  const std::string ini = profilePath(kIniFile);
  const auto take = [&](const std::string& name) {
    const std::string text = readFile(ini);
    seed("profile", name, text);
    seed("session", name, text);
  };
  fs::remove(ini);
  setScreenFontName("DejaVu Serif");
  setScreenFontSize(14);
  setPrinterFontName("Times New Roman");
  setPrinterFontSize(10);
  bibleName bible{};
  std::snprintf(bible.name, sizeof bible.name, "King James Version");
  std::snprintf(bible.path, sizeof bible.path, "kjv.bib");
  writeDefaultBible(&bible);
  for (const char* key : {"Xmin", "Ymin", "Xext", "Yext"})
    writePrivateProfileString("WindowPos", key, key[0] == 'X' ? "4294967288" : "480", kIniFile);
  setCopyOption("INCLUDE_BOOK_AND_CHAPTER", true);
  setCopyOption("COPY_AS_PARAGRAPH", false);
  take("settings.ini");
  ui::SessionRecord first;
  first.file = "kjv.bib";
  first.reference = Reference{7, 1, 16};
  first.x = 10;
  first.y = 20;
  first.width = 640;
  first.height = 480;
  ui::SessionRecord second = first;
  second.file = "web, 2nd.bib";
  second.selectionAnchor = 3;
  second.selectionEnd = 9;
  second.topWord = 120;
  second.strongs = true;
  second.state = 1;
  ui::writeSession({first, second}, 2);
  take("session.ini");
  // Edited by hand: line ends of another system, comments, a repeated section, odd blanks.
  const std::string edited = fuzz::withCrLf(readFile(ini)) +
                             "; a comment\n[ session ]\nWINDOW3 = 0,1,1,-1,-1,-1,0,0,0,1,1,2,x\n"
                             "[FONTS]\nSCREEN_FONT_SIZE=10.5\n" +
                             lines(sample, 0, 1);
  seed("profile", "edited.ini", edited);
  seed("session", "edited.ini", edited);
  fs::remove(ini);
}

void searchRecordSeeds() {
  ui::SearchRecord record;
  record.scope = ui::kBookSetId;
  for (std::uint32_t kind = ui::kKindVerse; kind <= ui::kKindExpression; ++kind) {
    ui::SearchRecord r = record;
    r.kind = kind;
    if (kind == ui::kKindVerse) r.book = 42, r.chapter = 3, r.verse = 16;
    if (kind == ui::kKindTopic) r.topic = "Faith";
    if (kind == ui::kKindPhrase) r.text = "living water", r.scope = ui::kVersesFoundId;
    if (kind == ui::kKindWords) {
      r.words = {"love", "", "hate"};
      r.operator1 = ui::kAnd1;
      r.operator2 = ui::kAndNot2;
    }
    if (kind == ui::kKindExpression) r.text = "(love or hate) not god";
    const std::vector<std::uint8_t> bytes = r.encode();
    seed("srchdlg", "kind-" + std::to_string(kind), std::string(bytes.begin(), bytes.end()));
  }
}

void bookSetSeeds() {
  for (int command : {309, 310, 315}) {
    ui::BookFlags flags = ui::bookSetFlags(command);
    if (command == 310) flags[7] = flags[42] = flags[61] = 1;
    std::string bytes(1, '\4');
    std::vector<std::uint8_t> items;  // WHICHBOOKS, then SEARCHBOOKS
    le::put32(items, static_cast<std::uint32_t>(command));
    for (std::uint32_t flag : flags) le::put32(items, flag);
    bytes.append(items.begin(), items.end());
    seed("booksets", "set-" + std::to_string(command), bytes);
  }
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 3) {
    std::fprintf(stderr, "usage: vellum-fuzz-seeds CORPUS_DIR SOURCE_ROOT\n");
    return 2;
  }
  corpus = fs::absolute(argv[1]);
  // The reader's settings are written by its own code into a configuration directory here.
  fuzz::useScratchConfigDirectory();
  fs::remove_all(corpus);  // no seed of an earlier build stays behind
  const std::string root = argv[2];
  initBibleModule();
  const std::string sample = readFile(fs::path(root) / "samples" / "kjv-sample.vpl");
  if (sample.empty()) fail("cannot read samples/kjv-sample.vpl");
  const std::string typeset = readFile(fs::path(root) / "samples" / "typeset-sample.vpl");
  if (typeset.empty()) fail("cannot read samples/typeset-sample.vpl");
  moduleSeeds(sample, typeset);
  codecSeeds(sample);
  const Items items = dictItems(root, sample);
  dictSeeds(items);
  notesSeeds(sample);
  lexiconSeeds(sample);
  textSeeds(sample);
  vplSeeds(sample, typeset);
  osisSeeds(sample);
  dictSourceSeeds(root, items);
  lexiconSourceSeeds(sample);
  notesImportSeeds(sample);
  settingsSeeds(sample);
  searchRecordSeeds();
  bookSetSeeds();
  return 0;
}
