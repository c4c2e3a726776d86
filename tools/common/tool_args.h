// What vellum-cli and vellum-import share: their exit statuses, the way they report a wrong
// command line, and the reading of a command's options.
#pragma once

#include <map>
#include <optional>
#include <ostream>
#include <set>
#include <span>
#include <string>
#include <string_view>

namespace vellum::tools {

// Nothing found, an input or a change refused, or the output not written.
inline constexpr int kExitRefused = 1;
// The command line was wrong.
inline constexpr int kExitUsage = 2;
// A file or module that cannot be opened, or a reference that does not parse, ends a command
// as a wrong command line does: the user has to say something else.
inline constexpr int kExitFailed = kExitUsage;

// Writes "PROGRAM: PROBLEM" (when there is a problem) and then the usage text to err;
// returns kExitUsage.
int usageError(std::ostream& err, std::string_view program, std::string_view problem,
               std::string_view usage);
// The same with the one-line usage "usage: PROGRAM SYNOPSIS".
int synopsisError(std::ostream& err, std::string_view program, std::string_view problem,
                  std::string_view synopsis);

// An option a command takes: "--name VALUE", or a flag standing alone.
struct Option {
  std::string_view name;
  bool takesValue = true;
  // Checks the value as soon as it is read: the problem, or "" for a good value.
  std::string (*check)(std::string_view value) = nullptr;
};

// A command's options as its command line gave them.
struct ParsedOptions {
  std::map<std::string, std::string> values;  // the last value given for each
  std::set<std::string> flags;
  std::string file;  // the one argument that is no option
};

// Reads args against options: each option with its value when it takes one, and at most one
// file. Any other argument that begins with '-' (but "-" alone) is an unknown option, and a
// second file the problem `secondFile`. Returns the first problem met, or nothing.
std::optional<std::string> parseOptions(std::span<const std::string> args,
                                        std::span<const Option> options,
                                        std::string_view secondFile, ParsedOptions& parsed);

}  // namespace vellum::tools
