// The path of `vellum-import dict` shared by the JSON and CSV targets: the input is written as
// the source file, runDictImport builds "out.dic" in the scratch directory (the hash of the
// input picks --compress), and then:
// - refused (status 1): nothing is left but the source, neither the store nor its temporary;
// - built (status 0): the store opens, holds as many items as the summary line says, and
//   gives back each of them by its name.
#pragma once

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <sstream>
#include <string>
#include <vector>

#include "engine/stores/dict.h"
#include "fuzz/fuzz_common.h"
#include "tools/import/dict_import.h"

namespace vellum::fuzz {

inline void importDictSource(const std::uint8_t* data, std::size_t size, bool json) {
  const std::string source = json ? "in.json" : "in.csv";
  if (size > 256 * 1024 || !writeScratchFile(source, data, size)) return;
  const std::string directory = scratchDir();
  std::vector<std::string> args = {json ? "--json" : "--csv", directory + "/" + source, "--title",
                                   "Fuzzed Dictionary", directory + "/out.dic"};
  if (json) args.insert(args.end() - 1, {"--key", "mot", "--value", "definition"});
  if (mix(data, size) & 1) args.insert(args.end() - 1, "--compress");
  std::ostringstream out, err;
  const int status = import::runDictImport(args, out, err);
  if (status != 0) {
    if (status != 1 || err.str().empty()) std::abort();
    expectOnlyScratchFiles({source});
    return;
  }
  // "DIR/out.dic: N items, ..."
  const std::string summary = out.str();
  const std::size_t colon = summary.find(": ");
  if (colon == std::string::npos) std::abort();
  const unsigned long items = std::strtoul(summary.c_str() + colon + 2, nullptr, 10);
  DictHandle* store = open_dict("out.dic");
  if (store == nullptr) std::abort();
  std::span<const std::string> list;
  std::uint16_t count = 0;
  get_item_list(&list, &count, store);
  if (count != items) std::abort();
  static std::vector<char> text(65535);
  std::uint16_t length = 0;
  for (const std::string& name : list)
    if (find_string_item(text.data(), &length, static_cast<std::uint16_t>(text.size()),
                         name.c_str(), store) == nullptr)
      std::abort();
  deinit_dict(store);
  std::remove((directory + "/out.dic").c_str());
}

}  // namespace vellum::fuzz
