// Wildcard patterns and sound-alike codes: pure string functions.
//
// Patterns and texts are UTF-8, matched a character at a time (support/unicode.h). Pattern
// elements: '*' any run, '?' one character, '[set]' one member (negated with '!' or '^' first;
// ranges a-z in either order, compared as code points; '\' escapes inside a set), '\' outside
// a set takes the next character literally; anything else matches itself, case-sensitively
// (callers fold both sides to match ignoring case). A malformed pattern matches nothing
// (MATCH_PATTERN) and is never read past its terminator.
#pragma once

namespace vellum {

// Result codes of matche.
inline constexpr int MATCH_VALID = 1;    // the pattern matches the whole text
inline constexpr int MATCH_END = 2;      // the pattern ended while text remained
inline constexpr int MATCH_ABORT = 3;    // the text ended while pattern remained
inline constexpr int MATCH_RANGE = 4;    // a set did not accept the character
inline constexpr int MATCH_LITERAL = 5;  // a literal character differed
inline constexpr int MATCH_PATTERN = 6;  // the pattern is malformed

// Error codes of is_valid_pattern.
inline constexpr int PATTERN_VALID = 0;
inline constexpr int PATTERN_ESC = -1;    // '\' with nothing after it
inline constexpr int PATTERN_RANGE = -2;  // a range '-' followed by the end or ']'
inline constexpr int PATTERN_CLOSE = -3;  // a set not closed by ']'
inline constexpr int PATTERN_EMPTY = -4;  // an empty set "[]"

int match(const char* pattern, const char* text);  // 1 when matche gives MATCH_VALID
int matche(const char* pattern, const char* text);
int matche_after_star(const char* pattern, const char* text);
int is_pattern(const char* s);
int is_valid_pattern(const char* pattern, int* error);
int willMatchEverything(const char* pattern);

// Writes the four-character code (a letter and three digits '0'-'6') and a NUL into out,
// which holds at least 5 bytes, from the word's base letters A-Z (accents dropped, other
// letters skipped); a word without them gives "Z000". Returns out.
char* soundex(char* out, const char* word);

}  // namespace vellum
