// The private initialisation file "VLMR20.INI": a small profile layer with the semantics of
// the classic private-profile calls, kept in $XDG_CONFIG_HOME/vellum/ (default ~/.config/vellum/).
//
// - Sections and keys match case-insensitively; a missing file, section or key gives the default.
// - Values are raw text after the '=' (no escaping, no quoting; surrounding blanks dropped).
// - The integer reader parses the leading decimal (optionally signed); a value written with
//   "%u" reads back as the same 32-bit value.
// - Writing keeps every other line of the file as it was (comments, order, unknown keys) and
//   replaces the file atomically (temporary file and rename), so a crash never leaves half a file.
// - The file is not cached: every read goes to the file.
#pragma once

#include <cstddef>
#include <string>

namespace vellum {

// The directory that holds the initialisation files (created on first write).
std::string profileDirectory();
// The full path of a bare initialisation file name.
std::string profilePath(const char* fileName);

// Copies the value (or the default) into buffer, at most size - 1 characters, terminated;
// returns the number of characters copied.
std::size_t getPrivateProfileString(const char* section, const char* key, const char* defaultValue,
                                    char* buffer, std::size_t size, const char* fileName);
// The value's leading decimal, or the default when the key is missing or has no digits.
unsigned int getPrivateProfileInt(const char* section, const char* key, int defaultValue,
                                  const char* fileName);
// Writes (or replaces) the key; a null value deletes the key (every line of it in the section),
// a null key the section (every section of that name). Returns false when the file
// could not be written (then it is left as it was).
bool writePrivateProfileString(const char* section, const char* key, const char* value,
                               const char* fileName);

}  // namespace vellum
