// The profile layer: a line-based reader and rewriter of "[section]" / "key=value" files.
//
// The file is kept as the list of its lines exactly as read (a trailing '\r' included), so a
// rewrite changes only the one line it means to and every comment, blank line, unknown key and
// ordering survives. Matching is ASCII case-insensitive; the first matching section and the
// first matching key within it win, as with the classic calls. A deletion removes every repeat
// of what it deletes, so a file edited by hand never reads an older repeat in its place.
//
// Limits: a file larger than kMaxProfileBytes is not an initialisation file this program wrote;
// it reads as missing (every key gives its default) and is never rewritten, so nothing in it
// is lost.
#include "app/profile.h"

#include <fcntl.h>
#include <pwd.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <optional>
#include <string_view>
#include <vector>

namespace vellum {
namespace {

constexpr std::size_t kMaxProfileBytes = 4 * 1024 * 1024;

bool equalsIgnoringCase(std::string_view a, std::string_view b) {
  if (a.size() != b.size()) return false;
  for (std::size_t i = 0; i < a.size(); ++i) {
    unsigned char x = static_cast<unsigned char>(a[i]);
    unsigned char y = static_cast<unsigned char>(b[i]);
    if (x >= 'A' && x <= 'Z') x = static_cast<unsigned char>(x - 'A' + 'a');
    if (y >= 'A' && y <= 'Z') y = static_cast<unsigned char>(y - 'A' + 'a');
    if (x != y) return false;
  }
  return true;
}

bool isBlank(char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\v' || c == '\f'; }

std::string_view trim(std::string_view text) {
  while (!text.empty() && isBlank(text.front())) text.remove_prefix(1);
  while (!text.empty() && isBlank(text.back())) text.remove_suffix(1);
  return text;
}

// Whole-file read. Missing file: an empty optional. Unreadable or oversized: also empty, and
// `usable` tells a writer that the file exists but must not be replaced.
std::optional<std::string> readWholeFile(const std::string& path, bool* usable) {
  if (usable) *usable = true;
  int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
  if (fd < 0) {
    if (usable) *usable = (errno == ENOENT);
    return std::nullopt;
  }
  std::string content;
  struct stat info {};
  if (::fstat(fd, &info) != 0 || !S_ISREG(info.st_mode) ||
      static_cast<std::uint64_t>(info.st_size) > kMaxProfileBytes) {
    ::close(fd);
    if (usable) *usable = false;
    return std::nullopt;
  }
  char chunk[8192];
  for (;;) {
    ssize_t got = ::read(fd, chunk, sizeof chunk);
    if (got < 0 && errno == EINTR) continue;
    if (got < 0 || content.size() + static_cast<std::size_t>(got) > kMaxProfileBytes) {
      ::close(fd);
      if (usable) *usable = false;
      return std::nullopt;
    }
    if (got == 0) break;
    content.append(chunk, static_cast<std::size_t>(got));
  }
  ::close(fd);
  return content;
}

struct Line {
  std::string text;  // without the '\n'; a trailing '\r' stays
};

std::vector<Line> splitLines(const std::string& content) {
  std::vector<Line> lines;
  std::size_t start = 0;
  while (start < content.size()) {
    std::size_t end = content.find('\n', start);
    if (end == std::string::npos) end = content.size();
    lines.push_back({content.substr(start, end - start)});
    start = end + 1;
  }
  return lines;
}

// "[name]" (blanks allowed around it): the name, trimmed. Anything after ']' is ignored.
std::optional<std::string_view> sectionName(std::string_view line) {
  line = trim(line);
  if (line.empty() || line.front() != '[') return std::nullopt;
  line.remove_prefix(1);
  std::size_t close = line.find(']');
  if (close != std::string_view::npos) line = line.substr(0, close);
  return trim(line);
}

struct KeyValue {
  std::string_view key;
  std::string_view value;
};

std::optional<KeyValue> keyValue(std::string_view line) {
  std::string_view body = trim(line);
  if (body.empty() || body.front() == ';' || body.front() == '#' || body.front() == '[') {
    return std::nullopt;
  }
  std::size_t equals = body.find('=');
  if (equals == std::string_view::npos) return std::nullopt;
  return KeyValue{trim(body.substr(0, equals)), trim(body.substr(equals + 1))};
}

// The value of the key in the first matching section, if present.
std::optional<std::string> findValue(const std::string& content, const char* section,
                                     const char* key) {
  bool inSection = false;
  bool seenSection = false;
  std::size_t start = 0;
  while (start < content.size()) {
    std::size_t end = content.find('\n', start);
    if (end == std::string::npos) end = content.size();
    std::string_view line(content.data() + start, end - start);
    start = end + 1;
    if (auto name = sectionName(line)) {
      if (inSection) return std::nullopt;  // only the first matching section counts
      inSection = !seenSection && equalsIgnoringCase(*name, section);
      seenSection = seenSection || inSection;
      continue;
    }
    if (!inSection) continue;
    if (auto entry = keyValue(line); entry && equalsIgnoringCase(entry->key, key)) {
      return std::string(entry->value);
    }
  }
  return std::nullopt;
}

bool writeAll(int fd, const std::string& data) {
  std::size_t done = 0;
  while (done < data.size()) {
    ssize_t put = ::write(fd, data.data() + done, data.size() - done);
    if (put < 0 && errno == EINTR) continue;
    if (put <= 0) return false;
    done += static_cast<std::size_t>(put);
  }
  return true;
}

bool makeDirectories(const std::string& path) {
  if (path.empty()) return false;
  std::string partial;
  std::size_t position = 0;
  while (position != std::string::npos) {
    position = path.find('/', position + 1);
    partial = path.substr(0, position);
    if (partial.empty()) continue;
    if (::mkdir(partial.c_str(), 0777) != 0 && errno != EEXIST) return false;
  }
  struct stat info {};
  return ::stat(path.c_str(), &info) == 0 && S_ISDIR(info.st_mode);
}

// Replaces the file with the content through a temporary file in the same directory, so a
// reader sees either the old file or the new one, never a part.
bool replaceFile(const std::string& directory, const std::string& path,
                 const std::string& content) {
  if (!makeDirectories(directory)) return false;
  std::string temporary = path + ".XXXXXX";
  int fd = ::mkstemp(temporary.data());
  if (fd < 0) return false;
  // Keep the permissions of the file being replaced; a new file gets 0666 less the umask.
  struct stat info {};
  mode_t mode;
  if (::stat(path.c_str(), &info) == 0) {
    mode = info.st_mode & 07777;
  } else {
    mode_t mask = ::umask(0);
    ::umask(mask);
    mode = 0666 & ~mask;
  }
  bool ok = ::fchmod(fd, mode) == 0 && writeAll(fd, content) && ::fsync(fd) == 0;
  ok = (::close(fd) == 0) && ok;
  if (ok) ok = ::rename(temporary.c_str(), path.c_str()) == 0;
  if (!ok) {
    ::unlink(temporary.c_str());
    return false;
  }
  int dirFd = ::open(directory.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (dirFd >= 0) {
    ::fsync(dirFd);
    ::close(dirFd);
  }
  return true;
}

bool hasLineBreak(std::string_view text) {
  return text.find('\n') != std::string_view::npos || text.find('\r') != std::string_view::npos;
}

std::string bareName(const char* fileName) {
  std::string_view name(fileName ? fileName : "");
  std::size_t slash = name.find_last_of("/\\");
  if (slash != std::string_view::npos) name.remove_prefix(slash + 1);
  return std::string(name);
}

}  // namespace

std::string profileDirectory() {
  const char* config = std::getenv("XDG_CONFIG_HOME");
  std::string base;
  if (config && config[0] == '/') {
    base = config;
  } else {
    const char* home = std::getenv("HOME");
    if (!home || !*home) {
      const passwd* entry = ::getpwuid(::getuid());
      home = entry ? entry->pw_dir : nullptr;
    }
    base = std::string(home && *home ? home : ".") + "/.config";
  }
  while (base.size() > 1 && base.back() == '/') base.pop_back();
  return base + "/vellum";
}

std::string profilePath(const char* fileName) {
  return profileDirectory() + "/" + bareName(fileName);
}

std::size_t getPrivateProfileString(const char* section, const char* key, const char* defaultValue,
                                    char* buffer, std::size_t size, const char* fileName) {
  if (!buffer || size == 0) return 0;
  std::optional<std::string> value;
  if (section && key) {
    std::string name = bareName(fileName);
    if (!name.empty()) {
      if (auto content = readWholeFile(profilePath(name.c_str()), nullptr)) {
        value = findValue(*content, section, key);
      }
    }
  }
  std::string_view text =
      value ? std::string_view(*value) : std::string_view(defaultValue ? defaultValue : "");
  std::size_t count = std::min(text.size(), size - 1);
  std::memcpy(buffer, text.data(), count);
  buffer[count] = '\0';
  return count;
}

unsigned int getPrivateProfileInt(const char* section, const char* key, int defaultValue,
                                  const char* fileName) {
  char text[64];
  // A value longer than the buffer still starts with its digits, which is all that is read.
  getPrivateProfileString(section, key, "", text, sizeof text, fileName);
  std::string_view value = trim(text);
  bool negative = false;
  if (!value.empty() && (value.front() == '-' || value.front() == '+')) {
    negative = value.front() == '-';
    value.remove_prefix(1);
  }
  if (value.empty() || value.front() < '0' || value.front() > '9') {
    return static_cast<unsigned int>(defaultValue);
  }
  // Digits accumulate modulo 2^32, so "4294967288" (-8 written with "%u") reads back as the
  // same 32-bit value and an overlong number cannot overflow.
  std::uint32_t result = 0;
  for (char c : value) {
    if (c < '0' || c > '9') break;
    result = result * 10u + static_cast<std::uint32_t>(c - '0');
  }
  if (negative) result = 0u - result;
  return result;
}

bool writePrivateProfileString(const char* section, const char* key, const char* value,
                               const char* fileName) {
  std::string name = bareName(fileName);
  if (!section || name.empty()) return false;
  std::string_view sectionText = trim(section);
  // A name that the reader could not find again (or that would split the line) is refused
  // rather than written as a line that corrupts its neighbours.
  if (sectionText.empty() || hasLineBreak(sectionText) ||
      sectionText.find(']') != std::string_view::npos) {
    return false;
  }
  std::string_view keyText = key ? trim(key) : std::string_view();
  if (key &&
      (keyText.empty() || hasLineBreak(keyText) || keyText.find('=') != std::string_view::npos ||
       keyText.front() == ';' || keyText.front() == '#' || keyText.front() == '[')) {
    return false;
  }
  if (value && hasLineBreak(value)) return false;

  const std::string path = profilePath(name.c_str());
  bool usable = true;
  std::optional<std::string> content = readWholeFile(path, &usable);
  if (!usable) return false;
  std::vector<Line> lines = content ? splitLines(*content) : std::vector<Line>{};
  // New lines follow the file's own line ends.
  const bool crlf =
      !lines.empty() && !lines.front().text.empty() && lines.front().text.back() == '\r';
  const std::string lineEnd = crlf ? "\r" : "";

  // Locate the first matching section: its header line, and [begin, end) its body.
  std::optional<std::size_t> header;
  std::size_t end = lines.size();
  for (std::size_t i = 0; i < lines.size(); ++i) {
    auto found = sectionName(lines[i].text);
    if (!found) continue;
    if (!header) {
      if (equalsIgnoringCase(*found, sectionText)) header = i;
    } else {
      end = i;
      break;
    }
  }
  const std::size_t begin = header ? *header + 1 : lines.size();

  const std::string newLine = key && value ? std::string(keyText) + "=" + value + lineEnd : "";
  if (!header) {
    if (!key || !value) return true;  // nothing to delete
    if (!lines.empty() && !trim(lines.back().text).empty()) lines.push_back({lineEnd});
    lines.push_back({"[" + std::string(sectionText) + "]" + lineEnd});
    lines.push_back({newLine});
  } else if (!key) {
    // A null key removes the whole section, its header included, and every later section of
    // the same name: a repeat left behind would be read in its place.
    bool inMatch = false;
    std::erase_if(lines, [&](const Line& line) {
      if (auto found = sectionName(line.text)) inMatch = equalsIgnoringCase(*found, sectionText);
      return inMatch;
    });
  } else if (!value) {
    // Every line of the key goes, so no repeat of it is read in its place.
    const auto first = lines.begin() + static_cast<std::ptrdiff_t>(begin);
    const auto last = lines.begin() + static_cast<std::ptrdiff_t>(end);
    const auto kept = std::remove_if(first, last, [&](const Line& line) {
      auto entry = keyValue(line.text);
      return entry && equalsIgnoringCase(entry->key, keyText);
    });
    if (kept == last) return true;  // deleting a key that is not there
    lines.erase(kept, last);
  } else {
    std::size_t keyLine = end;
    for (std::size_t i = begin; i < end; ++i) {
      if (auto entry = keyValue(lines[i].text); entry && equalsIgnoringCase(entry->key, keyText)) {
        keyLine = i;
        break;
      }
    }
    if (keyLine != end) {
      lines[keyLine].text = newLine;
    } else {
      // After the section's last non-blank line, so blank separators stay between sections.
      std::size_t at = end;
      while (at > begin && trim(lines[at - 1].text).empty()) --at;
      lines.insert(lines.begin() + static_cast<std::ptrdiff_t>(at), Line{newLine});
    }
  }

  std::string output;
  for (const Line& line : lines) {
    output += line.text;
    output += '\n';
  }
  return replaceFile(profileDirectory(), path, output);
}

}  // namespace vellum
