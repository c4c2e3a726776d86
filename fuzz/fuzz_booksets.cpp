// The book set in the options store, "WHICHBOOKS" and "SEARCHBOOKS", read as the reader reads
// them at start. The input's first byte is the length of the WHICHBOOKS item that follows it
// (255: no such item); the rest is the SEARCHBOOKS item (none when empty). A set that reads
// names a book-set command and keeps at least one book; a named set keeps exactly its range;
// Specific Books keeps the stored flags; and storing what was read reads back the same.
#include <cstdint>
#include <cstdlib>

#include "app/windows/search_record.h"
#include "engine/stores/dict.h"
#include "fuzz/fuzz_common.h"
#include "support/endian.h"

using namespace vellum;
using namespace vellum::ui;

extern "C" int LLVMFuzzerInitialize(int*, char***) {
  fuzz::scratchDir();
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (size < 1 || size > 65535) return 0;
  const std::size_t whichLength = data[0] == 255 ? 0 : std::min<std::size_t>(data[0], size - 1);
  const std::uint8_t* flags = data + 1 + whichLength;
  const std::size_t flagsLength = size - 1 - whichLength;
  DictHandle* options = fuzz::newOptionsStore();
  if ((data[0] != 255 && !add_binary_item(options, "WHICHBOOKS", data + 1,
                                          static_cast<std::uint16_t>(whichLength))) ||
      (flagsLength > 0 &&
       !add_binary_item(options, "SEARCHBOOKS", flags, static_cast<std::uint16_t>(flagsLength))))
    std::abort();
  const std::optional<StoredBookSet> set = loadStoredBookSet(options);
  if (set) {
    const BookSet* named = findBookSet(set->command);
    if (named == nullptr || whichLength != 4 || flagsLength != kBookFlagCount * 4) std::abort();
    bool any = false;
    for (std::uint32_t flag : set->flags) any = any || flag != 0;
    if (!any) std::abort();
    if (named->first >= 0 && set->flags != bookSetFlags(set->command)) std::abort();
    for (std::size_t book = 0; named->first < 0 && book < kBookFlagCount; ++book)
      if (set->flags[book] != le::load32(flags + book * 4)) std::abort();
    storeBookSet(options, set->command, set->flags);
    const std::optional<StoredBookSet> again = loadStoredBookSet(options);
    if (!again || again->command != set->command || again->flags != set->flags) std::abort();
  }
  deinit_dict(options);
  return 0;
}
