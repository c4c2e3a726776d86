// Tests the wildcard matcher, the pattern checks and the sound-alike code.
#include "support/match.h"

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <string_view>

namespace vellum {
namespace {

// A copy of s in a heap block of exactly its size and terminator, so a read past the
// terminator is caught by the address sanitizer.
std::unique_ptr<char[]> exact(std::string_view s) {
  auto copy = std::make_unique<char[]>(s.size() + 1);
  s.copy(copy.get(), s.size());
  return copy;
}

TEST(Matche, GivesTheResultOfEachPattern) {
  struct Case {
    const char* pattern;
    const char* text;
    int result;
  };
  // clang-format off
  const Case cases[] = {
      {"abc", "abc", MATCH_VALID}, {"abc", "abcd", MATCH_END}, {"abcd", "abc", MATCH_ABORT},
      {"abd", "abc", MATCH_LITERAL}, {"Abc", "abc", MATCH_LITERAL}, {"", "", MATCH_VALID},
      {"", "a", MATCH_END}, {"?", "", MATCH_ABORT}, {"*", "", MATCH_VALID},
      {"l?ve", "love", MATCH_VALID}, {"*eth", "eth", MATCH_VALID}, {"*eth", "ethan", MATCH_ABORT},
      {"*eth*", "bethel", MATCH_VALID}, {"a*b*c", "aXbYbZc", MATCH_VALID},
      {"a*b*c", "aXbYbZcd", MATCH_ABORT}, {"*?", "a", MATCH_VALID}, {"*??", "a", MATCH_ABORT},
      {"**", "", MATCH_VALID}, {"a**", "a", MATCH_VALID}, {"*a**", "ba", MATCH_VALID},
      {"a*?", "a", MATCH_ABORT}, {"*.[Bb][Ii][Bb]", "WEB.BiB", MATCH_VALID},
      {"*.[Bb][Ii][Bb]", "kjv.bib.bak", MATCH_ABORT},
      // A set after a star is tried at every position.
      {"*[BC]ush", "theBush", MATCH_VALID}, {"*[BC]ush", "theRush", MATCH_ABORT},
      // Sets: negation, ranges in either order, escapes of members, range ends and syntax.
      {"[x-z]", "a", MATCH_RANGE}, {"[!a-c]x", "dx", MATCH_VALID}, {"[!a-c]x", "bx", MATCH_RANGE},
      {"[^a-c]x", "dx", MATCH_VALID}, {"[c-a]", "b", MATCH_VALID}, {"[c-a]", "c", MATCH_VALID},
      {"[c-a]", "d", MATCH_RANGE}, {"[a-c]", "c", MATCH_VALID}, {"[\\]]", "]", MATCH_VALID},
      {"[a\\-z]", "-", MATCH_VALID}, {"[a\\-z]", "b", MATCH_RANGE},
      {"[!\\!]", "!", MATCH_RANGE}, {"[a-\\]]", "^", MATCH_VALID}, {"[a-\\]]", "b", MATCH_RANGE},
      // Outside a set '\' takes the next character literally.
      {"a\\*b", "a*b", MATCH_VALID}, {"a\\*b", "axb", MATCH_LITERAL}, {"\\[x]", "[x]", MATCH_VALID},
      {"*\\?", "what?", MATCH_VALID}, {"*\\?", "what", MATCH_ABORT},
      // Characters, not bytes: ranges compare code points, '?' takes a whole character, and a
      // byte that is not UTF-8 is a character of its own.
      {"[a-é]", "é", MATCH_VALID}, {"[ü-à]", "é", MATCH_VALID}, {"[à-ü]", "a", MATCH_RANGE},
      {"?feso", "Éfeso", MATCH_VALID}, {"??feso", "Éfeso", MATCH_LITERAL},
      {"\\—", "—", MATCH_VALID}, {"ca?t", "ca\xFFt", MATCH_VALID},
      {"ca\xFFt", "ca\xFEt", MATCH_LITERAL}, {"[\xFE-\xFF]", "é", MATCH_RANGE},
      // Malformed patterns match nothing, even where a member accepted the character.
      {"[a-", "a", MATCH_PATTERN}, {"[ab", "a", MATCH_PATTERN}, {"[ab\\", "a", MATCH_PATTERN},
      {"*\\", "abc", MATCH_PATTERN}, {"*a[", "xab", MATCH_PATTERN}, {"[", "[", MATCH_PATTERN}
  };
  // clang-format on
  for (const Case& c : cases)
    EXPECT_EQ(matche(exact(c.pattern).get(), exact(c.text).get()), c.result)
        << c.pattern << " on " << c.text;
  EXPECT_EQ(match("l?ve", "lve"), 0);
  EXPECT_EQ(match("*eth", "goeth"), 1);
  EXPECT_EQ(matche_after_star("*?*?", "a"), MATCH_ABORT);
  EXPECT_EQ(matche_after_star("*?*?", "ab"), MATCH_VALID);
}

// Only stars recurse: a pattern without stars walks any length of text iteratively.
TEST(Matche, LongPatternsWithoutStarsDoNotRecurse) {
  const std::string text(200000, 'a');
  EXPECT_EQ(match(std::string(200000, '?').c_str(), text.c_str()), 1);
  EXPECT_EQ(match("*aaaaaaaaab", (text + "b").c_str()), 1);
}

TEST(IsValidPattern, ReportsEachErrorWithoutReadingPastTheEnd) {
  struct Case {
    const char* pattern;
    int error;
  };
  const Case cases[] = {{"[]abc", PATTERN_EMPTY},    {"[!]", PATTERN_EMPTY},
                        {"[abc", PATTERN_CLOSE},     {"[a-b", PATTERN_CLOSE},
                        {"[", PATTERN_CLOSE},        {"[a-]", PATTERN_RANGE},
                        {"[a-", PATTERN_RANGE},      {"abc\\", PATTERN_ESC},
                        {"[a\\", PATTERN_ESC},       {"[a-\\", PATTERN_ESC},
                        {"[b-a\\", PATTERN_ESC},     {"]", PATTERN_VALID},
                        {"[a-\\]]x", PATTERN_VALID}, {"*.[Bb][Ii][Bb]", PATTERN_VALID}};
  for (const Case& c : cases) {
    int error = 12345;
    EXPECT_EQ(is_valid_pattern(exact(c.pattern).get(), &error), c.error == PATTERN_VALID)
        << c.pattern;
    EXPECT_EQ(error, c.error) << c.pattern;
    if (c.error != PATTERN_VALID && c.pattern[0] == '[') {
      EXPECT_EQ(matche(exact(c.pattern).get(), exact("c").get()), MATCH_PATTERN) << c.pattern;
    }
  }
}

TEST(IsPattern, WildcardCharactersAndPatternsThatMatchEverything) {
  EXPECT_EQ(is_pattern("love"), 0);
  EXPECT_EQ(is_pattern("a]b-c!"), 0);
  for (const char* pattern : {"lo*", "l?ve", "[BC]ush", "a\\b"}) EXPECT_EQ(is_pattern(pattern), 1);
  EXPECT_EQ(willMatchEverything("**"), 1);
  for (const char* pattern : {"?", "a*", "", "\\*", "*[A-Z]"})
    EXPECT_EQ(willMatchEverything(pattern), 0) << pattern;
}

TEST(Soundex, GivesTheCodeOfEachWord) {
  // Bytes above 127 are not letters, whatever the locale. A non-letter leaves the previous code
  // in place; a vowel, H or W resets it.
  const std::pair<const char*, const char*> cases[] = {
      {"Robert", "R163"},  {"rupert", "R163"},  {"ROBERT", "R163"},   {"Ashcraft", "A226"},
      {"Tymczak", "T522"}, {"Pfister", "P236"}, {"Lee", "L000"},      {"123", "Z000"},
      {"", "Z000"},        {"(Jesus", "J220"},  {"\xC9mile", "M400"}, {"\xC9\xE9", "Z000"},
      {"B-b", "B000"},     {"Bab", "B100"},     {"Bhb", "B100"},      {"Bwb", "B100"},
      {"Abcdlmr", "A123"}};
  for (const auto& [word, code] : cases) {
    char out[8] = "#######";
    EXPECT_EQ(soundex(out, word), out);
    EXPECT_STREQ(out, code) << word;
    EXPECT_EQ(out[5], '#') << "soundex wrote past its five bytes";
  }
}

}  // namespace
}  // namespace vellum
