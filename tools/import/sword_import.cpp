// SWORD-backed import commands (sword_import.h).
#include "tools/import/sword_import.h"

#include <localemgr.h>
#include <markupfiltmgr.h>
#include <strings.h>
#include <swlocale.h>
#include <swmgr.h>
#include <swmodule.h>
#include <sys/stat.h>
#include <unistd.h>
#include <versekey.h>
#include <versificationmgr.h>

#include <algorithm>
#include <array>
#include <cctype>
#include <charconv>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <map>
#include <memory>
#include <optional>
#include <regex>
#include <set>

#include "engine/bible/bible.h"
#include "engine/stores/dict.h"
#include "engine/stores/dict_format.h"
#include "support/files.h"
#include "tools/common/tool_args.h"
#include "tools/import/import_util.h"
#include "tools/import/lexicon_writer.h"
#include "tools/import/module_writer.h"
#include "tools/import/osis_books.h"
#include "tools/import/osis_text.h"
#include "tools/import/sword_progress.h"

namespace vellum::import {
namespace {

namespace fs = std::filesystem;

using tools::kExitFailed;
using tools::kExitRefused;
constexpr std::size_t kMaxTopicName = 39;  // typed into 40-character fields

// ---- Command lines ----

using Arguments = tools::ParsedOptions;

// Parses args against the options taking a value and the flags; exactly one file. Returns 0,
// or the usage exit status after reporting.
int parseArguments(const std::vector<std::string>& args, std::initializer_list<const char*> valued,
                   std::initializer_list<const char*> flags, const char* synopsis,
                   Arguments& parsed, std::ostream& err) {
  auto fail = [&](const std::string& problem) {
    return tools::synopsisError(err, "vellum-import", problem, synopsis);
  };
  std::vector<tools::Option> options;
  for (const char* option : valued) options.push_back({option});
  for (const char* flag : flags) options.push_back({flag, false});
  if (auto problem = tools::parseOptions(args, options, "more than one file given", parsed))
    return fail(*problem);
  for (const char* option : valued) {
    if (std::string_view(option) == "--name" || std::string_view(option) == "--books" ||
        std::string_view(option) == "--locale")
      continue;
    if (!parsed.values.contains(option)) return fail(std::string("needs ") + option + " MODULE");
  }
  if (parsed.file.empty()) return fail("needs the file to write or check");
  if (auto books = parsed.values.find("--books");
      books != parsed.values.end() && books->second != "66")
    return fail("--books takes 66 (the books of the Protestant canon)");
  return 0;
}

// The SWORD locale --locale names, whose book names ("es": "Génesis", "1 Corintios") replace
// the English ones, looked up by the English names of the module's versification; null without
// the option or for English. False (reported) for a locale SWORD does not have.
bool bookNamesIn(const Arguments& a, sword::SWLocale*& locale, std::ostream& err) {
  const auto language = a.values.find("--locale");
  locale = nullptr;
  if (language == a.values.end() || language->second == "en") return true;
  locale = sword::LocaleMgr::getSystemLocaleMgr()->getLocale(language->second.c_str());
  if (locale != nullptr) return true;
  err << "vellum-import: --locale " << language->second << ": SWORD has no such locale\n";
  return false;
}

// ---- The library and its modules ----

// A directory removed with its contents when the object goes.
class ScratchDirectory {
 public:
  ScratchDirectory() {
    std::string pattern = (fs::temp_directory_path() / "vellum-sword-XXXXXX").string();
    if (::mkdtemp(pattern.data()) != nullptr) path_ = pattern;
  }
  ~ScratchDirectory() {
    std::error_code ec;
    if (!path_.empty()) fs::remove_all(path_, ec);
  }
  ScratchDirectory(const ScratchDirectory&) = delete;
  ScratchDirectory& operator=(const ScratchDirectory&) = delete;
  const fs::path& path() const { return path_; }

