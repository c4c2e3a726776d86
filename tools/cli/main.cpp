// vellum-cli: the engine from the command line.
//
//   vellum-cli [-d DIR]... [-b FILE] COMMAND [ARGUMENTS]
//
// Global options come before the command: each -d adds a data directory (searched in the
// order given; without any, the current directory and then the standard places of an
// installed data set: the user's, the shared ones, the installation's), -b names the module by
// its bare file name (kjv.bib by default). Each command is one entry of kCommands with its own
// argument parser, so a new command is one function and one table row.
//
// Exit status: 0 done (a search that finds nothing included), 1 nothing found by a look-up, a
// change refused (a store being changed by another program, a name in use) or the output could
// not be written, 2 a usage error, a reference that does not parse, or a file that cannot be
// opened (each with a message on standard error).
#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <iostream>
#include <memory>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "engine/bible/bible.h"
#include "support/files.h"
#include "tools/cli/lookup_dict.h"
#include "tools/cli/parallel_commands.h"
#include "tools/cli/search_commands.h"
#include "tools/cli/store_commands.h"
#include "tools/common/tool_args.h"

namespace {

using vellum::BibleHandle;
using vellum::tools::kExitFailed;

struct Options {
  std::vector<std::string> dataDirectories;
  std::string moduleFile = "kjv.bib";
};

struct Command {
  std::string_view name;
  std::string_view synopsis;
  int (*run)(const Options&, std::span<const std::string_view>);
};

int runShow(const Options& options, std::span<const std::string_view> args);
int runLookup(const Options& options, std::span<const std::string_view> args);
int runNotes(const Options& options, std::span<const std::string_view> args);
int runTopics(const Options& options, std::span<const std::string_view> args);
int runSearch(const Options& options, std::span<const std::string_view> args);
int runWords(const Options& options, std::span<const std::string_view> args);
int runList(const Options& options, std::span<const std::string_view> args);

constexpr Command kCommands[] = {
    {"show",
     "show [--chapter] [--strongs] REFERENCE\n"
     "      print a verse (\"John 3:16\"), or with --chapter the chapter that holds it;\n"
     "      --strongs keeps the Strong's numbers of a module that has them\n"
     "  show --parallel FILE,FILE[,...] [--chapter] [--strongs] REFERENCE\n"
     "      print the verse (or each verse of the chapter) in every module named, one line\n"
     "      each: REFERENCE (NAME) TEXT, or (not in this translation)",
     runShow},
    {"lookup",
     "lookup dict STORE WORD | lookup list STORE | lookup strongs hebrew|greek NUMBER\n"
     "      look a word up in a dictionary store (trying its plural and possessive forms),\n"
     "      list a store's names, or show a Strong's definition from lexicon.lex",
     runLookup},
    {"notes",
     "notes get|set|delete REFERENCE [TEXT] | notes chapter REFERENCE |\n"
     "      notes search PHRASE | notes import FILE\n"
     "      read and change the verse notes of the module chosen with -b",
     runNotes},
    {"topics",
     "topics list | show NAME | add NAME [REFERENCE...] | remove NAME REFERENCE... |\n"
     "      rename OLD NEW | delete NAME\n"
     "      read and change the topical index topics.dic; each REFERENCE is one argument\n"
     "      (\"John 3:16\"), parsed against the module chosen with -b",
     runTopics},
    {"search",
     "search word|csword|phrase|csphrase|expr|wildcard|cswildcard|soundex TEXT\n"
     "      print the verses found, one reference a line",
     runSearch},
    {"words",
     "words wildcard|cswildcard|soundex PATTERN\n"
     "      print the module's words that match the pattern or sound like the word",
     runWords},
    {"list", "list\n      print the modules found along the data path: file name, tab, name",
     runList},
};

std::string usageText() {
  std::string text =
      "usage: vellum-cli [-d DIR]... [-b FILE] COMMAND [ARGUMENTS]\n"
      "       vellum-cli --help | --version\n"
      "  -d DIR    a data directory (repeatable, searched in order; default: the current\n"
      "            directory, then $XDG_DATA_HOME/vellum, vellum under each of\n"
      "            $XDG_DATA_DIRS and the installation's share/vellum/data)\n"
      "  -b FILE   the module's bare file name (default: kjv.bib)\n"
      "commands:\n";
  for (const Command& command : kCommands) text.append("  ").append(command.synopsis) += '\n';
  return text;
}

int usageError(const std::string& problem) {
  return vellum::tools::usageError(std::cerr, "vellum-cli", problem, usageText());
}

struct ModuleCloser {
  void operator()(BibleHandle* module) const { vellum::closeBible(module); }
};
using Module = std::unique_ptr<BibleHandle, ModuleCloser>;

void setDataPath(const Options& options) {
  std::string dataPath;
  for (const std::string& directory : options.dataDirectories)
    dataPath += (dataPath.empty() ? "" : ";") + directory;
  if (dataPath.empty()) {
    // New stores and changed copies of shared ones go to the user's data directory.
    dataPath = ".";
    for (const std::string& directory :
         vellum::setStandardDataDirectories(vellum::executableDirectory()))
      dataPath += ";" + directory;
  }
  vellum::set_dpath(dataPath.c_str());
}

std::vector<std::string> toStrings(std::span<const std::string_view> args) {
  return {args.begin(), args.end()};
}

// Sets the data path from the options and opens the module; on failure says which file, why
// and where it was looked for.
Module openModule(const Options& options) {
  setDataPath(options);

  vellum::bibleName name;
  std::snprintf(name.path, sizeof name.path, "%s", options.moduleFile.c_str());
  std::string why;
  Module module(vellum::openBible(&name, &why));
  if (!module) {
    std::fprintf(stderr, "vellum-cli: cannot open %s: %s (data path: %s)\n", name.path,
                 why.empty() ? "unknown reason" : why.c_str(), vellum::get_dpath().c_str());
  }
  return module;
}

int writeLine(const char* text) {
  if (std::puts(text) < 0 || std::fflush(stdout) != 0) {
    std::fprintf(stderr, "vellum-cli: cannot write the output: %s\n", std::strerror(errno));
    return vellum::tools::kExitRefused;
  }
  return 0;
}

// The module files of --parallel: "kjv.bib,web.bib" (empty names are usage errors).
std::vector<std::string> splitFiles(std::string_view list) {
  std::vector<std::string> files;
  for (std::size_t start = 0; start <= list.size();) {
    std::size_t comma = list.find(',', start);
    if (comma == std::string_view::npos) comma = list.size();
    files.emplace_back(list.substr(start, comma - start));
    start = comma + 1;
  }
  return files;
}

int runShow(const Options& options, std::span<const std::string_view> args) {
  bool chapter = false;
  bool strongs = false;
  std::optional<std::vector<std::string>> parallel;
  std::string referenceText;
  for (std::size_t i = 0; i < args.size(); ++i) {
    const std::string_view arg = args[i];
    if (arg == "--chapter") {
      chapter = true;
    } else if (arg == "--strongs") {
      strongs = true;
    } else if (arg == "--parallel") {
      if (i + 1 == args.size()) return usageError("show: --parallel needs FILE,FILE[,...]");
      parallel = splitFiles(args[++i]);
      if (parallel->size() < 2 ||
          std::ranges::any_of(*parallel, [](const std::string& f) { return f.empty(); }))
        return usageError("show: --parallel needs two or more file names separated by commas");
    } else if (arg.starts_with("--")) {
      return usageError("show: unknown option " + std::string(arg));
    } else {
      // The reference may come as one argument or several ("John" "3:16").
      if (!referenceText.empty()) referenceText += ' ';
      referenceText += arg;
    }
  }
  if (referenceText.empty()) return usageError("show needs a REFERENCE");
  if (parallel) {
    setDataPath(options);
    return vellum::runShowParallel(*parallel, referenceText, chapter, strongs, std::cout,
                                   std::cerr);
  }

  Module module = openModule(options);
  if (!module) return kExitFailed;
  vellum::Reference reference;
  if (!vellum::parseReference(&reference, referenceText.c_str(), module.get())) {
    std::fprintf(stderr, "%s is not a valid reference\n", referenceText.c_str());
    return kExitFailed;
  }
  vellum::setStrongs(module.get(), strongs ? 1 : 0);

  std::vector<char> text(vellum::kChapterBufferSize);
  std::uint16_t length = 0;
  const auto size = static_cast<std::uint16_t>(text.size());
  if (chapter) {
    std::uint32_t offset = 0;
    std::uint16_t verse = 0;
    vellum::refLookup(&offset, &verse, reference, module.get());
    vellum::getChapter(text.data(), &length, size, offset, module.get());
  } else {
    std::uint16_t verse = vellum::referenceToVerse(reference, module.get());
    vellum::getVerse(text.data(), &length, size, verse, module.get());
  }
  return writeLine(text.data());
}

int runLookup(const Options& options, std::span<const std::string_view> args) {
  setDataPath(options);
  if (!args.empty() && args[0] == "strongs")
    return vellum::cli::runLookupStrongs(toStrings(args.subspan(1)), std::cout, std::cerr);
  return vellum::cli::runLookupDict(toStrings(args), std::cout, std::cerr);
}

int runNotes(const Options& options, std::span<const std::string_view> args) {
  setDataPath(options);
  // A store in a directory that is not to be written changes as the user's own copy.
  if (!args.empty() && (args[0] == "set" || args[0] == "delete" || args[0] == "import")) {
    vellum::prepareToChange(
        vellum::changeExtension(vellum::bareFileName(options.moduleFile), ".vn").c_str());
  }
  return vellum::cli::runNotes(toStrings(args), options.moduleFile, std::cout, std::cerr);
}

int runTopics(const Options& options, std::span<const std::string_view> args) {
  setDataPath(options);
  // The topical index changes as the user's own copy when it lies where it is not to be written.
  if (!args.empty() && args[0] != "list" && args[0] != "show")
    vellum::prepareToChange("topics.dic");
  return vellum::cli::runTopics(toStrings(args), options.moduleFile, std::cout, std::cerr);
}

int runSearch(const Options& options, std::span<const std::string_view> args) {
  setDataPath(options);
  return vellum::runSearch(toStrings(args), options.moduleFile, std::cout, std::cerr);
}

int runWords(const Options& options, std::span<const std::string_view> args) {
  setDataPath(options);
  return vellum::runWords(toStrings(args), options.moduleFile, std::cout, std::cerr);
}

int runList(const Options& options, std::span<const std::string_view> args) {
  setDataPath(options);
  return vellum::runList(toStrings(args), std::cout, std::cerr);
}

}  // namespace

