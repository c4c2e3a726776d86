// Diagnostics log "messages.dbg" and the fault reporters that end the process.
//
// Every entry opens the log in the current directory for appending, writes one dated line
// ("%d/%d/%d": month, day, years since 1900) and closes it again, so the line is on disk even
// when the process ends right after. A log that cannot be opened is skipped; it never stops
// the abort that follows an assertion or bounds failure.
#pragma once

namespace vellum {

// Writes ": message\n", or ": message  \"detail\"\n" when a detail is given (non-null).
void _strlog(const char* message, const char* detail);

// Logs ": " followed by format applied to (text1, text2, number), then aborts.
[[noreturn]] int assert_print(const char* format, const char* text1, const char* text2, int number);

// Returns i when 0 <= i < n; otherwise logs the bounds error with file and line and aborts.
int _bounds(int i, int n, const char* file, int line);

// The date stamp the log writes for the local time now ("12/5/126" on 5 December 2026).
// Exposed so that the allocator's report and the tests use the same text.
void formatLogDate(char (&out)[32]);

}  // namespace vellum
