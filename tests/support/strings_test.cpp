// Covers the string routines: character classes, comparisons, backward orderings, tokenizing,
// sorting, punctuation-blind phrase finding, bounded replacement and the trimming helpers.
#include "support/strings.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <string>
#include <vector>

namespace vellum {
namespace {

int sign(int value) { return (value > 0) - (value < 0); }

TEST(StringsTest, CharacterClassesAreAsciiOnly) {
  EXPECT_TRUE(isLetter('a'));
  EXPECT_TRUE(isLetter('Z'));
  EXPECT_FALSE(isLetter('\xE9'));  // a UTF-8 byte is no letter
  EXPECT_TRUE(isDigit('7'));
  for (char c : std::string("!\"',-.:;?[]{}~/")) EXPECT_TRUE(isPunctuation(c)) << c;
  for (char c : std::string("aZ09 \t\n\x7F\x80\xC3")) EXPECT_FALSE(isPunctuation(c)) << int(c);
  EXPECT_EQ(toUpper('q'), 'Q');
  EXPECT_EQ(toLower('Q'), 'q');
  EXPECT_EQ(toUpper('\xE9'), '\xE9');
  char text[] = "In the Beginning, 1:1 \xC3\xA9";
  EXPECT_STREQ(_strupr(text), "IN THE BEGINNING, 1:1 \xC3\xA9");
  EXPECT_STREQ(_strlwr(text), "in the beginning, 1:1 \xC3\xA9");
}

TEST(StringsTest, CaseBlindComparisons) {
  EXPECT_EQ(_stricmp("Lord", "LORD"), 0);
  EXPECT_EQ(_strnicmp("abc", "abd", 2), 0);
  EXPECT_LT(_strnicmp("abc", "abd", 3), 0);
  EXPECT_EQ(_strnicmp("abc", "xyz", 0), 0);
  EXPECT_LT(_stricmp("ab", "ABC"), 0);
  EXPECT_GT(_stricmp("abc", "AB"), 0);
  EXPECT_EQ(_stricmp("", ""), 0);
  EXPECT_GT(_stricmp("[", "a"), 0);     // compared upper-cased: '[' (91) follows 'A' (65)
  EXPECT_LT(_stricmp("\xC3", "a"), 0);  // signed bytes: above 127 sorts first
  // Beyond ASCII: case and accents fold, ' and ’ are one character.
  EXPECT_EQ(_stricmp("AMÓ", "amo"), 0);
  EXPECT_EQ(_stricmp("Éfeso", "efeso"), 0);
  EXPECT_EQ(_stricmp("Joseph’s", "JOSEPH'S"), 0);
  EXPECT_LT(_stricmp("corazón", "corazones"), 0);
  EXPECT_EQ(_strnicmp("Génesis", "GEN", 3), 0);
  EXPECT_NE(_stricmp("\xFF", "\xFE"), 0);  // bytes that are not UTF-8 match only themselves
}

TEST(StringsTest, SearchesPointIntoTheText) {
  const char* text = "And God said, Let there be light";
  EXPECT_EQ(_strstr(text, "God"), text + 4);
  EXPECT_EQ(_strstr(text, "god"), nullptr);
  EXPECT_EQ(_stristr(text, "LET THERE"), text + 14);
  EXPECT_EQ(_stristr(text, "LIGHTS"), nullptr);
  EXPECT_EQ(_stristr(text, ""), text);
  EXPECT_EQ(_stristr("", "a"), nullptr);
}

TEST(StringsTest, StrdupAndReverse) {
  auto copy = _strdup("seeth");
  EXPECT_STREQ(copy.get(), "seeth");
  EXPECT_STREQ(reverse(copy.get()), "htees");
  char abc[] = "abc";
  EXPECT_STREQ(reverse(abc), "cba");
  char one[] = "a";
  EXPECT_STREQ(reverse(one), "a");
}

TEST(StringsTest, ReverseStrCmpOrdersBySuffix) {
  EXPECT_LT(reverseStrCmp("seeth", "teeth"), 0);
  EXPECT_EQ(reverseStrCmp("abc", "abc"), -'a');
  EXPECT_GT(reverseStrCmp("bc", "ab"), 0);

  // A word sorts before every longer word that ends with it.
  std::vector<const char*> words = {"glove", "love", "Loved", "Love"};
  std::sort(words.begin(), words.end(),
            [](const char* a, const char* b) { return reverseStrCmp(a, b) < 0; });
  EXPECT_EQ(words, (std::vector<const char*>{"Loved", "Love", "love", "glove"}));
}

TEST(StringsTest, ReverseComparisonsAreAntisymmetricWhereTheWordsDiffer) {
  const std::vector<const char*> words = {"a",    "e",     "love", "glove", "Love",
                                          "LOVE", "loved", "ove",  "eth",   "seeth"};
  for (const char* a : words) {
    for (const char* b : words) {
      if (std::strcmp(a, b) == 0) continue;
      EXPECT_EQ(sign(reverseStrCmp(a, b)), -sign(reverseStrCmp(b, a))) << a << " " << b;
      EXPECT_EQ(sign(reverseStrnCmp(a, b, 3)), -sign(reverseStrnCmp(b, a, 3))) << a << " " << b;
      if (_stricmp(a, b) == 0) continue;  // one word in two cases: equal folded forms
      EXPECT_EQ(sign(reverseStriCmp(a, b)), -sign(reverseStriCmp(b, a))) << a << " " << b;
      EXPECT_EQ(sign(reverseStrniCmp(a, b, 3)), -sign(reverseStrniCmp(b, a, 3))) << a << " " << b;
    }
  }
}

TEST(StringsTest, ReverseCaseBlindComparisonsCompareFoldedForms) {
  // Spellings of one word fold alike and compare as one string with itself.
  EXPECT_EQ(reverseStriCmp("Love", "love"), -'L');
  EXPECT_EQ(reverseStriCmp("amó", "AMO"), -'A');
  // A word sorts before every longer word that ends with it, whatever the case of either.
  EXPECT_LT(reverseStriCmp("LOVE", "glove"), 0);
  EXPECT_GT(reverseStriCmp("glove", "LOVE"), 0);
  EXPECT_LT(reverseStriCmp("seeth", "TEETH"), 0);
  EXPECT_LT(reverseStriCmp("corazón", "CORAZONES"), 0);
}

TEST(StringsTest, ReverseCountedComparisonsDecideOnTheLastCharacters) {
  EXPECT_EQ(reverseStrnCmp("*eth", "seeth", 3), 0);
  EXPECT_EQ(reverseStrnCmp("*eth", "eth", 3), 0);  // a word that is exactly the tail
  EXPECT_EQ(reverseStrnCmp("love", "*love", 4), 0);
  EXPECT_NE(reverseStrnCmp("love", "*love", 5), 0);  // ran out within the count
  EXPECT_NE(reverseStrnCmp("ove", "*love", 4), 0);
  EXPECT_EQ(reverseStrnCmp("xeth", "yeth", 2), 0);
  EXPECT_EQ(reverseStrnCmp("xeth", "yeth", 3), 0);
  EXPECT_LT(reverseStrnCmp("xeth", "yeth", 4), 0);
  EXPECT_EQ(reverseStrnCmp("seth", "sath", 3), 'e' - 'a');

  EXPECT_EQ(reverseStrniCmp("*ETH", "seeth", 3), 0);
  EXPECT_EQ(reverseStrniCmp("*ETH", "eth", 3), 0);
  EXPECT_EQ(reverseStrniCmp("LOVE", "*love", 4), 0);
  EXPECT_EQ(reverseStrniCmp("Seth", "bETH", 3), 0);
  EXPECT_NE(reverseStrniCmp("Seth", "sETH", 9), 0);  // equal folded words, as equal words
  EXPECT_NE(reverseStrniCmp("Seth", "bETH", 4), 0);
  EXPECT_EQ(reverseStrniCmp("*AMÓ", "llamo", 3), 0);
}

TEST(StringsTest, StrtokIsReentrant) {
  char text[] = "in the, beginning";
  char other[] = "a;b";
  unsigned int position = 0;
  unsigned int otherPosition = 0;
  EXPECT_STREQ(_strtok(text, " ,", &position), "in");
  EXPECT_STREQ(_strtok(other, ";", &otherPosition), "a");
  EXPECT_STREQ(_strtok(text, " ,", &position), "the");
  EXPECT_STREQ(_strtok(text, " ,", &position), "beginning");
  EXPECT_EQ(_strtok(text, " ,", &position), nullptr);
  EXPECT_EQ(position, sizeof text - 1);
  EXPECT_STREQ(_strtok(other, ";", &otherPosition), "b");

  char delimitersOnly[] = " ,, ";
  position = 0;
  EXPECT_EQ(_strtok(delimitersOnly, " ,", &position), nullptr);
}

TEST(StringsTest, SortAndFindIgnoreCase) {
  char genesis[] = "Genesis", exodus[] = "exodus", acts[] = "ACTS", job[] = "Job";
  char* books[] = {genesis, exodus, acts, job};
  strSort(books, 4);
  EXPECT_STREQ(books[0], "ACTS");
  EXPECT_STREQ(books[1], "exodus");
  EXPECT_STREQ(books[2], "Genesis");
  EXPECT_STREQ(books[3], "Job");
  EXPECT_EQ(strFind(books, 4, "GENESIS"), &books[2]);
  EXPECT_EQ(strFind(books, 4, "acts"), &books[0]);
  EXPECT_EQ(strFind(books, 4, "Jude"), nullptr);
  EXPECT_EQ(strFind(books, 0, "acts"), nullptr);
}

TEST(StringsTest, WholePhrasesAtAnyOccurrence) {
  struct Row {
    const char* text;
    const char* phrase;
    bool ignorePunctuation;
    bool held;
  };
  // clang-format off
  const Row rows[] = {
      {"Roland the brave, and the king", "and the", true, true},  // a later occurrence counts
      {"Roland the brave, and the king", "and the", false, true},
      {"bandthe and theirs", "and the", true, false},
      {"God said, “Let there be light,” and", "let there be light", true, true},
      {"God said, “Let there be light,” and", "light and", true, true},
      {"God said, “Let there be light,” and", "light and", false, false},
      {"straße", "STRASSE", true, true},
      {"straße", "stras", true, false},  // never half a character
      {"amo\xCC\x81 a Dios", "amo", true, true},  // the mark of a decomposed ó goes with its o
      {"a, b", ",", true, false},         // nothing left to find
  };
  // clang-format on
  for (const Row& row : rows)
    EXPECT_EQ(holdsPhrase(row.text, row.phrase, true, row.ignorePunctuation), row.held)
        << row.phrase << " in " << row.text;
  EXPECT_FALSE(holdsPhrase("amó Dios", "amo Dios", false, true));
  EXPECT_TRUE(holdsPhrase("Joseph’s house", "Joseph's house", false, false));
}

TEST(StringsTest, SplittingWordsCutsAtUnicodePunctuationButKeepsApostrophes) {
  EXPECT_EQ(splitWords("“‘Let there be—light…’” ¿Quién? Joseph’s «amor»"),
            (std::vector<std::string>{"Let", "there", "be", "light", "Quién", "Joseph’s", "amor"}));
  EXPECT_EQ(splitWords(" ,.— "), std::vector<std::string>{});
}

TEST(StringsTest, PhraseFindingIgnoresPunctuation) {
  const char* text = "the LORD, God of Israel";
  unsigned int length = 0;
  EXPECT_EQ(strinpstr(&length, text, "lord god"), text + 4);
  EXPECT_EQ(length, 9u);  // "LORD, God"
  EXPECT_EQ(strnpstr(&length, text, "lord god"), nullptr);
  EXPECT_EQ(strnpstr(&length, text, "LORD God"), text + 4);
  EXPECT_EQ(strnpstr(&length, "short", "much longer"), nullptr);
  EXPECT_EQ(strnpstr(&length, "the LORDGod", "LORD God"), nullptr);  // spaces must match

  const char* quoted = "\"...Let there be light.\"";
  EXPECT_EQ(strnpstr(&length, quoted, "-Let, there"), quoted + 4);
  EXPECT_EQ(length, 9u);
  const char* restart = "aab";
  EXPECT_EQ(strinpstr(&length, restart, "AB"), restart + 1);  // a failed start moves on by one
  EXPECT_EQ(length, 2u);
}

TEST(StringsTest, ReplStrReplacesLeftToRightWithinTheLimit) {
  char expression[14] = "a AND b AND c";
  EXPECT_STREQ(replStr(expression, " AND ", " & ", 13), "a & b & c");

  char xs[7] = "xxxx";
  EXPECT_STREQ(replStr(xs, "x", "yy", 6), "yyyyyy");  // the last x is dropped

  char mixed[32] = "Or or OR";
  EXPECT_STREQ(replStr(mixed, "or", "|", 31), "| | |");

  char growing[16] = "aaa";
  EXPECT_STREQ(replStr(growing, "a", "aa", 15), "aaaaaa");  // inserted text is not searched

  char tail[8] = "abcdefg";
  EXPECT_STREQ(replStr(tail, "x", "y", 3), "abc");

  char untouched[8] = "abc";
  EXPECT_STREQ(replStr(untouched, "", "zz", 7), "abc");  // an empty pattern replaces nothing
}

TEST(StringsTest, TrimmingHelpers) {
  EXPECT_EQ(trimmedLength("ab  "), 2u);
  EXPECT_EQ(trimmedLength("   "), 0u);

  std::string s = "a_b_c";
  replaceCharacter(s, '_', ' ');
  EXPECT_EQ(s, "a b c");

  s = "xxabxx";
  stripLeading(s, 'x');
  EXPECT_EQ(s, "abxx");
  stripTrailing(s, 'x');
  EXPECT_EQ(s, "ab");
  s = "xxx";
  stripTrailing(s, 'x');
  EXPECT_EQ(s, "");

  s = "\"(love)\"";
  stripLeadingPunctuation(s);
  EXPECT_EQ(s, "love)\"");
  stripTrailingPunctuation(s);
  EXPECT_EQ(s, "love");

  s = "don't-stop, now! \xC3\xA9";
  removePunctuation(s);
  EXPECT_EQ(s, "don't-stop now \xC3\xA9");
  s = "“Joseph’s—house…” ¿sí?";
  removePunctuation(s);
  EXPECT_EQ(s, "Joseph’shouse sí");

  s = "a1b2c3";
  removeCharacters(s, "123");
  EXPECT_EQ(s, "abc");

  s = "  in   the  beginning ";
  normaliseSpaces(s);
  EXPECT_EQ(s, "in the beginning");
}

TEST(StringsTest, TrimRunsItsStepsInOrder) {
  std::string s = "  \n\r\"Hello, world!\"\r\n  ";
  trim(s);
  EXPECT_EQ(s, "Hello, world");

  // Leading line feeds go before leading carriage returns, so "\r\n" in front keeps its feed.
  s = "\r\nword";
  trim(s);
  EXPECT_EQ(s, "\nword");

  s = "“‘“Behold,”’”";
  trim(s);
  EXPECT_EQ(s, "Behold");
  s = "¡\xFF!";  // a byte that is not UTF-8 is a letter
  trim(s);
  EXPECT_EQ(s, "\xFF");
}

}  // namespace
}  // namespace vellum
