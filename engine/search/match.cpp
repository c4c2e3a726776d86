// Wildcard matching and the sound-alike code.
//
// The matcher walks pattern and text together and recurses only at a star (matche and
// matche_after_star call each other once per star), so the depth is bounded by the number of
// stars. Every step that moves past a pattern character first makes sure it is not the
// terminator: a malformed pattern ends in MATCH_PATTERN, never in a read past its end.
#include "engine/search/match.h"

namespace vellum {
namespace {

// Range ends and the text character compare as signed bytes whatever the platform's char is,
// so a range that reaches into the bytes above 127 means the same everywhere.
signed char signedByte(char c) { return static_cast<signed char>(c); }

// Sound-alike digit of each letter A..Z.
constexpr char kSoundexCodes[26] = {0, 1, 2, 3, 0, 1, 2, 0, 0, 2, 2, 4, 5,
                                    5, 0, 1, 2, 6, 2, 3, 0, 1, 0, 2, 0, 2};

// The index of an ASCII letter in A..Z, or -1 for anything else (other bytes are not letters,
// whatever the locale says).
int letterIndex(char c) {
  if (c >= 'A' && c <= 'Z') return c - 'A';
  if (c >= 'a' && c <= 'z') return c - 'a';
  return -1;
}

}  // namespace

int match(const char* pattern, const char* text) {
  return matche(pattern, text) == MATCH_VALID ? 1 : 0;
}

int matche(const char* p, const char* t) {
  for (; *p != '\0'; ++p, ++t) {
    // Only stars can match the empty rest of the text ("a**" matches "a" as "a*" does).
    if (*t == '\0') {
      while (*p == '*') ++p;
      return *p == '\0' ? MATCH_VALID : MATCH_ABORT;
    }
    switch (*p) {
      case '?':
        break;

      case '*':
        return matche_after_star(p, t);

      case '[': {
        ++p;
        bool invert = false;
        if (*p == '!' || *p == '^') {
          invert = true;
          ++p;
        }
        if (*p == ']') return MATCH_PATTERN;

        const signed char c = signedByte(*t);
        bool memberMatch = false;
        while (*p != ']') {
          if (*p == '\\') ++p;
          if (*p == '\0') return MATCH_PATTERN;
          signed char rangeStart = signedByte(*p);
          signed char rangeEnd = rangeStart;
          ++p;
          if (*p == '-') {
            ++p;
            if (*p == '\0' || *p == ']') return MATCH_PATTERN;
            if (*p == '\\') {
              ++p;
              if (*p == '\0') return MATCH_PATTERN;
            }
            rangeEnd = signedByte(*p);
            ++p;
          }
          const bool accepted = rangeStart < rangeEnd ? (c >= rangeStart && c <= rangeEnd)
                                                      : (c >= rangeEnd && c <= rangeStart);
          if (accepted) {
            memberMatch = true;
            break;
          }
        }
        if (invert == memberMatch) return MATCH_RANGE;

        // Accepted by a member: the rest of the set still has to be well formed up to its ']'.
        if (memberMatch) {
          while (*p != ']') {
            if (*p == '\0') return MATCH_PATTERN;
            if (*p == '\\') {
              ++p;
              if (*p == '\0') return MATCH_PATTERN;
            }
            ++p;
          }
        }
        break;
      }

      case '\\':
        ++p;
        if (*p == '\0') return MATCH_PATTERN;
        if (*p != *t) return MATCH_LITERAL;
        break;

      default:
        if (*p != *t) return MATCH_LITERAL;
        break;
    }
  }
  return *t != '\0' ? MATCH_END : MATCH_VALID;
}

int matche_after_star(const char* p, const char* t) {
  while (*p == '?' || *p == '*') {
    if (*p == '?') {
      if (*t == '\0') return MATCH_ABORT;
      ++t;
    }
    ++p;
  }
  if (*p == '\0') return MATCH_VALID;

  char next = *p;
  if (next == '\\') {
    next = p[1];
    if (next == '\0') return MATCH_PATTERN;
  }

  // Try the rest of the pattern at every text position where it could start, the text's
  // terminator last. A try that ran out of text ends the search: a later start offers the
  // same pattern a shorter text.
  int result = 0;
  for (;;) {
    if (next == *t || next == '[') result = matche(p, t);
    if (*t == '\0') return MATCH_ABORT;
    ++t;
    if (result == MATCH_VALID || result == MATCH_ABORT || result == MATCH_PATTERN) return result;
  }
}

int is_pattern(const char* s) {
  for (; *s != '\0'; ++s) {
    switch (*s) {
      case '?':
      case '*':
      case '[':
      case '\\':
        return 1;
      default:
        break;
    }
  }
  return 0;
}

int is_valid_pattern(const char* p, int* error) {
  *error = PATTERN_VALID;
  while (*p != '\0') {
    switch (*p) {
      case '\\':
        ++p;
        if (*p == '\0') {
          *error = PATTERN_ESC;
          return 0;
        }
        ++p;
        break;

      case '[':
        ++p;
        // A negation mark belongs to the set's syntax, not to its members, so "[!]" is as
        // empty as "[]" (matche rejects both).
        if (*p == '!' || *p == '^') ++p;
        if (*p == ']') {
          *error = PATTERN_EMPTY;
          return 0;
        }
        while (*p != ']') {
          if (*p == '\0') {
            *error = PATTERN_CLOSE;
            return 0;
          }
          if (*p == '\\') {
            ++p;
            if (*p == '\0') {
              *error = PATTERN_ESC;
              return 0;
            }
          }
          ++p;
          if (*p == '-') {
            ++p;
            if (*p == '\0' || *p == ']') {
              *error = PATTERN_RANGE;
              return 0;
            }
            if (*p == '\\') {
              ++p;
              if (*p == '\0') {
                *error = PATTERN_ESC;
                return 0;
              }
            }
            ++p;
          }
        }
        ++p;  // past the ']'
        break;

      default:
        ++p;
        break;
    }
  }
  return 1;
}

int willMatchEverything(const char* pattern) {
  for (const char* p = pattern; *p != '\0'; ++p) {
    if (*p != '?' && *p != '*' && *p != '[' && *p != '\\') return 0;
  }
  return (match(pattern, "ABCDEFGHIJKLMNOPQRSTUVWXYZ") &&
          match(pattern, "ZYXWVUTSRQPONMLKJIHGFEDCBA"))
             ? 1
             : 0;
}

char* soundex(char* out, const char* word) {
  out[0] = 'Z';
  out[1] = out[2] = out[3] = '0';
  out[4] = '\0';

  while (*word != '\0' && letterIndex(*word) < 0) ++word;
  if (*word == '\0') return out;

  int index = letterIndex(*word);
  out[0] = static_cast<char>('A' + index);
  int previous = kSoundexCodes[index];
  int digits = 0;
  for (++word; *word != '\0' && digits < 3; ++word) {
    index = letterIndex(*word);
    if (index < 0) continue;
    const int code = kSoundexCodes[index];
    if (code == previous) continue;
    previous = code;
    if (code != 0) out[1 + digits++] = static_cast<char>('0' + code);
  }
  return out;
}

}  // namespace vellum
