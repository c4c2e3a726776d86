// vellum-import: builds data files from public-domain sources.
//
//   vellum-import bible --vpl FILE --name "DISPLAY NAME" OUT.bib
//   vellum-import dict (--json FILE --key FIELD --value FIELD | --csv FILE) --title TITLE
//                      [--table-size N] [--compress] OUT.dic
//   vellum-import lexicon --hebrew SRC --greek SRC OUT.lex
//   vellum-import notes --bible FILE.bib NOTES.txt
//
// Exit status: 0 built, 1 the input was refused or the output could not be written (nothing
// is left at OUT then), 2 the command line was wrong.
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <iostream>
#include <string>
#include <string_view>
#include <vector>

#include "tools/import/dict_import.h"
#include "tools/import/module_writer.h"
#include "tools/import/store_import.h"
#include "tools/import/vpl.h"

namespace {

constexpr int kExitRefused = 1;
constexpr int kExitUsage = 2;

constexpr const char* kUsage =
    "usage: vellum-import bible --vpl FILE --name \"DISPLAY NAME\" OUT.bib\n"
    "       vellum-import dict (--json FILE --key FIELD --value FIELD | --csv FILE)\n"
    "                          --title TITLE [--table-size N] [--compress] OUT.dic\n"
    "       vellum-import lexicon --hebrew SRC --greek SRC OUT.lex\n"
    "       vellum-import notes --bible FILE.bib NOTES.txt\n"
    "\n"
    "  bible    build a Bible module from verse-per-line text: one verse a line,\n"
    "           BOOK<TAB>CHAPTER<TAB>VERSE<TAB>TEXT, UTF-8, in canonical order\n"
    "  dict     build a dictionary store from a JSON array of objects or a two-column CSV\n"
    "  lexicon  build the Strong's lexicon from Hebrew and Greek source texts\n"
    "  notes    import verse notes into a module's notes store\n";

int usage(const std::string& problem) {
  if (!problem.empty()) std::fprintf(stderr, "vellum-import: %s\n", problem.c_str());
  std::fputs(kUsage, stderr);
  return kExitUsage;
}

int fail(const std::string& where, const std::string& error) {
  std::fprintf(stderr, "vellum-import: %s%s\n", where.empty() ? "" : (where + ": ").c_str(),
               error.c_str());
  return kExitRefused;
}

int importBible(const std::vector<std::string_view>& args) {
  std::string vplPath, name, outPath;
  bool haveName = false;
  for (std::size_t i = 0; i < args.size(); ++i) {
    std::string_view arg = args[i];
    if (arg == "--vpl" || arg == "--name") {
      if (i + 1 == args.size()) return usage(std::string(arg) + " needs a value");
      (arg == "--vpl" ? vplPath : name) = args[++i];
      if (arg == "--name") haveName = true;
    } else if (arg.starts_with("-") && arg.size() > 1) {
      return usage("unknown option " + std::string(arg));
    } else if (outPath.empty()) {
      outPath = arg;
    } else {
      return usage("more than one output file");
    }
  }
  if (vplPath.empty()) return usage("bible needs --vpl FILE");
  if (!haveName) return usage("bible needs --name \"DISPLAY NAME\"");
  if (outPath.empty()) return usage("bible needs the output file OUT.bib");

  std::ifstream in(vplPath, std::ios::binary);
  if (!in) return fail(vplPath, std::string("cannot open: ") + std::strerror(errno));
  std::vector<vellum::import::VerseLine> lines;
  std::string error;
  if (!vellum::import::readVpl(in, lines, error)) return fail(vplPath, error);
  // Errors naming an input line belong to the input; the others to the output.
  if (!vellum::import::writeModule(name, lines, outPath, error))
    return fail(error.starts_with("line ") ? vplPath : std::string(), error);
  return 0;
}

}  // namespace

int main(int argc, char** argv) {
  std::vector<std::string_view> args(argv + 1, argv + argc);
  if (args.empty()) return usage("");
  if (args[0] == "-h" || args[0] == "--help") {
    std::fputs(kUsage, stdout);
    return 0;
  }
  if (args[0] == "bible") return importBible({args.begin() + 1, args.end()});
  const std::vector<std::string> rest(args.begin() + 1, args.end());
  if (args[0] == "dict") return vellum::import::runDictImport(rest, std::cout, std::cerr);
  if (args[0] == "lexicon") return vellum::import::runLexiconImport(rest, std::cout, std::cerr);
  if (args[0] == "notes") return vellum::import::runNotesImport(rest, std::cout, std::cerr);
  return usage("unknown command " + std::string(args[0]));
}
