// Covers the character layer under the word rules: decoding forwards and backwards through
// damaged UTF-8, the folded forms, and cuts that never split a character.
#include "support/unicode.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

namespace vellum::unicode {
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
}  // namespace vellum::unicode
