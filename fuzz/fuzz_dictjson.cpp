// A JSON array of objects, as `vellum-import dict --json FILE --key mot --value definition`
// takes it (the fields of Easton's dictionary).
// fuzz/dict_source.h has what each run checks.
#include <cstdint>

#include "fuzz/dict_source.h"

extern "C" int LLVMFuzzerInitialize(int*, char***) {
  vellum::fuzz::scratchDir();
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  vellum::fuzz::importDictSource(data, size, true);
  return 0;
}
