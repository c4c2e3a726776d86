#include "tools/cli/lookup_dict.h"

#include <memory>
#include <span>
#include <vector>

#include "engine/stores/dict.h"
#include "tools/common/tool_args.h"

namespace vellum::cli {
namespace {

using tools::kExitFailed;
using tools::kExitRefused;

constexpr const char* kUsage =
    "usage: vellum-cli lookup dict STORE WORD...\n"
    "       vellum-cli lookup list STORE\n";

struct CloseStore {
  void operator()(DictHandle* store) const { deinit_dict(store); }
};
using StorePtr = std::unique_ptr<DictHandle, CloseStore>;

int usage(std::ostream& err, const std::string& problem) {
  return tools::usageError(err, "vellum-cli", "lookup: " + problem, kUsage);
}

// The store gives texts with carriage return and line feed; a terminal wants line feeds.
std::string withLineFeeds(std::string_view text) {
  std::string out;
  out.reserve(text.size());
  for (std::size_t i = 0; i < text.size(); ++i) {
    if (text[i] == '\r' && i + 1 < text.size() && text[i + 1] == '\n') continue;
    out += text[i];
  }
  return out;
}

}  // namespace

int runLookupDict(const std::vector<std::string>& args, std::ostream& out, std::ostream& err) {
  if (args.empty()) return usage(err, "needs dict or list");
  const std::string& what = args[0];
  if (what != "dict" && what != "list") return usage(err, "unknown lookup " + what);
  if (what == "dict" && args.size() < 3) return usage(err, "dict needs STORE and WORD");
  if (what == "list" && args.size() != 2) return usage(err, "list needs STORE");

  const StorePtr store(open_dict(args[1].c_str()));
  if (!store) {
    err << "vellum-cli: " << args[1] << ": cannot open the store\n";
    return kExitFailed;
  }
  if (what == "list") {
    std::span<const std::string> names;
    std::uint16_t count = 0;
    get_item_list(&names, &count, store.get());
    for (const std::string& name : names) out << name << '\n';
    return 0;
  }

  std::string word = args[2];
  for (std::size_t i = 3; i < args.size(); ++i) word += ' ' + args[i];
  // Room for the largest item (65535 bytes) with every line end doubled, within the u16 size.
  std::vector<char> buffer(65535);
  std::uint16_t length = 0;
  if (fuzzy_find_string_item(buffer.data(), &length, static_cast<std::uint16_t>(buffer.size()),
                             word, store.get()) == nullptr) {
    err << "vellum-cli: " << args[1] << ": \"" << word << "\" not found\n";
    return kExitRefused;
  }
  out << word << '\n' << withLineFeeds(std::string_view(buffer.data(), length)) << '\n';
  return 0;
}

}  // namespace vellum::cli
