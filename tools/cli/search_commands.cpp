// The search commands of vellum-cli.
#include "tools/cli/search_commands.h"

#include <algorithm>
#include <cstring>
#include <memory>
#include <string_view>

#include "engine/bible/bible.h"
#include "engine/bible/discovery.h"
#include "engine/search/boolean.h"
#include "engine/search/search.h"
#include "engine/search/verselist.h"
#include "engine/search/wordlists.h"
#include "support/files.h"
#include "tools/common/tool_args.h"

namespace vellum {
namespace {

using tools::kExitFailed;
constexpr std::uint16_t kExpressionWords = 8;  // as the search dialog's expression form
constexpr std::uint16_t kMaxModulesListed = 10;

struct ModuleCloser {
  void operator()(BibleHandle* module) const { closeBible(module); }
};
using Module = std::unique_ptr<BibleHandle, ModuleCloser>;

Module openModule(const std::string& bibleFile, std::ostream& err) {
  bibleName name;
  const std::string_view bare = bareFileName(bibleFile);
  if (bare.empty() || bare.size() >= sizeof name.path) {
    err << "vellum-cli: cannot open " << bibleFile << ": not a module file name\n";
    return nullptr;
  }
  std::memcpy(name.path, bare.data(), bare.size());
  std::string why;
  Module module(openBible(&name, &why));
  if (!module) err << "vellum-cli: cannot open " << bibleFile << ": " << why << "\n";
  return module;
}

// The arguments after the kind, joined by single spaces, so an unquoted phrase works too.
std::string joinedText(const std::vector<std::string>& args) {
  std::string text;
  for (std::size_t i = 1; i < args.size(); ++i) {
    if (i > 1) text.push_back(' ');
    text += args[i];
  }
  return text;
}

}  // namespace

int runSearch(const std::vector<std::string>& args, const std::string& bibleFile, std::ostream& out,
              std::ostream& err) {
  static constexpr const char* kUsage =
      "usage: vellum-cli search word|csword|phrase|csphrase|expr|wildcard|cswildcard|soundex "
      "TEXT\n";
  if (args.size() < 2) return tools::usageError(err, "vellum-cli", "", kUsage);
  const std::string& kind = args[0];
  const std::string text = joinedText(args);
  static constexpr const char* kKinds[] = {"word", "csword",   "phrase",     "csphrase",
                                           "expr", "wildcard", "cswildcard", "soundex"};
  if (std::none_of(std::begin(kKinds), std::end(kKinds), [&](const char* k) { return kind == k; }))
    return tools::usageError(err, "vellum-cli", "unknown search kind " + kind, kUsage);
  Module module = openModule(bibleFile, err);
  if (!module) return kExitFailed;

  auto verses = std::make_unique<std::uint16_t[]>(kVerseListCapacity);
  std::uint16_t count = 0;
  std::uint16_t* list = verses.get();
  BibleHandle* m = module.get();
  const char* t = text.c_str();
  if (kind == "word") {
    wordSearch(list, &count, kVerseListCapacity, t, m);
  } else if (kind == "csword") {
    csWordSearch(list, &count, kVerseListCapacity, t, m);
  } else if (kind == "phrase") {
    phraseSearch(list, &count, kVerseListCapacity, t, m);
  } else if (kind == "csphrase") {
    csPhraseSearch(list, &count, kVerseListCapacity, t, m);
  } else if (kind == "expr") {
    std::vector<std::string> words(kExpressionWords);
    std::uint16_t wordCount = 0;
    booleanSearch(list, &count, kVerseListCapacity, words.data(), &wordCount, kExpressionWords, t,
                  0, m);
  } else {
    std::vector<std::string> words(kVerseListCapacity);
    std::uint16_t wordCount = 0;
    if (kind == "wildcard")
      wildCardSearch(list, &count, kVerseListCapacity, words.data(), &wordCount, kVerseListCapacity,
                     t, m);
    else if (kind == "cswildcard")
      csWildCardSearch(list, &count, kVerseListCapacity, words.data(), &wordCount,
                       kVerseListCapacity, t, m);
    else
      soundexSearch(list, &count, kVerseListCapacity, words.data(), &wordCount, kVerseListCapacity,
                    t, m);
  }

  std::string lines;
  char reference[40];
  for (std::uint16_t i = 0; i < count; ++i) {
    lines += unparseReference(reference, verseToReference(list[i], m), m);
    lines.push_back('\n');
  }
  out << lines;
  out.flush();
  return 0;
}

int runWords(const std::vector<std::string>& args, const std::string& bibleFile, std::ostream& out,
             std::ostream& err) {
  static constexpr const char* kUsage =
      "usage: vellum-cli words wildcard|cswildcard|soundex PATTERN\n";
  if (args.size() < 2 || (args[0] != "wildcard" && args[0] != "cswildcard" && args[0] != "soundex"))
    return tools::usageError(err, "vellum-cli", "", kUsage);
  Module module = openModule(bibleFile, err);
  if (!module) return kExitFailed;
  const std::string pattern = joinedText(args);
  std::vector<std::string> words(kVerseListCapacity);
  std::uint16_t count = 0;
  if (args[0] == "soundex")
    getSoundexWordList(words.data(), &count, kVerseListCapacity, pattern.c_str(), module.get());
  else
    getWildCardWordList(words.data(), &count, kVerseListCapacity, pattern.c_str(),
                        args[0] == "cswildcard" ? 1 : 0, module.get());
  std::string lines;
  for (std::uint16_t i = 0; i < count; ++i) lines += words[i] + "\n";
  out << lines;
  out.flush();
  return 0;
}

int runList(const std::vector<std::string>& args, std::ostream& out, std::ostream& err) {
  if (!args.empty()) return tools::usageError(err, "vellum-cli", "", "usage: vellum-cli list\n");
  bibleName names[kMaxModulesListed];
  std::uint16_t count = 0;
  getBibleNames(names, &count, get_dpath().c_str(), kMaxModulesListed);
  for (std::uint16_t i = 0; i < count; ++i) out << names[i].path << '\t' << names[i].name << '\n';
  out.flush();
  return 0;
}

}  // namespace vellum
