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
  copy[s.size()] = '\0';
  return copy;
}

int matcheExact(std::string_view pattern, std::string_view text) {
  return matche(exact(pattern).get(), exact(text).get());
}

int validity(std::string_view pattern, int* error) {
  *error = 12345;
  return is_valid_pattern(exact(pattern).get(), error);
}

std::string soundexOf(const char* word) {
  char out[8];
  std::fill(std::begin(out), std::end(out), '#');
  EXPECT_EQ(soundex(out, word), out);
  EXPECT_EQ(out[4], '\0');
  EXPECT_EQ(out[5], '#') << "soundex wrote past its five bytes";
  return out;
}

TEST(Matche, GivesEachResultCode) {
  EXPECT_EQ(matcheExact("abc", "abc"), MATCH_VALID);
  EXPECT_EQ(matcheExact("abc", "abcd"), MATCH_END);
  EXPECT_EQ(matcheExact("abcd", "abc"), MATCH_ABORT);
  EXPECT_EQ(matcheExact("abd", "abc"), MATCH_LITERAL);
  EXPECT_EQ(matcheExact("[x-z]", "a"), MATCH_RANGE);
  EXPECT_EQ(matcheExact("[a-", "a"), MATCH_PATTERN);
  EXPECT_EQ(matcheExact("", ""), MATCH_VALID);
  EXPECT_EQ(matcheExact("", "a"), MATCH_END);
  EXPECT_EQ(matcheExact("Abc", "abc"), MATCH_LITERAL) << "matching is case-sensitive";
}

TEST(Matche, StarsAndQuestionMarks) {
  EXPECT_EQ(match("*", ""), 1);
  EXPECT_EQ(match("?", ""), 0);
  EXPECT_EQ(matche("?", ""), MATCH_ABORT);
  EXPECT_EQ(match("l?ve", "love"), 1);
  EXPECT_EQ(match("l?ve", "lve"), 0);
  EXPECT_EQ(match("*eth", "goeth"), 1);
  EXPECT_EQ(match("*eth", "eth"), 1);
  EXPECT_EQ(match("*eth", "ethan"), 0);
  EXPECT_EQ(match("*eth*", "bethel"), 1);
  EXPECT_EQ(match("a*b*c", "aXbYbZc"), 1);
  EXPECT_EQ(match("a*b*c", "aXbYbZcd"), 0);
  EXPECT_EQ(match("*?", "a"), 1);
  EXPECT_EQ(matche("*??", "a"), MATCH_ABORT);
  EXPECT_EQ(match("*.[Bb][Ii][Bb]", "kjv.bib"), 1);
  EXPECT_EQ(match("*.[Bb][Ii][Bb]", "WEB.BiB"), 1);
  EXPECT_EQ(match("*.[Bb][Ii][Bb]", "kjv.bib.bak"), 0);
  EXPECT_EQ(match("*.[Bb][Ii][Bb]", "mhc.dic"), 0);
  // A star needs the character after it somewhere in the text, and a set after a star is
  // tried at every position.
  EXPECT_EQ(match("*[BC]ush", "theBush"), 1);
  EXPECT_EQ(match("*[BC]ush", "theRush"), 0);
}

// A run of stars matches the empty rest of the text just as one star does.
TEST(Matche, SeveralStarsMatchAnEmptyRest) {
  EXPECT_EQ(matche("**", ""), MATCH_VALID);
  EXPECT_EQ(matche("a**", "a"), MATCH_VALID);
  EXPECT_EQ(match("*a**", "ba"), 1);
  EXPECT_EQ(matche("a*?", "a"), MATCH_ABORT);
}

TEST(Matche, Sets) {
  EXPECT_EQ(match("[!a-c]x", "dx"), 1);
  EXPECT_EQ(matche("[!a-c]x", "bx"), MATCH_RANGE);
  EXPECT_EQ(match("[^a-c]x", "dx"), 1);
  EXPECT_EQ(match("[c-a]", "b"), 1);
  EXPECT_EQ(match("[c-a]", "d"), 0);
  EXPECT_EQ(match("[BC]ush", "Cush"), 1);
  EXPECT_EQ(matche("[BC]ush", "Rush"), MATCH_RANGE);
  // Escapes inside a set: members, range ends, and the characters that are syntax.
  EXPECT_EQ(match("[\\]]", "]"), 1);
  EXPECT_EQ(match("[a\\-z]", "-"), 1);
  EXPECT_EQ(match("[a\\-z]", "b"), 0);
  EXPECT_EQ(match("[!\\!]", "!"), 0);
  EXPECT_EQ(match("[!\\!]", "?"), 1);
  EXPECT_EQ(match("[a-\\]]", "]"), 1);
  EXPECT_EQ(match("[a-\\]]", "^"), 1);
  EXPECT_EQ(match("[a-\\]]", "b"), 0);
  // A member accepting the character does not excuse an unclosed rest.
  EXPECT_EQ(matcheExact("[ab", "a"), MATCH_PATTERN);
  EXPECT_EQ(matcheExact("[ab\\", "a"), MATCH_PATTERN);
}

