// Covers the string routines: character classes, comparisons, backward orderings, tokenizing,
// sorting, punctuation-blind phrase finding, bounded replacement and the trimming helpers; and
// the character layer under them: decoding forwards and backwards through damaged UTF-8, the
// folded forms, and cuts that never split a character.
#include "support/strings.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <string>
#include <tuple>
#include <vector>

#include "support/unicode.h"

namespace vellum {
namespace {

int sign(int value) { return (value > 0) - (value < 0); }

TEST(Strings, CaseBlindComparisonsFoldCaseAccentsAndApostrophesOnly) {
  for (char c : std::string("!\"',-.:;?[]{}~/")) EXPECT_TRUE(isPunctuation(c)) << c;
  for (char c : std::string("aZ09 \t\x7F\x80\xC3")) EXPECT_FALSE(isPunctuation(c)) << int(c);
  char text[] = "In the Beginning, 1:1 \xC3\xA9";  // bytes above 127 are no letters here
  EXPECT_STREQ(_strupr(text), "IN THE BEGINNING, 1:1 \xC3\xA9");
  EXPECT_STREQ(_strlwr(text), "in the beginning, 1:1 \xC3\xA9");
  // '[' sorts after 'A' (compared upper-cased); signed bytes above 127 sort first; bytes that
  // are not UTF-8 match only themselves.
  // clang-format off
  const std::tuple<const char*, const char*, int> cases[] = {
      {"Lord", "LORD", 0}, {"ab", "ABC", -1}, {"abc", "AB", 1}, {"[", "a", 1}, {"\xC3", "a", -1},
      {"AMÓ", "amo", 0}, {"Éfeso", "efeso", 0}, {"\xFF", "\xFE", 1}, {"Joseph’s", "JOSEPH'S", 0},
      {"corazón", "corazones", -1}};
  // clang-format on
  for (const auto& [a, b, expected] : cases) EXPECT_EQ(sign(_stricmp(a, b)), expected) << a;
  EXPECT_EQ(_strnicmp("abc", "abd", 2), 0);
  EXPECT_LT(_strnicmp("abc", "abd", 3), 0);
  EXPECT_EQ(_strnicmp("Génesis", "GEN", 3), 0);
  const char* verse = "And God said, Let there be light";
  EXPECT_EQ(_strstr(verse, "god"), nullptr);
  EXPECT_EQ(_stristr(verse, "LET THERE"), verse + 14);
  EXPECT_EQ(_stristr(verse, "LIGHTS"), nullptr);
}

TEST(Strings, ReverseComparisonsOrderBySuffix) {
  std::vector<const char*> words = {"glove", "love", "Loved", "Love"};
  std::sort(words.begin(), words.end(),
            [](const char* a, const char* b) { return reverseStrCmp(a, b) < 0; });
  EXPECT_EQ(words, (std::vector<const char*>{"Loved", "Love", "love", "glove"}));
  EXPECT_EQ(reverseStrCmp("abc", "abc"), -'a');  // equal words never compare 0
  EXPECT_EQ(reverseStriCmp("amó", "AMO"), -'A');
  EXPECT_LT(reverseStriCmp("LOVE", "glove"), 0);
  EXPECT_LT(reverseStriCmp("corazón", "CORAZONES"), 0);
  EXPECT_EQ(reverseStrnCmp("seth", "sath", 3), 'e' - 'a');
  // Counted comparisons decide on the last characters; a word that is exactly the tail agrees,
  // one that runs out within the count does not, and equal words never agree.
  const std::tuple<const char*, const char*, unsigned, bool> agree[] = {
      {"*eth", "seeth", 3, true},  {"*eth", "eth", 3, true},   {"love", "*love", 4, true},
      {"love", "*love", 5, false}, {"ove", "*love", 4, false}, {"xeth", "yeth", 3, true},
      {"xeth", "yeth", 4, false}};
  for (const auto& [a, b, count, same] : agree) EXPECT_EQ(reverseStrnCmp(a, b, count) == 0, same);
  const std::tuple<const char*, const char*, unsigned, bool> agreeFolded[] = {
      {"*ETH", "eth", 3, true},   {"LOVE", "*love", 4, true}, {"Seth", "bETH", 3, true},
      {"Seth", "sETH", 9, false}, {"Seth", "bETH", 4, false}, {"*AMÓ", "llamo", 3, true}};
  for (const auto& [a, b, count, same] : agreeFolded)
    EXPECT_EQ(reverseStrniCmp(a, b, count) == 0, same) << a << " " << b;
}

TEST(Strings, StrtokIsReentrantAndSortAndFindIgnoreCase) {
  char text[] = "in the, beginning", other[] = "a;b", delimiters[] = " ,, ";
  unsigned int position = 0, otherPosition = 0, delimiterPosition = 0;
  EXPECT_STREQ(_strtok(text, " ,", &position), "in");
  EXPECT_STREQ(_strtok(other, ";", &otherPosition), "a");
  EXPECT_STREQ(_strtok(text, " ,", &position), "the");
  EXPECT_STREQ(_strtok(text, " ,", &position), "beginning");
  EXPECT_EQ(_strtok(text, " ,", &position), nullptr);
  EXPECT_EQ(position, sizeof text - 1);
  EXPECT_STREQ(_strtok(other, ";", &otherPosition), "b");
  EXPECT_EQ(_strtok(delimiters, " ,", &delimiterPosition), nullptr);

  char genesis[] = "Genesis", exodus[] = "exodus", acts[] = "ACTS", job[] = "Job";
  char* books[] = {genesis, exodus, acts, job};
  strSort(books, 4);
  EXPECT_EQ(std::vector<std::string>(books, books + 4),
            (std::vector<std::string>{"ACTS", "exodus", "Genesis", "Job"}));
  EXPECT_EQ(strFind(books, 4, "GENESIS"), &books[2]);
  EXPECT_EQ(strFind(books, 4, "Jude"), nullptr);
  EXPECT_EQ(strFind(books, 0, "acts"), nullptr);
}

TEST(Strings, PhrasesAreFoundWholeAtAnyOccurrence) {
  const std::string light = "God said, “Let there be light,” and";
  // text, phrase, ignore case, ignore punctuation, held.
  const std::tuple<std::string, const char*, bool, bool, bool> rows[] = {
      {"Roland the brave, and the king", "and the", true, true, true},  // a later occurrence
      {"Roland the brave, and the king", "and the", true, false, true},
      {"bandthe and theirs", "and the", true, true, false},
      {light, "let there be light", true, true, true},
      {light, "light and", true, true, true},
      {light, "light and", true, false, false},
      {"straße", "STRASSE", true, true, true},
      {"straße", "stras", true, true, false},           // never half a character
      {"amo\xCC\x81 a Dios", "amo", true, true, true},  // a decomposed ó's mark goes with its o
      {"a, b", ",", true, true, false},                 // nothing left to find
      {"amó Dios", "amo Dios", false, true, false},
      {"Joseph’s house", "Joseph's house", false, false, true}};
  for (const auto& [text, phrase, ignoreCase, ignorePunctuation, held] : rows)
    EXPECT_EQ(holdsPhrase(text, phrase, ignoreCase, ignorePunctuation), held) << phrase << text;
  EXPECT_EQ(splitWords("“‘Let there be—light…’” ¿Quién? Joseph’s «amor» ,.— "),
            (std::vector<std::string>{"Let", "there", "be", "light", "Quién", "Joseph’s", "amor"}));

  const char* text = "the LORD, God of Israel";
  unsigned int length = 0;
  EXPECT_EQ(strinpstr(&length, text, "lord god"), text + 4);
  EXPECT_EQ(length, 9u);  // "LORD, God"
  EXPECT_EQ(strnpstr(&length, text, "lord god"), nullptr);
  EXPECT_EQ(strnpstr(&length, "the LORDGod", "LORD God"), nullptr);  // spaces must match
  const char* quoted = "\"...Let there be light.\"";
  EXPECT_EQ(strnpstr(&length, quoted, "-Let, there"), quoted + 4);
  const char* restart = "aab";
  EXPECT_EQ(strinpstr(&length, restart, "AB"), restart + 1);  // a failed start moves on by one
}

TEST(Strings, ReplStrReplacesLeftToRightWithinTheLimit) {
  // The last x is dropped; inserted text is not searched again; an empty pattern replaces
  // nothing.
  const std::tuple<const char*, const char*, const char*, unsigned short, const char*> cases[] = {
      {"a AND b AND c", " AND ", " & ", 13, "a & b & c"},
      {"xxxx", "x", "yy", 6, "yyyyyy"},
      {"Or or OR", "or", "|", 31, "| | |"},
      {"aaa", "a", "aa", 15, "aaaaaa"},
      {"abcdefg", "x", "y", 3, "abc"},
      {"abc", "", "zz", 7, "abc"}};
  for (const auto& [text, from, to, limit, result] : cases) {
    char buffer[32] = {};
    std::strcpy(buffer, text);
    EXPECT_STREQ(replStr(buffer, from, to, limit), result) << text;
  }
}

TEST(Strings, TrimmingHelpers) {
  EXPECT_EQ(trimmedLength("ab  "), 2u);
  EXPECT_EQ(trimmedLength("   "), 0u);
  std::string s = "xx\"(a_b)\"xx";
  stripLeading(s, 'x');
  stripTrailing(s, 'x');
  replaceCharacter(s, '_', ' ');
  stripLeadingPunctuation(s);
  EXPECT_EQ(s, "a b)\"");
  stripTrailingPunctuation(s);
  EXPECT_EQ(s, "a b");
  s = "don't-stop, now! \xC3\xA9 “Joseph’s—house…” ¿sí? a1b2";
  removePunctuation(s);
  removeCharacters(s, "12");
  EXPECT_EQ(s, "don't-stop now \xC3\xA9 Joseph’shouse sí ab");
  s = "  in   the  beginning ";
  normaliseSpaces(s);
  EXPECT_EQ(s, "in the beginning");
  // trim's steps run in order: leading line feeds go before leading carriage returns.
  const std::pair<const char*, const char*> trims[] = {
      {"  \n\r\"Hello, world!\"\r\n  ", "Hello, world"},
      {"\r\nword", "\nword"},
      {"“‘“Behold,”’”", "Behold"},
      {"¡\xFF!", "\xFF"}};  // a stray byte is a letter
  for (const auto& [text, trimmed] : trims) {
    s = text;
    trim(s);
    EXPECT_EQ(s, trimmed);
  }
}

}  // namespace

namespace unicode {
namespace {

TEST(Unicode, DecodesEveryByteOnceThroughDamagedText) {
  // Valid characters of 1 to 4 bytes, then a lone lead byte, a stray continuation byte, a cut
  // sequence, an overlong form and a surrogate, each invalid byte a character of its own.
  const std::string text =
      "a\xC3\xA9\xE2\x80\x94\xF0\x9F\x93\x96\xC3z\x80\xE2\x80\xC0\xAF\xED\xA0\x80";
  std::vector<Character> forwards, backwards;
  for (std::size_t at = 0; at < text.size(); at += forwards.back().length)
    forwards.push_back(decode(text, at));
  for (std::size_t end = text.size(); end > 0; end -= backwards.back().length)
    backwards.push_back(decodeBefore(text, end));
  std::reverse(backwards.begin(), backwards.end());

  // clang-format off
  const std::vector<char32_t> expected = {
      U'a', U'é', U'—', U'📖', kInvalidByte + 0xC3, U'z', kInvalidByte + 0x80,
      kInvalidByte + 0xE2, kInvalidByte + 0x80, kInvalidByte + 0xC0, kInvalidByte + 0xAF,
      kInvalidByte + 0xED, kInvalidByte + 0xA0, kInvalidByte + 0x80};
  // clang-format on
  ASSERT_EQ(forwards.size(), expected.size());
  ASSERT_EQ(backwards.size(), expected.size());
  std::size_t at = 0;
  for (std::size_t i = 0; i < expected.size(); at += forwards[i++].length) {
    EXPECT_EQ(forwards[i].code, expected[i]) << i;
    EXPECT_EQ(backwards[i].code, expected[i]) << i;
    EXPECT_EQ(decode(text.c_str() + at).code, expected[i]) << i;  // stops at the terminator
  }
}

TEST(Unicode, FoldedAndExactForms) {
  EXPECT_EQ(folded("Amó, Éfeso; ÆNON straße"), "AMO, EFESO; æNON STRASSE");
  EXPECT_EQ(folded("Joseph’s ＬＯＲＤ"), "JOSEPH'S LORD");
  EXPECT_EQ(folded("ca\xFFt"), "CA\xF4\x8F\xBF\xBFT");  // a stray byte: U+10FFFF
  // A stray lead byte, a mark the fold drops, a stray continuation byte: never joined later.
  const std::string stray = folded("\xCC\xCC\xB9\xB9");
  EXPECT_EQ(folded(stray), stray);
  EXPECT_EQ(exact("Joseph’s Amó"), "Joseph's Amó");
}

TEST(Unicode, CutsNeverSplitACharacter) {
  const std::string text = "a\xC3\xA9\xE2\x80\x94z";  // a é — z: 1, 2, 3, 1 bytes
  const std::size_t expected[] = {0, 1, 1, 3, 3, 3, 6, 7, 7};
  for (std::size_t limit = 0; limit < std::size(expected); ++limit)
    EXPECT_EQ(prefixLength(text, limit), expected[limit]) << limit;
}

}  // namespace
}  // namespace unicode
}  // namespace vellum
