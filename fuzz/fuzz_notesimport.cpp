// A notes text file, as `vellum-import notes --bible FILE.bib NOTES.txt` takes it:
// runNotesImport (VNImport) into a fresh notes store of a small real module built at start-up
// (Ruth 1-2 of the sample text). Afterwards the store opens again and every note it reports
// stored reads back: the run's count of notes set is the number of verses with a note, at most.
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <sstream>
#include <string>
#include <vector>

#include "engine/bible/bible.h"
#include "engine/search/verselist.h"
#include "engine/stores/notes.h"
#include "fuzz/fuzz_common.h"
#include "tools/import/store_import.h"

using namespace vellum;

namespace {

BibleHandle* module = nullptr;

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
  initBibleModule();
  module = fuzz::openNotesModule();
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

  NotesHandle* notes = VNOpen(module);
  if (notes == nullptr) std::abort();
  std::uint16_t list[kVerseListCapacity];
  std::uint16_t found = 0, withNotes = 0;
  static std::vector<char> text(32767);
  std::uint16_t length = 0;
  for (std::uint8_t chapter = 1; chapter <= 2; ++chapter) {
    VNFindVersesWithNotes(list, &found, kVerseListCapacity, Reference{0, chapter, 1}, notes);
    withNotes = static_cast<std::uint16_t>(withNotes + found);
    for (std::uint16_t i = 0; i < found; ++i)
      if (VNGetNoteByVerse(text.data(), &length, 32767, list[i], notes) == nullptr) std::abort();
  }
  if (withNotes > stored || (stored > 0 && withNotes == 0)) std::abort();
  VNGetNotesForChapter(text.data(), &length, 32767, "Ruth 1", notes);
  VNPhraseSearch(list, &found, 40, "the", notes);
  VNClose(notes);
  return 0;
}
