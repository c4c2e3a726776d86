// Verse-per-line text, as `vellum-import bible --vpl` takes it: readVpl, then the module writer
// into the scratch directory. A refused input leaves no file behind; an accepted one opens and
// gives back every verse as it was read.
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <sstream>
#include <string>
#include <vector>

#include "engine/bible/bible.h"
#include "fuzz/fuzz_common.h"
#include "tools/import/module_writer.h"
#include "tools/import/vpl.h"

using namespace vellum;

extern "C" int LLVMFuzzerInitialize(int*, char***) {
  fuzz::scratchDir();
  initBibleModule();
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  std::istringstream in(std::string(reinterpret_cast<const char*>(data), size));
  std::vector<import::VerseLine> lines;
  std::string error;
  const std::string out = fuzz::scratchDir() + "/out.bib";
  if (!import::readVpl(in, lines, error) ||
      !import::writeModule("Fuzzed Text", lines, out, error)) {
    if (error.empty()) std::abort();  // a refusal always says why
    fuzz::expectOnlyScratchFiles({});
    return 0;
  }
  fuzz::expectModuleHolds("out.bib", lines);
  std::remove(out.c_str());
  return 0;
}
