// A damaged notes store: VNOpen, then get, set, delete, the chapter listing and the phrase
// search. The module is a small real one built at start-up; the input is the store "notes.vn".
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <vector>

#include "engine/bible/bible.h"
#include "engine/search/verselist.h"
#include "engine/stores/notes.h"
#include "fuzz/fuzz_common.h"

using namespace vellum;

extern "C" int LLVMFuzzerInitialize(int*, char***) {
  fuzz::notesModule();
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (!fuzz::writeScratchFile("notes.vn", data, size)) return 0;
  NotesHandle* notes = VNOpen(fuzz::notesModule());
  if (notes == nullptr) return 0;
  VNReadOnly(notes);

  static std::vector<char> text(32767);
  std::uint16_t length = 0;
  const std::uint32_t choice = fuzz::mix(data, size);
  for (std::uint16_t verse = 0; verse < 48; ++verse) {
    VNGetNoteByVerse(text.data(), &length, 32767, verse, notes);
    VNGetNoteByVerse(text.data(), &length, 4, verse, notes);
  }
  VNGetNoteByVerse(text.data(), &length, 32767, 65535, notes);
  VNGetNoteByRef(text.data(), &length, 32767, Reference{0, 2, 3}, notes);
  VNGetNote(text.data(), &length, 32767, "Ruth 1:4", notes);
  VNGetNote(text.data(), &length, 1, "Ruth 1:4", notes);
  std::uint16_t list[kVerseListCapacity];
  std::uint16_t count = 0;
  VNFindVersesWithNotes(list, &count, 2, Reference{0, 2, 1}, notes);
  VNCSPhraseSearch(list, &count, 3, "note", notes);
  fuzz::readNotesOfModule(notes);

  // Changes: a set that reports success reads back at once.
  const std::uint16_t verse = static_cast<std::uint16_t>(choice % 40);
  if (VNSetNoteByVerse(verse, "a fuzzed note", notes) &&
      (VNGetNoteByVerse(text.data(), &length, 32767, verse, notes) == nullptr ||
       std::strcmp(text.data(), "a fuzzed note") != 0))
    std::abort();
  VNSetNoteByRef(Reference{0, 1, 2}, "by reference", notes);
  VNSetNote("Ruth 2:1", "", notes);
  VNDelNoteByVerse(static_cast<std::uint16_t>((choice >> 8) % 40), notes);
  VNDelNoteByRef(Reference{0, 1, 2}, notes);
  VNDelNote("Ruth 2:1", notes);
  if (VNDelNoteByVerse(verse, notes) &&
      VNGetNoteByVerse(text.data(), &length, 32767, verse, notes) != nullptr)
    std::abort();
  VNPhraseSearch(list, &count, kVerseListCapacity - 1, "fuzzed note", notes);
  fuzz::readNotesOfModule(notes);
  VNClose(notes);
  return 0;
}
