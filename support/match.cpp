// Wildcard matching and the sound-alike code.
//
// The matcher walks pattern and text together a character at a time (UTF-8, an invalid byte
// being a character of its own) and recurses only at a star (matche and matche_after_star call
// each other once per star), so the depth is bounded by the number of stars. Every step that
// moves past a pattern character first makes sure it is not the terminator: a malformed
// pattern ends in MATCH_PATTERN, never in a read past its end.
#include "support/match.h"

#include <string>

#include "support/unicode.h"

namespace vellum {
namespace {

// Sound-alike digit of each letter A..Z.
constexpr char kSoundexCodes[26] = {0, 1, 2, 3, 0, 1, 2, 0, 0, 2, 2, 4, 5,
                                    5, 0, 1, 2, 6, 2, 3, 0, 1, 0, 2, 0, 2};

// The index of an ASCII letter in A..Z, or -1 for anything else.
int letterIndex(char c) {
  if (c >= 'A' && c <= 'Z') return c - 'A';
  if (c >= 'a' && c <= 'z') return c - 'a';
  return -1;
}

// The character at p (not the terminator) and the position after it.
char32_t take(const char*& p) {
  const unicode::Character c = unicode::decode(p);
  p += c.length;
  return c.code;
}

}  // namespace

int match(const char* pattern, const char* text) {
  return matche(pattern, text) == MATCH_VALID ? 1 : 0;
}

int matche(const char* p, const char* t) {
  while (*p != '\0') {
    // Only stars can match the empty rest of the text ("a**" matches "a" as "a*" does).
    if (*t == '\0') {
      while (*p == '*') ++p;
      return *p == '\0' ? MATCH_VALID : MATCH_ABORT;
    }
    switch (*p) {
      case '?':
        ++p;
        take(t);
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

        const char32_t c = take(t);
        bool memberMatch = false;
        while (*p != ']') {
          if (*p == '\\') ++p;
          if (*p == '\0') return MATCH_PATTERN;
          const char32_t rangeStart = take(p);
          char32_t rangeEnd = rangeStart;
          if (*p == '-') {
            ++p;
            if (*p == '\0' || *p == ']') return MATCH_PATTERN;
            if (*p == '\\') {
              ++p;
              if (*p == '\0') return MATCH_PATTERN;
            }
            rangeEnd = take(p);
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
        ++p;  // past the ']'
        break;
      }

      case '\\':
        ++p;
        if (*p == '\0') return MATCH_PATTERN;
        if (take(p) != take(t)) return MATCH_LITERAL;
        break;

      default:
        if (take(p) != take(t)) return MATCH_LITERAL;
        break;
    }
  }
  return *t != '\0' ? MATCH_END : MATCH_VALID;
}

int matche_after_star(const char* p, const char* t) {
  while (*p == '?' || *p == '*') {
    if (*p == '?') {
      if (*t == '\0') return MATCH_ABORT;
      take(t);
    }
    ++p;
  }
  if (*p == '\0') return MATCH_VALID;

  const char* literal = p;
  if (*literal == '\\') {
    ++literal;
    if (*literal == '\0') return MATCH_PATTERN;
  }
  const bool set = *p == '[';
  const char32_t next = set ? 0 : unicode::decode(literal).code;

  // Try the rest of the pattern at every character of the text where it could start, the
  // text's terminator last. A try that ran out of text ends the search: a later start offers
  // the same pattern a shorter text.
  int result = 0;
  for (;;) {
    if (set || (*t != '\0' && next == unicode::decode(t).code)) result = matche(p, t);
    if (*t == '\0') return MATCH_ABORT;
    take(t);
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

  // The code reads base letters: a character beyond ASCII counts by its folded form, which
  // drops accents ("Éfeso" codes as "Efeso"); whatever is not a letter A-Z there is skipped.
  int previous = -1;
  int digits = 0;
  std::string folded;
  auto take = [&](char c) {
    const int index = letterIndex(c);
    if (index < 0 || digits == 3) return;
    const int code = kSoundexCodes[index];
    if (previous < 0) {
      out[0] = static_cast<char>('A' + index);
    } else if (code != previous && code != 0) {
      out[1 + digits++] = static_cast<char>('0' + code);
    }
    previous = code;
  };
  for (const char* p = word; *p != '\0' && digits < 3;) {
    const unicode::Character c = unicode::decode(p);
    if (c.code < 0x80) {
      take(static_cast<char>(c.code));
    } else {
      folded.clear();
      unicode::appendFolded(folded, c);
      for (char f : folded) take(f);
    }
    p += c.length;
  }
  return out;
}

}  // namespace vellum
