// The search dialog's record "SRCHDLG" in the options store: the input is the item's bytes,
// stored in a new "options.dic" and read back with loadSearchRecord, as the dialog does when
// it opens. A record that reads encodes to 284 bytes that read back as the same record, and
// the dialog's own store-and-load round trip keeps it.
#include <cstdint>
#include <cstdlib>
#include <span>

#include "app/windows/search_record.h"
#include "engine/stores/dict.h"
#include "fuzz/fuzz_common.h"

using namespace vellum;
using namespace vellum::ui;

namespace {

bool same(const SearchRecord& a, const SearchRecord& b) {
  return a.book == b.book && a.chapter == b.chapter && a.verse == b.verse && a.scope == b.scope &&
         a.topic == b.topic && a.text == b.text && a.words == b.words &&
         a.operator1 == b.operator1 && a.operator2 == b.operator2 && a.kind == b.kind;
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
  fuzz::scratchDir();
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (size > 65535) return 0;
  DictHandle* options = fuzz::newOptionsStore();
  if (!add_binary_item(options, "SRCHDLG", data, static_cast<std::uint16_t>(size))) std::abort();
  const std::optional<SearchRecord> record = loadSearchRecord(options);
  if (record.has_value() != SearchRecord::decode(std::span(data, size)).has_value()) std::abort();
  if (record) {
    if (record->kind > kKindExpression || record->topic.size() >= SearchRecord::kTopicWidth ||
        record->text.size() >= SearchRecord::kTextWidth)
      std::abort();
    const std::vector<std::uint8_t> bytes = record->encode();
    const std::optional<SearchRecord> again = SearchRecord::decode(bytes);
    if (bytes.size() != SearchRecord::kSize || !again || !same(*again, *record)) std::abort();
    storeSearchRecord(options, *record);
    const std::optional<SearchRecord> stored = loadSearchRecord(options);
    if (!stored || !same(*stored, *record)) std::abort();
  }
  deinit_dict(options);
  return 0;
}
