// A notes text file, as `vellum-import notes --bible FILE.bib NOTES.txt` takes it:
// runNotesImport (VNImport) into a fresh notes store of a small real module built at start-up
// (Ruth 1-2 of the sample text). Afterwards the store opens again and every note it reports
// stored reads back: the run's count of notes set is the number of verses with a note, at most.
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <sstream>
#include <string>

#include "engine/stores/notes.h"
#include "fuzz/fuzz_common.h"
#include "tools/import/store_import.h"

using namespace vellum;

extern "C" int LLVMFuzzerInitialize(int*, char***) {
  fuzz::notesModule();
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (size > 256 * 1024 || !fuzz::writeScratchFile("import.txt", data, size)) return 0;
  const std::string directory = fuzz::scratchDir();
  std::remove((directory + "/notes.vn").c_str());
  std::ostringstream out, err;
  const int status = import::runNotesImport(
      {"--bible", directory + "/notes.bib", directory + "/import.txt"}, out, err);
  if (status != 0 && (status != 1 || err.str().empty())) std::abort();
  // "imported N notes into notes.vn..."
  const unsigned long stored = std::strtoul(out.str().c_str() + 9, nullptr, 10);
  if (!out.str().starts_with("imported ")) std::abort();

  NotesHandle* notes = VNOpen(fuzz::notesModule());
  if (notes == nullptr) std::abort();
  const unsigned long withNotes = static_cast<unsigned long>(fuzz::readNotesOfModule(notes));
  if (withNotes > stored || (stored > 0 && withNotes == 0)) std::abort();
  VNClose(notes);
  return 0;
}
