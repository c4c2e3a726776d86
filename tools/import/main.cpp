// vellum-import: builds data files from public-domain sources.
//
//   vellum-import bible --vpl FILE --name "DISPLAY NAME" OUT.bib
//   vellum-import bible --osis FILE.xml --name "DISPLAY NAME" [--books 66] [--no-strongs] OUT.bib
//   vellum-import bible --sword MODULE [--name NAME] [--books 66] [--locale LANG] [--no-strongs]
//   OUT.bib vellum-import check --sword MODULE [--books 66] [--locale LANG] FILE.bib vellum-import
//   commentary --sword MODULE OUT.dic vellum-import topics --sword MODULE OUT.dic vellum-import
//   dict (--json FILE --key FIELD --value FIELD | --csv FILE) --title TITLE
//                      [--table-size N] [--compress] OUT.dic
//   vellum-import lexicon --hebrew SRC --greek SRC OUT.lex
//   vellum-import lexicon --sword-hebrew MODULE --sword-greek MODULE OUT.lex
//   vellum-import notes --bible FILE.bib NOTES.txt
//
// Exit status: 0 built, 1 the input was refused or the output could not be written (nothing
// is left at OUT then), 2 the command line was wrong.
#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <iostream>
#include <string>
#include <string_view>
#include <vector>

#include "tools/common/tool_args.h"
#include "tools/import/dict_import.h"
#include "tools/import/module_writer.h"
#include "tools/import/osis_file.h"
#include "tools/import/store_import.h"
#include "tools/import/sword_import.h"
#include "tools/import/vpl.h"