// Patterns and texts are matched a character at a time: ranges compare code points, '?' takes
// one character of any length, and a byte that is not UTF-8 is a character of its own.
TEST(Matche, CharactersNotBytes) {
  EXPECT_EQ(match("[a-é]", "b"), 1);
  EXPECT_EQ(match("[a-é]", "é"), 1);
  EXPECT_EQ(match("[ü-à]", "é"), 1);
  EXPECT_EQ(match("[à-ü]", "a"), 0);
  EXPECT_EQ(match("[!à-ü]x", "éx"), 0);
  EXPECT_EQ(match("?feso", "Éfeso"), 1);
  EXPECT_EQ(match("??feso", "Éfeso"), 0);
  EXPECT_EQ(match("*so", "Éfeso"), 1);
  EXPECT_EQ(match("\\—", "—"), 1);  // an escaped character is the whole character
  EXPECT_EQ(match("ca?t", "ca\xFFt"), 1);
  EXPECT_EQ(match("ca\xFFt", "ca\xFEt"), 0);
  EXPECT_EQ(match("[\xFE-\xFF]", "\xFF"), 1);
  EXPECT_EQ(match("[\xFE-\xFF]", "é"), 0);
}

TEST(Matche, EscapeOutsideASetIsLiteral) {
  EXPECT_EQ(match("a\\*b", "a*b"), 1);
  EXPECT_EQ(match("a\\*b", "axb"), 0);
  EXPECT_EQ(match("a\\*b", "ab"), 0);
  EXPECT_EQ(match("\\[x]", "[x]"), 1);
  EXPECT_EQ(match("*\\?", "what?"), 1);
  EXPECT_EQ(match("*\\?", "what"), 0);
}

TEST(Matche, MalformedPatternsGivePatternWithoutReadingPastTheEnd) {
  for (std::string_view pattern : {"[", "[a", "[a-", "[a-\\", "[\\", "[!", "[^", "[]", "[!]",
                                   "[a-]", "[a-b", "\\", "[a\\", "[b-a\\"}) {
    SCOPED_TRACE(pattern);
    EXPECT_EQ(matcheExact(pattern, "a"), MATCH_PATTERN);
    EXPECT_EQ(matcheExact(pattern, "c"), MATCH_PATTERN);
    int error = 0;
    EXPECT_EQ(validity(pattern, &error), 0);
    EXPECT_NE(error, PATTERN_VALID);
  }
  EXPECT_EQ(matcheExact("*\\", "abc"), MATCH_PATTERN);
  EXPECT_EQ(matcheExact("*[", "abc"), MATCH_PATTERN);
  EXPECT_EQ(matcheExact("*a[", "xab"), MATCH_PATTERN);
  EXPECT_EQ(match("[", "["), 0);
}

TEST(MatcheAfterStar, ConsumesQuestionMarksAndSearches) {
  EXPECT_EQ(matche_after_star("*", "anything"), MATCH_VALID);
  EXPECT_EQ(matche_after_star("*?*?", "a"), MATCH_ABORT);
  EXPECT_EQ(matche_after_star("*?*?", "ab"), MATCH_VALID);
  EXPECT_EQ(matche_after_star("*x", "abc"), MATCH_ABORT);
  EXPECT_EQ(matche_after_star("*c", "abc"), MATCH_VALID);
  EXPECT_EQ(matche_after_star("*\\", "abc"), MATCH_PATTERN);
}

// Only stars recurse: a pattern without stars walks any length of text iteratively.
TEST(Matche, LongPatternsWithoutStarsDoNotRecurse) {
  const std::string text(200000, 'a');
  const std::string pattern(200000, '?');
  EXPECT_EQ(match(pattern.c_str(), text.c_str()), 1);
  EXPECT_EQ(match("*aaaaaaaaab", (text + "b").c_str()), 1);
}

