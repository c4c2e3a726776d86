#include "tools/common/tool_args.h"

#include <algorithm>

namespace vellum::tools {

int usageError(std::ostream& err, std::string_view program, std::string_view problem,
               std::string_view usage) {
  if (!problem.empty()) err << program << ": " << problem << '\n';
  err << usage;
  return kExitUsage;
}

int synopsisError(std::ostream& err, std::string_view program, std::string_view problem,
                  std::string_view synopsis) {
  err << program << ": " << problem << "\nusage: " << program << ' ' << synopsis << '\n';
  return kExitUsage;
}

std::optional<std::string> parseOptions(std::span<const std::string> args,
                                        std::span<const Option> options,
                                        std::string_view secondFile, ParsedOptions& parsed) {
  for (std::size_t i = 0; i < args.size(); ++i) {
    const std::string& arg = args[i];
    const auto option =
        std::ranges::find_if(options, [&](const Option& o) { return o.name == arg; });
    if (option == options.end()) {
      if (arg.size() > 1 && arg[0] == '-') return "unknown option " + arg;
      if (!parsed.file.empty()) return std::string(secondFile);
      parsed.file = arg;
    } else if (!option->takesValue) {
      parsed.flags.insert(arg);
    } else {
      if (i + 1 == args.size()) return arg + " needs a value";
      const std::string& value = args[++i];
      if (option->check != nullptr) {
        if (std::string problem = option->check(value); !problem.empty()) return problem;
      }
      parsed.values[arg] = value;
    }
  }
  return std::nullopt;
}

}  // namespace vellum::tools