namespace {

using vellum::tools::kExitRefused;

constexpr const char* kUsage =
    "usage: vellum-import bible --vpl FILE --name \"DISPLAY NAME\" OUT.bib\n"
    "       vellum-import bible --osis FILE.xml --name \"DISPLAY NAME\" [--books 66]\n"
    "                           [--no-strongs] OUT.bib\n"
    "       vellum-import bible --sword MODULE [--name NAME] [--books 66] [--locale LANG]\n"
    "                           [--no-strongs] OUT.bib\n"
    "       vellum-import check --sword MODULE [--books 66] [--locale LANG] FILE.bib\n"
    "       vellum-import commentary --sword MODULE OUT.dic\n"
    "       vellum-import topics --sword MODULE OUT.dic\n"
    "       vellum-import dict (--json FILE --key FIELD --value FIELD | --csv FILE)\n"
    "                          --title TITLE [--table-size N] [--compress] OUT.dic\n"
    "       vellum-import lexicon --hebrew SRC --greek SRC OUT.lex\n"
    "       vellum-import lexicon --sword-hebrew MODULE --sword-greek MODULE OUT.lex\n"
    "       vellum-import notes --bible FILE.bib NOTES.txt\n"
    "       vellum-import --help | --version\n"
    "\n"
    "  bible    build a Bible module from verse-per-line text (one verse a line,\n"
    "           BOOK<TAB>CHAPTER<TAB>VERSE<TAB>TEXT, UTF-8, in canonical order), an OSIS\n"
    "           XML file or an installed SWORD module; --books 66 leaves out the books\n"
    "           beyond the Protestant canon, --no-strongs the Strong's numbers,\n"
    "           --locale the language of the book names (SWORD's locales: es, de, ...)\n"
    "  check    compare every verse of a module with the SWORD module it was built from\n"
    "  commentary  build the chapter commentary store from a SWORD commentary\n"
    "  topics   build the topic store from a SWORD topical index\n"
    "  dict     build a dictionary store from a JSON array of objects or a two-column CSV\n"
    "  lexicon  build the Strong's lexicon from Hebrew and Greek source texts or SWORD\n"
    "           Strong's dictionaries\n"
    "  notes    import verse notes into a module's notes store\n";

int usage(const std::string& problem) {
  return vellum::tools::usageError(std::cerr, "vellum-import", problem, kUsage);
}

int fail(const std::string& where, const std::string& error) {
  std::fprintf(stderr, "vellum-import: %s%s\n", where.empty() ? "" : (where + ": ").c_str(),
               error.c_str());
  return kExitRefused;
}

std::string onlyTheCanon(std::string_view books) {
  return books == "66" ? "" : "--books takes 66 (the books of the Protestant canon)";
}

int importBible(const std::vector<std::string>& args) {
  static constexpr vellum::tools::Option kOptions[] = {
      {"--vpl"}, {"--osis"}, {"--name"}, {"--books", true, onlyTheCanon}, {"--no-strongs", false}};
  vellum::tools::ParsedOptions parsed;
  if (auto problem =
          vellum::tools::parseOptions(args, kOptions, "more than one output file", parsed))
    return usage(*problem);
  const std::string& vplPath = parsed.values["--vpl"];
  const std::string& osisPath = parsed.values["--osis"];
  const std::string& outPath = parsed.file;
  vellum::import::OsisReadOptions osis;
  osis.canonOnly = parsed.values.contains("--books");
  osis.strongs = !parsed.flags.contains("--no-strongs");
  if (vplPath.empty() == osisPath.empty())
    return usage("bible needs one of --vpl, --osis or --sword");
  if (!vplPath.empty() && (osis.canonOnly || !osis.strongs))
    return usage("--books and --no-strongs go with --osis or --sword");
  if (!parsed.values.contains("--name")) return usage("bible needs --name \"DISPLAY NAME\"");
  if (outPath.empty()) return usage("bible needs the output file OUT.bib");
  const std::string& name = parsed.values["--name"];

  const std::string& source = vplPath.empty() ? osisPath : vplPath;
  std::vector<vellum::import::VerseLine> lines;
  std::string error;
  if (!vplPath.empty()) {
    std::ifstream in(vplPath, std::ios::binary);
    if (!in) return fail(vplPath, std::string("cannot open: ") + std::strerror(errno));
    if (!vellum::import::readVpl(in, lines, error)) return fail(vplPath, error);
  } else if (!vellum::import::readOsisFile(osisPath, osis, lines, error)) {
    return fail(osisPath, error);
  }
  // Errors naming an input line belong to the input; the others to the output.
  if (!vellum::import::writeModule(name, lines, outPath, error))
    return fail(error.starts_with("line ") ? source : std::string(), error);
  return 0;
}

bool hasOption(const std::vector<std::string>& args, std::string_view option) {
  return std::ranges::find(args, option) != args.end();
}

}  // namespace

int main(int argc, char** argv) {
  std::vector<std::string_view> args(argv + 1, argv + argc);
  if (args.empty()) return usage("");
  if (args[0] == "-h" || args[0] == "--help") {
    std::fputs(kUsage, stdout);
    return 0;
  }
  if (args[0] == "--version") {
    std::puts("vellum-import " VELLUM_VERSION);
    return 0;
  }
  const std::vector<std::string> rest(args.begin() + 1, args.end());
  if (args[0] == "bible") {
    if (hasOption(rest, "--sword"))
      return vellum::import::runSwordBibleImport(rest, std::cout, std::cerr);
    return importBible(rest);
  }
  if (args[0] == "check") return vellum::import::runSwordCheck(rest, std::cout, std::cerr);
  if (args[0] == "commentary")
    return vellum::import::runSwordCommentaryImport(rest, std::cout, std::cerr);
  if (args[0] == "topics") return vellum::import::runSwordTopicsImport(rest, std::cout, std::cerr);
  if (args[0] == "dict") return vellum::import::runDictImport(rest, std::cout, std::cerr);
  if (args[0] == "lexicon") {
    if (hasOption(rest, "--sword-hebrew") || hasOption(rest, "--sword-greek"))
      return vellum::import::runSwordLexiconImport(rest, std::cout, std::cerr);
    return vellum::import::runLexiconImport(rest, std::cout, std::cerr);
  }
  if (args[0] == "notes") return vellum::import::runNotesImport(rest, std::cout, std::cerr);
  return usage("unknown command " + std::string(args[0]));
}
