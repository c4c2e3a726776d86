// Covers booleanSearch: keyword rewriting, grammar and grouping, the words handed back, syntax
// errors, the operand and stack limits, and independence of concurrent searches.
#include "engine/search/boolean.h"

#include <gtest/gtest.h>

#include <thread>
#include <vector>

#include "engine/search/verselist.h"
#include "tests/support/fixtures.h"

namespace vellum {
namespace {

using Verses = std::vector<std::uint16_t>;
using Words = std::vector<std::string>;

// love: 1 3 6 7; hate: 6; god: 0 1 7.
constexpr const char* kText =
    "Genesis\t1\t1\tIn the beginning God created the heaven.\n"
    "Genesis\t1\t2\tThe LORD, God of Israel, said Love is kind.\n"
    "Genesis\t1\t3\tthe light was good.\n"
    "Genesis\t1\t4\tThey love to live; I LOVE thee.\n"
    "Genesis\t1\t5\tHe walked.\n"
    "Genesis\t1\t6\tThe man slept.\n"
    "Genesis\t2\t1\tHate not, but love and hate the evil.\n"
    "Genesis\t2\t2\tGod is love.\n";

Verses search(BibleHandle* module, const std::string& expression, Words* stored = nullptr,
              std::uint16_t wordCapacity = 8, std::uint16_t capacity = kVerseListCapacity) {
  std::vector<std::uint16_t> out(capacity + 1u, 0xBEEF);
  Words words(wordCapacity);
  std::uint16_t n = 99, w = 99;
  EXPECT_EQ(booleanSearch(out.data(), &n, capacity, words.data(), &w, wordCapacity,
                          expression.c_str(), 0, module),
            out.data());
  EXPECT_EQ(out[n], kVerseListEnd);
  EXPECT_EQ(out[capacity], 0xBEEF) << "wrote past capacity";
  if (stored != nullptr) *stored = Words(words.begin(), words.begin() + w);
  return Verses(out.begin(), out.begin() + n);
}

std::string chain(int operands) {
  std::string text = "love";
  for (int i = 1; i < operands; ++i) text += " or love";
  return text;
}

class Boolean : public ::testing::Test {
 protected:
  void SetUp() override {
    test::buildModule(dir_.path(), "bool.bib", "Boolean Test", kText);
    ASSERT_NE(module_ = test::openModule(dir_.path(), "bool.bib"), nullptr);
  }
  void TearDown() override { set_dpath("."); }
  test::TempDir dir_;
  test::Module module_;
};

TEST_F(Boolean, ExpressionsFindTheirVersesAndHandBackTheirWords) {
  struct Case {
    std::string expression;
    Verses verses;
    const char* postfix;  // "" for a syntax error
    Words stored;
  };
  const Case cases[] = {
      {"love", {1, 3, 6, 7}, "LOVE ", {"LOVE"}},
      {"love or hate", {1, 3, 6, 7}, "LOVE HATE | ", {"LOVE", "HATE"}},
      {"Love Or Hate", {1, 3, 6, 7}, "LOVE HATE | ", {"LOVE", "HATE"}},
      {"love&hate", {6}, "LOVE HATE & ", {"LOVE", "HATE"}},
      {"(love or hate) not god", {3, 6}, "LOVE HATE | GOD ! ", {"LOVE", "HATE", "GOD"}},
      // Chains group to the right: love ! {6}; the left grouping would give {3}.
      {"love ! hate ! god", {1, 3, 7}, "LOVE HATE GOD ! ! ", {"LOVE", "HATE", "GOD"}},
      {"god | love & hate", {0, 1, 6, 7}, "GOD LOVE HATE & | ", {"GOD", "LOVE", "HATE"}},
      // Spaces join words into one operand; keywords need spaces on both sides.
      {"love god", {}, "LOVEGOD ", {}},
      {"and love", {}, "ANDLOVE ", {}},
      {"(love)or(hate)", {}, "", {}},
      // Only words with hits are handed back, each time they occur.
      {"zzz or love", {1, 3, 6, 7}, "ZZZ LOVE | ", {"LOVE"}},
      {"love or love", {1, 3, 6, 7}, "LOVE LOVE | ", {"LOVE", "LOVE"}},
      // "#" and the line feed end an operand; text after them fails the parse.
      {"love#", {1, 3, 6, 7}, "LOVE ", {"LOVE"}},
      {"love\n", {1, 3, 6, 7}, "LOVE ", {"LOVE"}},
      {"love#hate", {}, "", {}},
      {"love\nhate", {}, "", {}},
      {"love &", {}, "", {}},
      {"(love", {}, "", {}},
      {"love)", {}, "", {}},
      {"", {}, "", {}},
      {"   ", {}, "", {}},
      {"love and not hate", {}, "", {}},
      {"& love", {}, "", {}},
      // Sixty-four pending lists are the limit; operands longer than 255 are refused, and
      // deep parentheses are refused rather than overrun.
      {chain(64), {1, 3, 6, 7}, nullptr, Words(8, "LOVE")},
      {chain(65), {}, nullptr, {}},
      {chain(5000), {}, nullptr, {}},
      {"love or " + std::string(10000, 'x'), {}, "", {}},
      {std::string(100, '(') + "love" + std::string(100, ')'), {1, 3, 6, 7}, "LOVE ", {"LOVE"}},
      {std::string(100000, '(') + "love" + std::string(100000, ')'), {}, "", {}}};
  for (const Case& c : cases) {
    Words stored;
    EXPECT_EQ(search(module_.get(), c.expression, &stored), c.verses) << c.expression;
    EXPECT_EQ(stored, c.stored) << c.expression;
    if (c.postfix != nullptr) {
      EXPECT_EQ(booleanPostfix(c.expression.c_str()), c.postfix);
    }
  }
  EXPECT_EQ(booleanPostfix(std::string(255, 'x').c_str()), std::string(255, 'X') + " ");
  EXPECT_EQ(booleanPostfix(std::string(256, 'x').c_str()), "");
}

TEST_F(Boolean, WordsAndVersesStopAtTheirCapacities) {
  Words stored;
  EXPECT_EQ(search(module_.get(), "love or hate or god", &stored, 2), (Verses{0, 1, 3, 6, 7}));
  EXPECT_EQ(stored, (Words{"LOVE", "HATE"}));
  EXPECT_EQ(search(module_.get(), "love", nullptr, 8, 3), (Verses{1, 3}));
}

// Searches on two modules at once give what they give alone: no state is shared.
TEST_F(Boolean, ConcurrentSearchesAreIndependent) {
  test::buildModule(dir_.path(), "bool2.bib", "Boolean Test", kText);
  test::Module second = test::openModule(dir_.path(), "bool2.bib");
  ASSERT_NE(second, nullptr);
  auto work = [](BibleHandle* module, const char* expression, Verses expected, bool* ok) {
    for (int i = 0; i < 40; ++i) *ok = *ok && search(module, expression) == expected;
  };
  bool ok1 = true, ok2 = true;
  std::thread a(work, module_.get(), "(love or hate) not god", Verses{3, 6}, &ok1);
  std::thread b(work, second.get(), "love ! hate ! god", Verses{1, 3, 7}, &ok2);
  a.join();
  b.join();
  EXPECT_TRUE(ok1 && ok2);
}

}  // namespace
}  // namespace vellum
