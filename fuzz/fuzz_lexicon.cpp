// A damaged lexicon: initLexicon and lookups of numbers in and around both tables, into
// buffers of several sizes. The file must be refused or read within its bounds.
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <vector>

#include "engine/stores/lexicon.h"
#include "fuzz/fuzz_common.h"

using namespace vellum;

extern "C" int LLVMFuzzerInitialize(int*, char***) {
  fuzz::scratchDir();
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (!fuzz::writeScratchFile("fuzzed.lex", data, size)) return 0;
  LexiconHandle* lexicon = initLexicon("fuzzed.lex");
  if (lexicon == nullptr) return 0;
  static std::vector<char> text(32767);
  const std::uint32_t choice = fuzz::mix(data, size);
  for (int hebrew = 0; hebrew < 2; ++hebrew) {
    for (std::uint32_t number : {0u, 1u, 2u, 3u, 5u, 8u, 13u, 100u, 8674u, 8675u, 5624u, 5625u,
                                 65535u, choice & 0xFFFF, (choice >> 16) & 0x3F}) {
      for (std::uint16_t size : {32767, 64, 2, 1, 0}) {
        std::uint16_t length = 0xFFFF;
        std::memset(text.data(), 'x', 4);
        if (lookupLexicon(text.data(), &length, size, static_cast<std::uint16_t>(number), hebrew,
                          lexicon) != nullptr &&
            size > 0 && length >= size)
          std::abort();
      }
    }
  }
  deinitLexicon(lexicon);
  return 0;
}
