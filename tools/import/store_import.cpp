// The importer's lexicon and notes commands (store_import.h).
#include "tools/import/store_import.h"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <memory>

#include "engine/bible/bible.h"
#include "engine/stores/notes.h"
#include "support/files.h"
#include "tools/common/tool_args.h"
#include "tools/import/lexicon_writer.h"

namespace vellum::import {
namespace {

using tools::kExitFailed;
using tools::kExitRefused;

int usage(std::ostream& err, const std::string& problem, const char* synopsis) {
  return tools::synopsisError(err, "vellum-import", problem, synopsis);
}

struct ModuleCloser {
  void operator()(BibleHandle* module) const { closeBible(module); }
};
struct NotesCloser {
  void operator()(NotesHandle* notes) const { VNClose(notes); }
};

}  // namespace

int runLexiconImport(const std::vector<std::string>& args, std::ostream& out, std::ostream& err) {
  constexpr const char* kSynopsis = "lexicon --hebrew SRC --greek SRC OUT.lex";
  static constexpr tools::Option kOptions[] = {{"--hebrew"}, {"--greek"}};
  tools::ParsedOptions parsed;
  if (auto problem = tools::parseOptions(args, kOptions, "more than one output file", parsed))
    return usage(err, *problem, kSynopsis);
  const std::string& hebrewPath = parsed.values["--hebrew"];
  const std::string& greekPath = parsed.values["--greek"];
  const std::string& outPath = parsed.file;
  if (hebrewPath.empty() || greekPath.empty())
    return usage(err, "lexicon needs --hebrew SRC and --greek SRC", kSynopsis);
  if (outPath.empty()) return usage(err, "lexicon needs the output file OUT.lex", kSynopsis);

  std::vector<LexiconEntry> tables[2];
  const std::string* sources[2] = {&hebrewPath, &greekPath};
  for (int t = 0; t < 2; ++t) {
    std::ifstream in(*sources[t], std::ios::binary);
    if (!in) {
      err << "vellum-import: " << *sources[t] << ": cannot open: " << std::strerror(errno) << "\n";
      return kExitFailed;
    }
    std::string error;
    if (!readLexiconSource(in, t == 0 ? 'H' : 'G', tables[t], error)) {
      err << "vellum-import: " << *sources[t] << ": " << error << "\n";
      return kExitRefused;
    }
  }
  std::string error;
  if (!writeLexicon(tables[0], tables[1], outPath, error)) {
    err << "vellum-import: " << error << "\n";
    return kExitRefused;
  }
  out << "wrote " << outPath << ": Hebrew 1 to " << tables[0].back().number << " ("
      << tables[0].size() << " entries), Greek 1 to " << tables[1].back().number << " ("
      << tables[1].size() << " entries)\n";
  return 0;
}

int runNotesImport(const std::vector<std::string>& args, std::ostream& out, std::ostream& err) {
  constexpr const char* kSynopsis = "notes --bible FILE.bib NOTES.txt";
  static constexpr tools::Option kOptions[] = {{"--bible"}};
  tools::ParsedOptions parsed;
  if (auto problem = tools::parseOptions(args, kOptions, "more than one notes file", parsed))
    return usage(err, *problem, kSynopsis);
  const std::string& biblePath = parsed.values["--bible"];
  const std::string& notesPath = parsed.file;
  if (biblePath.empty()) return usage(err, "notes needs --bible FILE.bib", kSynopsis);
  if (notesPath.empty()) return usage(err, "notes needs the notes file NOTES.txt", kSynopsis);
  if (std::ifstream probe(notesPath, std::ios::binary); !probe) {
    err << "vellum-import: " << notesPath << ": cannot open: " << std::strerror(errno) << "\n";
    return kExitFailed;
  }

  // The module and its store are found through the data path: the module's own directory.
  const std::string_view bare = bareFileName(biblePath);
  std::string directory = biblePath.substr(0, biblePath.size() - bare.size());
  if (directory.empty()) directory = ".";
  if (bare.empty() || bare.size() >= sizeof(bibleName::path) ||
      directory.find(';') != std::string::npos)
    return usage(err, "--bible needs a module file whose name has 1 to 79 characters", kSynopsis);
  set_dpath(directory.c_str());
  bibleName name;
  std::memcpy(name.path, bare.data(), bare.size());
  std::string why;
  std::unique_ptr<BibleHandle, ModuleCloser> module(openBible(&name, &why));
  if (!module) {
    err << "vellum-import: cannot open " << biblePath << ": " << why << "\n";
    return kExitFailed;
  }
  std::unique_ptr<NotesHandle, NotesCloser> notes(VNOpen(module.get()));
  const std::string storeName = changeExtension(bare, ".vn");
  if (!notes || VNReadOnly(notes.get())) {
    err << "vellum-import: cannot open the notes store " << storeName << " for writing in "
        << directory << (notes ? " (read-only)" : " (missing, damaged or not creatable)") << "\n";
    return kExitFailed;
  }
  int problems = 0;
  const int stored = VNImport(notesPath.c_str(), notes.get(), [&](int line, const std::string& m) {
    ++problems;
    err << "vellum-import: " << notesPath << ": line " << line << ": " << m << "\n";
  });
  if (stored < 0) {
    err << "vellum-import: " << notesPath << ": cannot read\n";
    return kExitRefused;
  }
  out << "imported " << stored << (stored == 1 ? " note" : " notes") << " into " << storeName
      << (problems > 0 ? "; " + std::to_string(problems) + " problem(s) reported" : "") << "\n";
  return problems > 0 ? kExitRefused : 0;
}

}  // namespace vellum::import
