// Module discovery along a list of directories.
#include "engine/bible/discovery.h"

#include <algorithm>
#include <array>
#include <cstring>
#include <filesystem>
#include <string>
#include <string_view>
#include <system_error>
#include <vector>

#include "engine/bible/module_format.h"
#include "support/files.h"
#include "support/match.h"
#include "support/strings.h"

namespace vellum {
namespace {

constexpr const char* kModulePattern = "*.[Bb][Ii][Bb]";

// The names in a directory that look like modules, in byte order; none when it cannot be read.
std::vector<std::string> moduleFileNames(const std::string& directory) {
  std::vector<std::string> names;
  std::error_code error;
  std::filesystem::directory_iterator entries(directory, error);
  if (error) return names;
  for (auto it = entries; it != std::filesystem::directory_iterator(); it.increment(error)) {
    if (error) break;
    std::string name = it->path().filename().string();
    if (match(kModulePattern, name.c_str()) != 0) names.push_back(std::move(name));
  }
  std::sort(names.begin(), names.end());
  return names;
}

// The header's display name when the file is a module (first byte 0x7F, whole header present).
bool readModuleName(const std::string& fileName, char (&name)[80]) {
  std::FILE* stream = _fopen(fileName.c_str(), "rb");
  if (stream == nullptr) return false;
  std::array<unsigned char, format::kHeaderSize> header{};
  const bool read = std::fseek(stream, 0, SEEK_SET) == 0 &&
                    std::fread(header.data(), 1, header.size(), stream) == header.size();
  _fclose(stream);
  if (!read || header[0] != format::kSignature) return false;
  std::memcpy(name, header.data() + 8, sizeof name);
  name[sizeof name - 1] = '\0';  // a damaged name still ends within its field
  return true;
}

}  // namespace

void getBibleNames(bibleName* out, std::uint16_t* count, const char* directories,
                   std::uint16_t maximum) {
  *count = 0;
  if (directories == nullptr || maximum == 0) return;
  std::string_view rest(directories);
  while (*count < maximum) {
    const std::size_t separator = rest.find(';');
    const std::string directory(rest.substr(0, separator));
    if (!directory.empty()) {
      for (const std::string& fileName : moduleFileNames(directory)) {
        if (fileName.size() >= sizeof out->path) continue;
        char name[80] = {};
        if (!readModuleName(fileName, name)) continue;
        const bool duplicate = std::any_of(out, out + *count, [&](const bibleName& listed) {
          return _stricmp(listed.name, name) == 0;
        });
        if (duplicate) continue;
        bibleName& record = out[*count];
        std::memcpy(record.name, name, sizeof record.name);
        std::memset(record.path, 0, sizeof record.path);
        std::memcpy(record.path, fileName.c_str(), fileName.size());
        if (++*count == maximum) return;
      }
    }
    if (separator == std::string_view::npos) break;
    rest.remove_prefix(separator + 1);
  }
}

}  // namespace vellum