TEST(IsPattern, FindsAnyWildcardCharacter) {
  EXPECT_EQ(is_pattern("love"), 0);
  EXPECT_EQ(is_pattern(""), 0);
  EXPECT_EQ(is_pattern("lo*"), 1);
  EXPECT_EQ(is_pattern("l?ve"), 1);
  EXPECT_EQ(is_pattern("[BC]ush"), 1);
  EXPECT_EQ(is_pattern("a\\b"), 1);
  EXPECT_EQ(is_pattern("a]b-c!"), 0);
}

TEST(IsValidPattern, ReportsEachError) {
  int error = 0;
  EXPECT_EQ(validity("[]abc", &error), 0);
  EXPECT_EQ(error, PATTERN_EMPTY);
  EXPECT_EQ(validity("[!]", &error), 0);
  EXPECT_EQ(error, PATTERN_EMPTY);
  EXPECT_EQ(validity("[abc", &error), 0);
  EXPECT_EQ(error, PATTERN_CLOSE);
  EXPECT_EQ(validity("[a-b", &error), 0);
  EXPECT_EQ(error, PATTERN_CLOSE);
  EXPECT_EQ(validity("[", &error), 0);
  EXPECT_EQ(error, PATTERN_CLOSE);
  EXPECT_EQ(validity("[a-]", &error), 0);
  EXPECT_EQ(error, PATTERN_RANGE);
  EXPECT_EQ(validity("[a-", &error), 0);
  EXPECT_EQ(error, PATTERN_RANGE);
  EXPECT_EQ(validity("abc\\", &error), 0);
  EXPECT_EQ(error, PATTERN_ESC);
  EXPECT_EQ(validity("[a\\", &error), 0);
  EXPECT_EQ(error, PATTERN_ESC);
  EXPECT_EQ(validity("[a-\\", &error), 0);
  EXPECT_EQ(error, PATTERN_ESC);

  for (std::string_view pattern : {"", "abc", "*eth", "l?ve", "[BC]ush", "[!a-c]x", "[\\]]",
                                   "[a-\\]]x", "a\\*b", "*.[Bb][Ii][Bb]", "]"}) {
    SCOPED_TRACE(pattern);
    EXPECT_EQ(validity(pattern, &error), 1);
    EXPECT_EQ(error, PATTERN_VALID);
  }
}

TEST(WillMatchEverything, OnlyForPatternsOfWildcardsMatchingBothAlphabets) {
  EXPECT_EQ(willMatchEverything("*"), 1);
  EXPECT_EQ(willMatchEverything("**"), 1);
  EXPECT_EQ(willMatchEverything("?"), 0);
  EXPECT_EQ(willMatchEverything("a*"), 0);
  EXPECT_EQ(willMatchEverything(""), 0);
  EXPECT_EQ(willMatchEverything("\\*"), 0);
  EXPECT_EQ(willMatchEverything("*[A-Z]"), 0);
}

TEST(Soundex, GivesTheKnownCodes) {
  EXPECT_EQ(soundexOf("Robert"), "R163");
  EXPECT_EQ(soundexOf("Rupert"), "R163");
  EXPECT_EQ(soundexOf("Ashcraft"), "A226");
  EXPECT_EQ(soundexOf("Tymczak"), "T522");
  EXPECT_EQ(soundexOf("Pfister"), "P236");
  EXPECT_EQ(soundexOf("Lee"), "L000");
  EXPECT_EQ(soundexOf("robert"), "R163");
  EXPECT_EQ(soundexOf("ROBERT"), "R163");
}

TEST(Soundex, WordsWithoutLettersAndNonLetters) {
  EXPECT_EQ(soundexOf("123"), "Z000");
  EXPECT_EQ(soundexOf(""), "Z000");
  EXPECT_EQ(soundexOf("(Jesus"), "J220");
  // Bytes above 127 are not letters, whatever the locale.
  EXPECT_EQ(soundexOf("\xC9mile"), "M400");
  EXPECT_EQ(soundexOf("\xC9\xE9"), "Z000");
  // A non-letter leaves the previous code in place; a vowel, H or W resets it.
  EXPECT_EQ(soundexOf("B-b"), "B000");
  EXPECT_EQ(soundexOf("Bab"), "B100");
  EXPECT_EQ(soundexOf("Bhb"), "B100");
  EXPECT_EQ(soundexOf("Bwb"), "B100");
  // Three digits at most.
  EXPECT_EQ(soundexOf("Abcdlmr"), "A123");
}

}  // namespace
}  // namespace vellum