 private:
  fs::path path_;
};

std::uintmax_t fileSizeOr0(const fs::path& path) {
  std::error_code ec;
  const auto size = fs::file_size(path, ec);
  return ec ? 0 : size;
}

// A module opened through the library, with the private configuration it may need.
struct OpenModule {
  std::unique_ptr<ScratchDirectory> privateConfig;
  std::unique_ptr<sword::SWMgr> library;
  sword::SWModule* module = nullptr;
};

std::unique_ptr<sword::SWMgr> newLibrary(const char* configPath, bool plain) {
  sword::SWFilterMgr* filters = plain ? new sword::MarkupFilterMgr(sword::FMT_PLAIN) : nullptr;
  if (configPath == nullptr) return std::make_unique<sword::SWMgr>(filters);
  return std::make_unique<sword::SWMgr>(configPath, true, filters);
}

sword::SWModule* findModule(sword::SWMgr& library, std::string_view name) {
  if (sword::SWModule* exact = library.getModule(std::string(name).c_str())) return exact;
  for (auto& [moduleName, module] : library.getModules()) {
    const char* abbreviation = module->getConfigEntry("Abbreviation");
    if (strcasecmp(moduleName.c_str(), std::string(name).c_str()) == 0 ||
        (abbreviation != nullptr && strcasecmp(abbreviation, std::string(name).c_str()) == 0))
      return module;
  }
  return nullptr;
}

std::string installedModules(sword::SWMgr& library) {
  std::string names;
  for (auto& [moduleName, module] : library.getModules())
    names += (names.empty() ? "" : ", ") + std::string(moduleName.c_str());
  return names.empty() ? "none" : names;
}

// Some packaged commentaries name the driver zCom4 while their verse index holds the 10-byte
// entries of zCom (a zCom4 index entry is 12 bytes). Read as configured, most entries come back
// empty or from the wrong verse. Such a module is opened again through a private copy of its
// configuration that names zCom, with its data reached through a link.
bool needsZComFix(sword::SWModule& module) {
  const char* driver = module.getConfigEntry("ModDrv");
  const char* dataPath = module.getConfigEntry("AbsoluteDataPath");
  if (driver == nullptr || dataPath == nullptr || strcasecmp(driver, "zCom4") != 0) return false;
  for (const char* index : {"ot.bzv", "nt.bzv"}) {
    const auto size = fileSizeOr0(fs::path(dataPath) / index);
    if (size != 0 && size % 12 != 0) return true;
  }
  return false;
}

bool reopenWithZCom(OpenModule& open, const std::string& name, bool plain, std::ostream& err) {
  sword::SWModule& module = *open.module;
  const std::string moduleName = module.getName();
  const fs::path dataPath = module.getConfigEntry("AbsoluteDataPath");
  auto scratch = std::make_unique<ScratchDirectory>();
  std::error_code ec;
  if (scratch->path().empty() || !fs::create_directory(scratch->path() / "mods.d", ec)) {
    err << "vellum-import: " << name << ": cannot make a private configuration directory\n";
    return false;
  }
  fs::create_directory_symlink(dataPath, scratch->path() / "module", ec);
  std::ofstream conf(scratch->path() / "mods.d" / "module.conf");
  conf << "[" << moduleName << "]\n";
  auto& section = open.library->config->getSection(moduleName.c_str());
  for (auto& [key, value] : section) {
    const std::string_view k = key.c_str();
    if (k == "ModDrv" || k == "DataPath" || k == "AbsoluteDataPath" || k == "PrefixPath") continue;
    conf << key.c_str() << "=" << value.c_str() << "\n";
  }
  conf << "ModDrv=zCom\nDataPath=./module/\n";
  conf.close();
  if (ec || !conf) {
    err << "vellum-import: " << name << ": cannot write the private configuration\n";
    return false;
  }
  open.module = nullptr;
  open.library = newLibrary(scratch->path().c_str(), plain);
  open.module = open.library->getModule(moduleName.c_str());
  open.privateConfig = std::move(scratch);
  if (open.module == nullptr) {
    err << "vellum-import: " << name
        << ": cannot open the module through a private configuration\n";
    return false;
  }
  return true;
}

// Opens the module named on the command line, reporting a missing one with what is installed.
bool openModule(const std::string& name, bool plain, OpenModule& open, std::ostream& err) {
  open.library = newLibrary(nullptr, plain);
  open.module = findModule(*open.library, name);
  if (open.module == nullptr) {
    err << "vellum-import: " << name
        << ": no such SWORD module is installed (installed: " << installedModules(*open.library)
        << ")\n";
    return false;
  }
  if (needsZComFix(*open.module)) return reopenWithZCom(open, name, plain, err);
  return true;
}

std::string describe(sword::SWModule& module) {
  const char* description = module.getDescription();
  return description != nullptr ? description : module.getName();
}

// ---- Verses of a Bible module ----

struct PlannedBook {
  int testament = 1;        // SWORD's 1 or 2
  int bookInTestament = 1;  // 1-based within the testament
  const sword::VersificationMgr::Book* book = nullptr;
  std::string name;  // as the module will name it
};

// "I Maccabees" becomes "1 Maccabees": the reference parser reads a number, not a numeral.
std::string arabicBookName(std::string name) {
  static constexpr std::array<std::pair<std::string_view, std::string_view>, 4> kNumerals = {
      {{"IV ", "4 "}, {"III ", "3 "}, {"II ", "2 "}, {"I ", "1 "}}};
  for (const auto& [roman, arabic] : kNumerals)
    if (name.starts_with(roman)) return std::string(arabic) + name.substr(roman.size());
  return name;
}

const sword::VersificationMgr::System* versificationOf(sword::SWModule& module) {
  std::unique_ptr<sword::SWKey> key(module.createKey());
  auto* verseKey = dynamic_cast<sword::VerseKey*>(key.get());
  if (verseKey == nullptr) return nullptr;
  return sword::VersificationMgr::getSystemVersificationMgr()->getVersificationSystem(
      verseKey->getVersificationSystem());
}

std::vector<PlannedBook> planBooks(const sword::VersificationMgr::System& system, bool canonOnly,
                                   int& leftOut, sword::SWLocale* locale = nullptr) {
  std::vector<PlannedBook> books;
  const int otBooks = system.getBMAX()[0];
  leftOut = 0;
  for (int i = 0; i < system.getBookCount(); ++i) {
    const sword::VersificationMgr::Book* book = system.getBook(i);
    const int canon = canonBookIndex(book->getOSISName());
    if (canon < 0 && canonOnly) {
      ++leftOut;
      continue;
    }
    PlannedBook planned;
    planned.testament = i < otBooks ? 1 : 2;
    planned.bookInTestament = i < otBooks ? i + 1 : i - otBooks + 1;
    planned.book = book;
    planned.name = canon >= 0 ? std::string(canonBooks()[canon].displayName)
                              : arabicBookName(book->getLongName());
    if (locale != nullptr) {
      const std::string english = book->getLongName();
      const char* translated = locale->translate(english.c_str());
      if (translated != nullptr && english != translated) planned.name = arabicBookName(translated);
    }
    books.push_back(std::move(planned));
  }
  return books;
}

std::size_t countVerses(const std::vector<PlannedBook>& books) {
  std::size_t n = 0;
  for (const PlannedBook& b : books)
    for (int c = 1; c <= b.book->getChapterMax(); ++c) n += b.book->getVerseMax(c);
  return n;
}

// Calls visit(book, chapter, verse) with the module positioned on each verse in order.
template <typename Visit>
void forEachVerse(sword::SWModule& module, const std::vector<PlannedBook>& books, Visit&& visit) {
  std::unique_ptr<sword::SWKey> key(module.createKey());
  auto& verseKey = dynamic_cast<sword::VerseKey&>(*key);
  verseKey.setIntros(false);
  for (const PlannedBook& b : books) {
    for (int c = 1; c <= b.book->getChapterMax(); ++c) {
      for (int v = 1; v <= b.book->getVerseMax(c); ++v) {
        verseKey.setTestament(static_cast<char>(b.testament));
        verseKey.setBook(static_cast<char>(b.bookInTestament));
        verseKey.setChapter(c);
        verseKey.setVerse(v);
        module.setKey(verseKey);
        visit(b, c, v);
      }
    }
  }
}

std::string referenceText(const VerseLine& v) {
  return v.book + " " + std::to_string(v.chapter) + ":" + std::to_string(v.verse);
}

// ---- Dictionary stores ----

struct StoreItem {
  std::string name;
  std::string data;  // a string item's text, or a binary item's bytes
};

// Builds the store under a temporary name beside outPath, then renames it over outPath. Items
// are string items (stored with their zero) or binary items.
bool writeStore(const std::string& outPath, const std::string& title,
                const std::vector<StoreItem>& items, bool compressed, bool strings,
                std::string& error) {
  const fs::path out(outPath);
  const fs::path directory = out.has_parent_path() ? out.parent_path() : fs::path(".");
  const std::string tempName = "." + out.filename().string() + ".tmp" + std::to_string(::getpid());
  bool written = false;
  {
    DataPathGuard restore;
    set_dpath(directory.string().c_str());
    DictHandle* store = new_dict(tempName.c_str(), title.c_str(), defaultTableSize(items.size()),
                                 compressed ? 1 : 0);
    if (store != nullptr) {
      written = true;
      deferDictCommits(store, true);  // a temporary file: one commit at the close will do
      ProgressBar progress("writing " + out.filename().string(), items.size());
      for (std::size_t i = 0; i < items.size() && written; ++i) {
        const StoreItem& item = items[i];
        written = strings ? add_string_item(store, item.name.c_str(), item.data.c_str())
                          : add_binary_item(store, item.name.c_str(), item.data.data(),
                                            static_cast<std::uint16_t>(item.data.size()));
        if (!written) error = "could not store \"" + item.name + "\"";
        progress.update(i);
      }
      deinit_dict(store);
    } else {
      error = "cannot create the store";
    }
  }
  std::error_code ec;
  const fs::path tempPath = directory / tempName;
  if (written) written = renameDurably(tempPath.string(), out.string());
  if (!written) {
    fs::remove(tempPath, ec);
    if (error.empty()) error = "cannot write the store";
    return false;
  }
  return true;
}

}  // namespace

// ---- bible --sword ----

int runSwordBibleImport(const std::vector<std::string>& args, std::ostream& out,
                        std::ostream& err) {
  constexpr const char* kSynopsis =
      "bible --sword MODULE [--name NAME] [--books 66] [--locale LANG] [--no-strongs] OUT.bib";
  Arguments a;
  if (int status = parseArguments(args, {"--sword", "--name", "--books", "--locale"},
                                  {"--no-strongs"}, kSynopsis, a, err))
    return status;
  const std::string& name = a.values["--sword"];
  OpenModule open;
  if (!openModule(name, false, open, err)) return kExitFailed;
  sword::SWModule& module = *open.module;
  const auto* system = versificationOf(module);
  if (system == nullptr) {
    err << "vellum-import: " << name << ": not a Bible (its entries are not keyed by verse)\n";
    return kExitRefused;
  }
  const bool canonOnly = a.values.contains("--books");
  const bool strongs = !a.flags.contains("--no-strongs");
  sword::SWLocale* locale = nullptr;
  if (!bookNamesIn(a, locale, err)) return kExitFailed;
  int leftOut = 0;
  const std::vector<PlannedBook> books = planBooks(*system, canonOnly, leftOut, locale);
  int beyondCanon = 0;
  for (const PlannedBook& b : books)
    if (canonBookIndex(b.book->getOSISName()) < 0) ++beyondCanon;

  std::vector<VerseLine> verses;
  verses.reserve(countVerses(books));
  ProgressBar progress("reading " + std::string(module.getName()), verses.capacity());
  forEachVerse(module, books, [&](const PlannedBook& b, int chapter, int verse) {
    verses.push_back({b.name, chapter, verse, osisVerseText(module.getRawEntry(), strongs),
                      static_cast<int>(verses.size() + 1)});
    progress.update(verses.size());
  });
  const std::string displayName =
      a.values.contains("--name") ? a.values["--name"] : describe(module);
  std::string error;
  if (!writeModule(displayName, verses, a.file, error)) {
    // The writer names a verse by its place in the list; say which verse that is.
    std::string where = module.getName();
    if (error.starts_with("line ")) {
      int line = 0;
      const char* digits = error.c_str() + 5;
      const auto [end, ec] = std::from_chars(digits, error.c_str() + error.size(), line);
      if (ec == std::errc() && line >= 1 && static_cast<std::size_t>(line) <= verses.size()) {
        where += ": " + referenceText(verses[line - 1]);
        error = std::string(end).starts_with(": ") ? std::string(end + 2) : std::string(end);
      }
    }
    err << "vellum-import: " << where << ": " << error << "\n";
    if (beyondCanon > 0)
      err << "vellum-import: " << module.getName() << " holds " << beyondCanon
          << " books beyond the 66; --books 66 leaves them out\n";
    return kExitRefused;
  }
  out << a.file << ": \"" << displayName << "\" from " << module.getName() << ", " << books.size()
      << " books, " << verses.size() << " verses"
      << (leftOut > 0 ? ", " + std::to_string(leftOut) + " books left out" : std::string())
      << (strongs ? "" : ", without Strong's numbers") << "\n";
  return 0;
}

// ---- check ----

namespace {

std::vector<std::string> wordsOf(std::string_view text) {
  std::vector<std::string> words;
  std::size_t pos = 0;
  while (pos < text.size()) {
    while (pos < text.size() && std::isspace(static_cast<unsigned char>(text[pos]))) ++pos;
    std::size_t end = pos;
    while (end < text.size() && !std::isspace(static_cast<unsigned char>(text[end]))) ++end;
    if (end > pos) words.emplace_back(text.substr(pos, end - pos));
    pos = end;
  }
  return words;
}

std::string joined(const std::vector<std::string>& words, const char* separator) {
  std::string text;
  for (const std::string& w : words) text += (text.empty() ? "" : separator) + w;
  return text;
}

struct ModuleCloser {
  void operator()(BibleHandle* module) const { closeBible(module); }
};

}  // namespace

int runSwordCheck(const std::vector<std::string>& args, std::ostream& out, std::ostream& err) {
  constexpr const char* kSynopsis = "check --sword MODULE [--books 66] [--locale LANG] FILE.bib";
  Arguments a;
  if (int status = parseArguments(args, {"--sword", "--books", "--locale"}, {}, kSynopsis, a, err))
    return status;
  sword::SWLocale* locale = nullptr;
  if (!bookNamesIn(a, locale, err)) return kExitFailed;
  const std::string& name = a.values["--sword"];
  OpenModule open;
  if (!openModule(name, true, open, err)) return kExitFailed;
  sword::SWModule& module = *open.module;
  open.library->setGlobalOption("Strong's Numbers", "Off");
  open.library->setGlobalOption("Footnotes", "Off");
  open.library->setGlobalOption("Cross-references", "Off");
  open.library->setGlobalOption("Headings", "On");  // titles come as the verse's headings
  const auto* system = versificationOf(module);
  if (system == nullptr) {
    err << "vellum-import: " << name << ": not a Bible\n";
    return kExitRefused;
  }

  initBibleModule();
  const std::string_view bare = bareFileName(a.file);
  std::string directory = a.file.substr(0, a.file.size() - bare.size());
  if (directory.empty()) directory = ".";
  if (bare.empty() || bare.size() >= sizeof(bibleName::path)) {
    err << "vellum-import: " << a.file << ": not a module file name\n";
    return kExitFailed;
  }
  DataPathGuard restore;
  set_dpath(directory.c_str());
  bibleName moduleName;
  std::memcpy(moduleName.path, bare.data(), bare.size());
  std::string why;
  std::unique_ptr<BibleHandle, ModuleCloser> bible(openBible(&moduleName, &why));
  if (!bible) {
    err << "vellum-import: cannot open " << a.file << ": " << why << "\n";
    return kExitFailed;
  }
  setStrongs(bible.get(), 0);

  int leftOut = 0;
  const std::vector<PlannedBook> books =
      planBooks(*system, a.values.contains("--books"), leftOut, locale);
  const std::size_t expected = countVerses(books);
  unsigned long bookCount = 0, chapterCount = 0, verseCount = 0, wordCount = 0;
  char stat1 = 0, stat2 = 0;
  long statLong = 0;
  getBibleStats(&stat1, &stat2, &statLong, &bookCount, &chapterCount, &verseCount, &wordCount,
                bible.get());
  if (verseCount != expected) {
    err << "vellum-import: " << a.file << " holds " << verseCount << " verses, " << name << " "
        << expected << "\n";
    return kExitRefused;
  }

  // The module is read a chapter at a time: "N text" lines joined by line feeds.
  std::vector<char> buffer(kChapterBufferSize);
  std::vector<std::string> lines;
  const PlannedBook* linesBook = nullptr;
  int linesChapter = 0;
  std::size_t number = 0;
  int differ = 0, spacing = 0, subscriptions = 0;
  ProgressBar progress("checking " + std::string(module.getName()), expected);
  forEachVerse(module, books, [&](const PlannedBook& b, int chapter, int verse) {
    const std::string reference =
        b.name + " " + std::to_string(chapter) + ":" + std::to_string(verse);
    progress.update(++number);
    if (&b != linesBook || chapter != linesChapter) {
      linesBook = &b;
      linesChapter = chapter;
      lines.clear();
      const auto bookIndex = static_cast<unsigned>(&b - books.data());
      if (b.name == getBookName(bookIndex, bible.get())) {
        std::uint32_t offset = 0;
        std::uint16_t first = 0, length = 0;
        const Reference at{static_cast<std::uint8_t>(bookIndex), static_cast<std::uint8_t>(chapter),
                           1};
        refLookup(&offset, &first, at, bible.get());
        if (chapter <= getChaptersInBook(at, bible.get())) {
          getChapter(buffer.data(), &length, static_cast<std::uint16_t>(buffer.size()), offset,
                     bible.get());
          std::string_view text(buffer.data(), length);
          for (std::size_t pos = 0; pos <= text.size();) {
            std::size_t end = text.find('\n', pos);
            if (end == std::string_view::npos) end = text.size();
            lines.emplace_back(text.substr(pos, end - pos));
            pos = end + 1;
          }
        }
      }
    }
    const std::string prefix = std::to_string(verse);
    if (static_cast<std::size_t>(verse) > lines.size() ||
        !(lines[verse - 1] == prefix || lines[verse - 1].starts_with(prefix + " "))) {
      if (++differ <= 10) err << reference << ": not in the module at its place\n";
      return;
    }
    std::string_view ours = lines[verse - 1];
    ours.remove_prefix(std::min(ours.size(), prefix.size() + 1));
    std::string plain(ours);
    std::erase_if(plain, [](char c) { return c == '[' || c == ']'; });

    // The source's rendering: canonical titles before the verse, then its text.
    std::string theirs;
    const std::string body = module.stripText();
    for (auto& [key, heading] : module.getEntryAttributes()["Heading"]["Preverse"]) {
      const std::string raw = heading.c_str();
      if (raw.find("canonical=\"true\"") == std::string::npos) continue;
      theirs += std::string(module.stripText(raw.c_str())) + " ";
    }
    theirs += body;
    // The source's own square brackets (1 John 2:23's "[but]") mark supplied words too.
    std::erase_if(theirs, [](char c) { return c == '[' || c == ']'; });
    // With Strong's numbers off, SWORD's rendering still shows the second number of a word
    // tagged with two ("¿Conque <H3588> Dios"); it is no word of the text.
    if (theirs.find('<') != std::string::npos) {
      static const std::regex kStrongsLeft(R"(\s*<[HG]\d+[a-z]?>)");
      theirs = std::regex_replace(theirs, kStrongsLeft, "");
    }
    std::vector<std::string> expectedWords = wordsOf(theirs);
    // The source's stray USFM markers are not words of the text.
    std::erase_if(expectedWords, [](const std::string& w) { return w.starts_with("\\"); });
    for (std::string& w : expectedWords) {
      if (const auto marker = w.find('\\'); marker != std::string::npos) w.erase(marker);
    }
    std::erase_if(expectedWords, [](const std::string& w) { return w.empty(); });
    std::vector<std::string> ourWords = wordsOf(plain);
    // Letter case aside: the source's rendering capitalises the divine name only where it is
    // not also a word element ("Lord" becomes "LORD" but "Jah" stays), while the import
    // capitalises it everywhere.
    for (auto* words : {&ourWords, &expectedWords})
      for (std::string& w : *words)
        for (char& c : w) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    if (ourWords == expectedWords) return;
    if (joined(ourWords, "") == joined(expectedWords, "")) {
      ++spacing;
      return;
    }
    // Titles that are not Scripture (the subscriptions after Paul's letters) stand inside the
    // verse in the source's rendering and are left out of the module.
    if (expectedWords.size() > ourWords.size() &&
        std::equal(ourWords.begin(), ourWords.end(), expectedWords.begin())) {
      const std::string raw = module.getRawEntry();
      std::string titles;
      for (std::size_t at = raw.find("<title"); at != std::string::npos;
           at = raw.find("<title", at + 1)) {
        const std::size_t end = raw.find("</title>", at);
        const std::size_t tagEnd = raw.find('>', at);
        if (end == std::string::npos || tagEnd == std::string::npos) break;
        if (raw.substr(at, tagEnd - at).find("canonical=\"true\"") != std::string::npos) continue;
        titles += " " + std::string(module.stripText(raw.substr(at, end + 8 - at).c_str()));
      }
      std::vector<std::string> titleWords = wordsOf(titles);
      for (std::string& w : titleWords)
        for (char& c : w) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
      if (std::equal(titleWords.begin(), titleWords.end(),
                     expectedWords.begin() + static_cast<std::ptrdiff_t>(ourWords.size()),
                     expectedWords.end())) {
        ++subscriptions;
        return;
      }
    }
    if (++differ <= 10)
      err << reference << ":\n  ours:   " << joined(ourWords, " ")
          << "\n  source: " << joined(expectedWords, " ") << "\n";
  });
  if (differ > 0) {
    err << "vellum-import: " << a.file << ": " << differ << " of " << expected
        << " verses differ from " << module.getName() << "\n";
    return kExitRefused;
  }
  out << a.file << ": all " << expected << " verses have the words of " << module.getName();
  if (spacing > 0)
    out << "; " << spacing << " with a blank where a note separated two words in the source";
  if (subscriptions > 0)
    out << "; " << subscriptions << " without the title the source adds after the verse";
  out << "\n";
  return 0;
}

// ---- commentary ----

int runSwordCommentaryImport(const std::vector<std::string>& args, std::ostream& out,
                             std::ostream& err) {
  constexpr const char* kSynopsis = "commentary --sword MODULE OUT.dic";
  Arguments a;
  if (int status = parseArguments(args, {"--sword"}, {}, kSynopsis, a, err)) return status;
  const std::string& name = a.values["--sword"];
  OpenModule open;
  if (!openModule(name, false, open, err)) return kExitFailed;
  sword::SWModule& module = *open.module;
  const auto* system = versificationOf(module);
  if (system == nullptr) {
    err << "vellum-import: " << name << ": not a commentary (its entries are not keyed by verse)\n";
    return kExitRefused;
  }
  int leftOut = 0;
  std::vector<PlannedBook> books = planBooks(*system, true, leftOut);

  std::vector<StoreItem> items;
  std::map<std::string, std::string> chapterText;  // key -> text, filled in order below
  std::string lastRaw, currentKey, text;
  int tooLong = 0;
  ProgressBar progress("reading " + std::string(module.getName()), countVerses(books));
  std::size_t done = 0;
  auto finishChapter = [&] {
    if (currentKey.empty() || text.empty()) return;
    if (text.size() + 1 > dict::kMaxItemLength) {
      ++tooLong;
      err << "vellum-import: " << module.getName() << ": chapter " << currentKey << " holds "
          << text.size() << " bytes of comment, more than a store item holds (65534)\n";
    }
    items.push_back({currentKey, std::move(text)});
    text.clear();
  };
  forEachVerse(module, books, [&](const PlannedBook& b, int chapter, int) {
    progress.update(++done);
    const int bookIndex = canonBookIndex(b.book->getOSISName());
    const std::string key = std::to_string(chapter) + ":" + std::to_string(bookIndex);
    if (key != currentKey) {
      finishChapter();
      currentKey = key;
      lastRaw.clear();
    }
    const std::string raw = module.getRawEntry();
    // A comment on a verse range is linked to each verse of it: keep it once.
    if (raw.empty() || raw == lastRaw) return;
    lastRaw = raw;
    const std::string comment = osisPlainText(raw);
    if (comment.empty()) return;
    if (!text.empty()) text += "\n\n";
    text += comment;
  });
  finishChapter();
  if (tooLong > 0) return kExitRefused;
  std::string error;
  const std::string title = describe(module).substr(0, 79);
  if (!writeStore(a.file, title, items, true, true, error)) {
    err << "vellum-import: " << a.file << ": " << error << "\n";
    return kExitRefused;
  }
  // The commentary window reads a chapter into a 32766-byte buffer; say how many it would cut.
  const auto longer = std::count_if(items.begin(), items.end(), [](const StoreItem& item) {
    return item.data.size() > static_cast<std::size_t>(kMaxChapterText);
  });
  out << a.file << ": \"" << title << "\" from " << module.getName() << ", " << items.size()
      << " chapters, compressed; " << longer << " longer than 32765 bytes\n";
  return 0;
}

// ---- topics ----

namespace {

struct TopicReference {
  std::uint8_t book, chapter, verse;
  auto operator<=>(const TopicReference&) const = default;
};

struct RefPoint {
  int book = -1, chapter = 0, verse = 0;  // chapter or verse 0: the whole book or chapter
};

std::optional<RefPoint> parseRefPoint(std::string_view text) {
  if (const auto colon = text.find(':'); colon != std::string_view::npos)
    text.remove_prefix(colon + 1);
  if (const auto bang = text.find('!'); bang != std::string_view::npos) text = text.substr(0, bang);
  RefPoint point;
  const auto dot1 = text.find('.');
  point.book = canonBookIndex(text.substr(0, dot1));
  if (point.book < 0) return std::nullopt;
  if (dot1 == std::string_view::npos) return point;
  auto number = [](std::string_view digits, int& value) {
    const auto [end, ec] = std::from_chars(digits.data(), digits.data() + digits.size(), value);
    return ec == std::errc() && end == digits.data() + digits.size() && value >= 1;
  };
  const auto dot2 = text.find('.', dot1 + 1);
  if (!number(text.substr(dot1 + 1, dot2 == std::string_view::npos ? std::string_view::npos
                                                                   : dot2 - dot1 - 1),
              point.chapter))
    return std::nullopt;
  if (dot2 != std::string_view::npos && !number(text.substr(dot2 + 1), point.verse))
    return std::nullopt;
  return point;
}

// Adds the verses from first to last (inclusive; whole chapters and books at their ends) in
// the KJV versification. False when a point lies outside it or the range runs backwards.
bool addRange(const sword::VersificationMgr::System& kjv, RefPoint first, RefPoint last,
              std::vector<TopicReference>& refs) {
  auto book = [&](int b) { return kjv.getBook(b); };
  auto valid = [&](const RefPoint& p) {
    return p.book >= 0 && p.book < kCanonBooks && p.chapter <= book(p.book)->getChapterMax() &&
           (p.chapter == 0 || p.verse <= book(p.book)->getVerseMax(p.chapter));
  };
  if (!valid(first) || !valid(last)) return false;
  if (first.chapter == 0) first.chapter = 1;
  if (first.verse == 0) first.verse = 1;
  if (last.chapter == 0) last.chapter = book(last.book)->getChapterMax();
  if (last.verse == 0) last.verse = book(last.book)->getVerseMax(last.chapter);
  auto key = [](const RefPoint& p) { return std::tuple(p.book, p.chapter, p.verse); };
  if (key(last) < key(first)) return false;
  RefPoint p = first;
  for (;;) {
    if (p.chapter > 255 || p.verse > 255) return false;
    refs.push_back({static_cast<std::uint8_t>(p.book), static_cast<std::uint8_t>(p.chapter),
                    static_cast<std::uint8_t>(p.verse)});
    if (key(p) == key(last)) return true;
    if (++p.verse > book(p.book)->getVerseMax(p.chapter)) {
      p.verse = 1;
      if (++p.chapter > book(p.book)->getChapterMax()) {
        p.chapter = 1;
        ++p.book;
      }
    }
  }
}

// The name cut to the topic fields' 39 characters, without blanks or commas left at the end.
std::string cutTopicName(const std::string& name) {
  std::string cut = name.substr(0, kMaxTopicName);
  while (!cut.empty() && (cut.back() == ' ' || cut.back() == ',' || cut.back() == ';'))
    cut.pop_back();
  return cut;
}

}  // namespace

int runSwordTopicsImport(const std::vector<std::string>& args, std::ostream& out,
                         std::ostream& err) {
  constexpr const char* kSynopsis = "topics --sword MODULE OUT.dic";
  Arguments a;
  if (int status = parseArguments(args, {"--sword"}, {}, kSynopsis, a, err)) return status;
  const std::string& name = a.values["--sword"];
  OpenModule open;
  if (!openModule(name, false, open, err)) return kExitFailed;
  sword::SWModule& module = *open.module;
  const auto* kjv =
      sword::VersificationMgr::getSystemVersificationMgr()->getVersificationSystem("KJV");
  for (int i = 0; kjv != nullptr && i < kCanonBooks; ++i) {
    if (kjv->getBook(i) == nullptr || canonBooks()[i].osisName != kjv->getBook(i)->getOSISName())
      kjv = nullptr;
  }
  if (kjv == nullptr) {
    err << "vellum-import: the SWORD library's KJV versification is not the 66 books expected\n";
    return kExitRefused;
  }

  std::map<std::string, std::vector<TopicReference>> topics;  // by stored name
  std::map<std::string, std::string> cutFrom;                 // stored name -> source name
  int entries = 0, cut = 0, badReferences = 0, merged = 0;
  std::string firstBad;
  std::unique_ptr<sword::SWKey> key(module.createKey());
  module.setKey(*key);
  for (module.setPosition(sword::TOP); !module.popError(); module.increment()) {
    ++entries;
    std::string topic = module.getKeyText();
    std::vector<TopicReference> refs;
    readOsisFragment(
        module.getRawEntry(),
        [&](const OsisTag& tag) {
          const std::string_view osisRef = tag.attribute("osisRef");
          std::size_t pos = 0;
          while (pos < osisRef.size()) {
            std::size_t end = osisRef.find(' ', pos);
            if (end == std::string_view::npos) end = osisRef.size();
            const std::string_view one = osisRef.substr(pos, end - pos);
            pos = end + 1;
            if (one.empty()) continue;
            const auto dash = one.find('-');
            const auto first = parseRefPoint(one.substr(0, dash));
            const auto last =
                dash == std::string_view::npos ? first : parseRefPoint(one.substr(dash + 1));
            if (!first || !last || !addRange(*kjv, *first, *last, refs)) {
              if (badReferences++ == 0) firstBad = topic + ": " + std::string(one);
            }
          }
        },
        [](std::string_view) {});
    std::string stored = topic;
    while (!stored.empty() && stored.back() == ' ') stored.pop_back();
    if (stored.empty()) continue;
    if (stored.size() > kMaxTopicName) {
      stored = cutTopicName(stored);
      ++cut;
      err << "vellum-import: " << module.getName() << ": topic \"" << topic << "\" ("
          << topic.size() << " characters) stored as \"" << stored << "\"\n";
    }
    auto& list = topics[stored];
    if (!list.empty() || cutFrom.contains(stored)) {
      ++merged;
      err << "vellum-import: " << module.getName() << ": topic \"" << topic
          << "\" joins the verses of \"" << stored << "\"\n";
    }
    cutFrom[stored] = topic;
    list.insert(list.end(), refs.begin(), refs.end());
  }

  std::vector<StoreItem> items;
  int tooMany = 0;
  std::size_t mostVerses = 0;
  std::string largest;
  for (auto& [topic, refs] : topics) {
    std::sort(refs.begin(), refs.end());
    refs.erase(std::unique(refs.begin(), refs.end()), refs.end());
    if (refs.size() * 3 > 65535) {
      ++tooMany;
      err << "vellum-import: " << module.getName() << ": topic \"" << topic << "\" lists "
          << refs.size() << " verses, more than a store item holds (21845)\n";
    }
    if (refs.size() > mostVerses) mostVerses = refs.size(), largest = topic;
    std::string data;
    data.reserve(refs.size() * 3);
    for (const TopicReference& r : refs) {
      data += static_cast<char>(r.book);
      data += static_cast<char>(r.chapter);
      data += static_cast<char>(r.verse);
    }
    items.push_back({topic, std::move(data)});
  }
  if (tooMany > 0) return kExitRefused;
  if (items.size() > dict::kMaxItems) {
    err << "vellum-import: " << module.getName() << ": " << items.size()
        << " topics, more than a store holds (65535)\n";
    return kExitRefused;
  }
  std::string error;
  const std::string title = describe(module).substr(0, 79);
  if (!writeStore(a.file, title, items, false, false, error)) {
    err << "vellum-import: " << a.file << ": " << error << "\n";
    return kExitRefused;
  }
  out << a.file << ": \"" << title << "\" from " << module.getName() << ", " << items.size()
      << " topics from " << entries << " entries; " << cut << " names cut to 39 characters, "
      << merged << " joined; largest \"" << largest << "\" with " << mostVerses << " verses";
  if (badReferences > 0)
    out << "; " << badReferences
        << " references outside the KJV's verses skipped (first: " << firstBad << ")";
  out << "\n";
  return 0;
}

// ---- lexicon ----

namespace {

bool readStrongsModule(const std::string& name, std::vector<LexiconEntry>& entries,
                       std::ostream& out, std::ostream& err) {
  OpenModule open;
  if (!openModule(name, false, open, err)) return false;
  sword::SWModule& module = *open.module;
  int skipped = 0;
  std::unique_ptr<sword::SWKey> key(module.createKey());
  module.setKey(*key);
  for (module.setPosition(sword::TOP); !module.popError(); module.increment()) {
    const std::string keyText = module.getKeyText();
    unsigned number = 0;
    const auto [end, ec] = std::from_chars(keyText.data(), keyText.data() + keyText.size(), number);
    // Entries not keyed by a number (a module's own notes) and repeats have no place.
    if (ec != std::errc() || end != keyText.data() + keyText.size() || number == 0 ||
        number > 65535 || (!entries.empty() && number <= entries.back().number)) {
      ++skipped;
      continue;
    }
    std::string definition = osisLexiconText(module.getRawEntry());
    if (definition.size() > kMaxDefinitionLength) {
      err << "vellum-import: " << module.getName() << ": entry " << keyText << " holds "
          << definition.size() << " bytes, more than a definition holds (32765)\n";
      return false;
    }
    entries.push_back({static_cast<std::uint16_t>(number), std::move(definition),
                       static_cast<int>(entries.size() + 1)});
  }
  if (entries.empty()) {
    err << "vellum-import: " << module.getName() << ": no entries keyed by Strong's numbers\n";
    return false;
  }
  out << module.getName() << ": " << entries.size() << " entries, 1 to " << entries.back().number
      << (skipped > 0 ? "; " + std::to_string(skipped) + " not numbered in order, skipped" : "")
      << "\n";
  return true;
}

}  // namespace

int runSwordLexiconImport(const std::vector<std::string>& args, std::ostream& out,
                          std::ostream& err) {
  constexpr const char* kSynopsis = "lexicon --sword-hebrew MODULE --sword-greek MODULE OUT.lex";
  Arguments a;
  if (int status = parseArguments(args, {"--sword-hebrew", "--sword-greek"}, {}, kSynopsis, a, err))
    return status;
  std::vector<LexiconEntry> hebrew, greek;
  for (auto [option, table] :
       {std::pair{"--sword-hebrew", &hebrew}, std::pair{"--sword-greek", &greek}}) {
    if (!readStrongsModule(a.values[option], *table, out, err)) {
      const bool missing = findModule(*newLibrary(nullptr, false), a.values[option]) == nullptr;
      return missing ? kExitFailed : kExitRefused;
    }
  }
  std::string error;
  if (!writeLexicon(hebrew, greek, a.file, error)) {
    err << "vellum-import: " << a.file << ": " << error << "\n";
    return kExitRefused;
  }
  out << a.file << ": Hebrew 1 to " << hebrew.back().number << ", Greek 1 to "
      << greek.back().number << "\n";
  return 0;
}

}  // namespace vellum::import
