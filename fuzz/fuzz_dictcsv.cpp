// A two-column CSV file, as `vellum-import dict --csv FILE` takes it.
// fuzz/dict_source.h has what each run checks.
#include <cstdint>

#include "fuzz/dict_source.h"

extern "C" int LLVMFuzzerInitialize(int*, char***) {
  vellum::fuzz::scratchDir();
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  vellum::fuzz::importDictSource(data, size, false);
  return 0;
}
