// A damaged dictionary store: open_dict, then lookups, the name list, adds, renames and
// deletes. Whatever the bytes, the store must be refused or used within its areas, and a
// change it accepts must be readable afterwards.
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <span>
#include <string>
#include <vector>

#include "engine/stores/dict.h"
#include "fuzz/fuzz_common.h"

using namespace vellum;

namespace {

void lookUp(const char* name, DictHandle* store) {
  static std::vector<char> text(65535);
  static std::vector<std::uint8_t> bytes(65535);
  std::uint16_t length = 0;
  find_string_item(text.data(), &length, 65535, name, store);
  find_string_item(text.data(), &length, 7, name, store);
  find_string_item(text.data(), &length, 1, name, store);
  find_binary_item(bytes.data(), &length, 65535, name, store);
  find_binary_item(bytes.data(), &length, 3, name, store);
  std::string fuzzy = name;
  fuzzy += "'s";
  fuzzy_find_string_item(text.data(), &length, 300, fuzzy, store);
}

std::vector<std::string> namesOf(DictHandle* store) {
  std::span<const std::string> list;
  std::uint16_t count = 0;
  get_item_list(&list, &count, store);
  if (count != list.size()) std::abort();
  return {list.begin(), list.end()};
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
  fuzz::scratchDir();
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (!fuzz::writeScratchFile("fuzzed.dic", data, size)) return 0;
  DictHandle* store = open_dict("fuzzed.dic");
  if (store == nullptr) return 0;
  // Durability is the fault-injection suite's concern; here one commit at the close will do.
  deferDictCommits(store, true);

  const std::vector<std::string> names = namesOf(store);
  const std::uint32_t choice = fuzz::mix(data, size);
  for (std::size_t i = 0; i < names.size() && i < 6; ++i) lookUp(names[i].c_str(), store);
  if (!names.empty()) lookUp(names[choice % names.size()].c_str(), store);
  lookUp("Aaron", store);
  lookUp("  ", store);

  // Changes: each one that reports success must show at once.
  static std::vector<char> text(65535);
  std::uint16_t length = 0;
  const char* added = "Fuzzed item";
  if (add_string_item(store, added, "a new text") &&
      find_string_item(text.data(), &length, 65535, added, store) == nullptr)
    std::abort();
  std::uint8_t binary[300];
  for (std::size_t i = 0; i < sizeof binary; ++i) binary[i] = static_cast<std::uint8_t>(i * 7);
  add_binary_item(store, "Binary", binary, static_cast<std::uint16_t>(choice % sizeof binary));
  if (!names.empty()) {
    const std::string& victim = names[(choice >> 8) % names.size()];
    add_string_item(store, victim.c_str(), "replaced");
    if (rename_item("Renamed item", victim.c_str(), store) &&
        find_string_item(text.data(), &length, 65535, "Renamed item", store) == nullptr)
      std::abort();
    rename_item(added, "Renamed item", store);  // onto an existing name
    delete_item(names[(choice >> 16) % names.size()].c_str(), store);
  }
  delete_item(added, store);
  delete_item("Binary", store);
  rename_item("x", "no such item", store);
  const std::vector<std::string> after = namesOf(store);
  if (!after.empty()) lookUp(after.front().c_str(), store);
  deinit_dict(store);

  // What was written must open again.
  store = open_dict("fuzzed.dic");
  if (store != nullptr) {
    namesOf(store);
    deinit_dict(store);
  }
  return 0;
}