int main(int argc, char** argv) {
  const std::vector<std::string_view> args(argv + 1, argv + argc);
  Options options;
  std::size_t i = 0;
  for (; i < args.size() && args[i].starts_with("-"); ++i) {
    std::string_view option = args[i];
    if (option == "-h" || option == "--help") {
      std::cout << usageText();
      return 0;
    }
    if (option == "--version") {
      std::puts("vellum-cli " VELLUM_VERSION);
      return 0;
    }
    if (option != "-d" && option != "-b")
      return usageError("unknown option " + std::string(option));
    if (i + 1 == args.size()) return usageError(std::string(option) + " needs a value");
    std::string value(args[++i]);
    if (option == "-d") {
      // The data path separates its directories with ';', so one cannot be part of a name.
      if (value.empty() || value.find(';') != std::string::npos)
        return usageError("-d needs a directory name without ';'");
      options.dataDirectories.push_back(std::move(value));
    } else {
      if (value.empty() || value.size() >= sizeof(vellum::bibleName::path))
        return usageError("-b needs a file name of 1 to 79 characters");
      options.moduleFile = std::move(value);
    }
  }
  if (i == args.size()) return usageError("no command given");
  vellum::initBibleModule();
  for (const Command& command : kCommands) {
    if (command.name == args[i]) return command.run(options, std::span(args).subspan(i + 1));
  }
  return usageError("unknown command " + std::string(args[i]));
}
