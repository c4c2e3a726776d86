#include "support/log.h"

#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <memory>

namespace vellum {

namespace {

struct FileCloser {
  void operator()(std::FILE* f) const { std::fclose(f); }
};
using LogFile = std::unique_ptr<std::FILE, FileCloser>;

// Opens the log for one entry and writes its date stamp. Null when the log cannot be opened;
// callers then write nothing but carry on (an abort still follows where one is due).
LogFile openLogEntry() {
  LogFile log(std::fopen("messages.dbg", "a+t"));
  if (log) {
    char date[32];
    formatLogDate(date);
    std::fputs(date, log.get());
  }
  return log;
}

}  // namespace

void formatLogDate(char (&out)[32]) {
  const std::time_t now = std::time(nullptr);
  std::tm local{};
  if (localtime_r(&now, &local) == nullptr) {
    out[0] = '\0';
    return;
  }
  std::snprintf(out, sizeof out, "%d/%d/%d", local.tm_mon + 1, local.tm_mday, local.tm_year);
}

void _strlog(const char* message, const char* detail) {
  LogFile log = openLogEntry();
  if (!log) return;
  if (detail != nullptr) {
    std::fprintf(log.get(), ": %s ", message);
    std::fprintf(log.get(), " \"%s\"\n", detail);
  } else {
    std::fprintf(log.get(), ": %s\n", message);
  }
}

#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wformat-nonliteral"
[[noreturn]] int assert_print(const char* format, const char* text1, const char* text2,
                              int number) {
  if (LogFile log = openLogEntry()) {
    std::fputs(": ", log.get());
    // The format is the calling code's own literal, never text from a file or the user.
    std::fprintf(log.get(), format, text1, text2, number);
  }
  std::abort();
}
#pragma GCC diagnostic pop

int _bounds(int i, int n, const char* file, int line) {
  if (i >= 0 && i < n) return i;
  if (LogFile log = openLogEntry()) {
    std::fprintf(log.get(), ": Bounds error: File: %s, Line: %d, i: %d, n: %d\n", file, line, i, n);
  }
  std::abort();
}

}  // namespace vellum
