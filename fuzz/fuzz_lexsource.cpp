// The lexicon's plain-text sources, as `vellum-import lexicon --hebrew SRC --greek SRC` takes
// them: the input up to its first NUL byte is the Hebrew source, the rest the Greek one.
// runLexiconImport builds "out.lex" in the scratch directory. Refused, it leaves nothing but
// the sources; built, the lexicon opens and gives back every definition the sources hold
// (read here with the same readLexiconSource), with its line feeds widened to CR LF, and an
// empty text for the numbers they skip.
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <sstream>
#include <string>
#include <vector>

#include "engine/stores/lexicon.h"
#include "fuzz/fuzz_common.h"
#include "tools/import/lexicon_writer.h"
#include "tools/import/store_import.h"

using namespace vellum;

namespace {

void expectTable(const std::string& source, char letter, LexiconHandle* lexicon) {
  std::istringstream in(source);
  std::vector<import::LexiconEntry> entries;
  std::string error;
  if (!import::readLexiconSource(in, letter, entries, error)) std::abort();
  static std::vector<char> text(65535);
  std::uint16_t length = 0;
  std::uint16_t previous = 0;
  for (const import::LexiconEntry& entry : entries) {
    // A number skipped reads as empty.
    if (entry.number > previous + 1 && (lookupLexicon(text.data(), &length, 65535, previous + 1,
                                                      letter == 'H', lexicon) == nullptr ||
                                        length != 0))
      std::abort();
    previous = entry.number;
    if (lookupLexicon(text.data(), &length, 65535, entry.number, letter == 'H', lexicon) ==
            nullptr ||
        fuzz::withCrLf(entry.definition) != std::string_view(text.data(), length)) {
      std::fprintf(stderr, "%c%u reads back wrong\n", letter, entry.number);
      std::abort();
    }
  }
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
  fuzz::scratchDir();
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (size > 256 * 1024) return 0;
  const std::string input(reinterpret_cast<const char*>(data), size);
  const std::size_t split = std::min(input.find('\0'), input.size());
  const std::string hebrew = input.substr(0, split);
  const std::string greek = split < input.size() ? input.substr(split + 1) : std::string();
  if (!fuzz::writeScratchFile("hebrew.txt", hebrew) || !fuzz::writeScratchFile("greek.txt", greek))
    return 0;
  const std::string directory = fuzz::scratchDir();
  std::ostringstream out, err;
  const int status = import::runLexiconImport({"--hebrew", directory + "/hebrew.txt", "--greek",
                                               directory + "/greek.txt", directory + "/out.lex"},
                                              out, err);
  if (status != 0) {
    if (status != 1 || err.str().empty()) std::abort();
    fuzz::expectOnlyScratchFiles({"hebrew.txt", "greek.txt"});
    return 0;
  }
  LexiconHandle* lexicon = initLexicon("out.lex");
  if (lexicon == nullptr) std::abort();
  expectTable(hebrew, 'H', lexicon);
  expectTable(greek, 'G', lexicon);
  deinitLexicon(lexicon);
  std::remove((directory + "/out.lex").c_str());
  return 0;
}
