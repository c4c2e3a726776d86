// An OSIS file, as `vellum-import bible --osis` takes it: readOsisFile on the file, then the
// module writer into the scratch directory. The input's hash picks the options (--no-strongs,
// --books 66). A refused input leaves no file behind but the source; an accepted one opens
// and gives back every verse as it was read.
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "engine/bible/bible.h"
#include "fuzz/fuzz_common.h"
#include "tools/import/module_writer.h"
#include "tools/import/osis_file.h"

using namespace vellum;

extern "C" int LLVMFuzzerInitialize(int*, char***) {
  fuzz::scratchDir();
  initBibleModule();
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (size > 256 * 1024 || !fuzz::writeScratchFile("in.xml", data, size)) return 0;
  const std::uint32_t choice = fuzz::mix(data, size);
  import::OsisReadOptions options;
  options.strongs = (choice & 1) == 0;
  options.canonOnly = (choice & 2) != 0;
  std::vector<import::VerseLine> lines;
  std::string error;
  const std::string out = fuzz::scratchDir() + "/out.bib";
  if (!import::readOsisFile(fuzz::scratchDir() + "/in.xml", options, lines, error) ||
      !import::writeModule("Fuzzed OSIS", lines, out, error)) {
    if (error.empty()) std::abort();  // a refusal always says why
    fuzz::expectOnlyScratchFiles({"in.xml"});
    return 0;
  }
  fuzz::expectModuleHolds("out.bib", lines);
  std::remove(out.c_str());
  return 0;
}
