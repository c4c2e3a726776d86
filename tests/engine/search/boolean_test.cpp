// Covers booleanSearch: keyword rewriting, grammar and grouping, the words handed back, syntax
// errors, the operand and stack limits, and independence of concurrent searches.
#include "engine/search/boolean.h"

#include <gtest/gtest.h>

#include <thread>
#include <vector>

#include "engine/search/verselist.h"
#include "support/files.h"
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

test::Module buildAndOpen(const test::TempDir& dir, const char* file) {
  test::buildModule(dir.path(), file, "Boolean Test", kText);
  return test::openModule(dir.path(), file);
}

class Boolean : public ::testing::Test {
 protected:
  void SetUp() override {
    module_ = buildAndOpen(dir_, "bool.bib");
    ASSERT_NE(module_, nullptr);
  }
  void TearDown() override {
    module_.reset();
    set_dpath(".");
  }
  Verses run(const std::string& expression, std::uint16_t wordCapacity = 8,
             std::uint16_t capacity = kVerseListCapacity) {
    std::vector<std::uint16_t> out(capacity + 1, 0xBEEF);
    words_.assign(wordCapacity, std::string());
    std::uint16_t n = 99, w = 99;
    EXPECT_EQ(booleanSearch(out.data(), &n, capacity, words_.data(), &w, wordCapacity,
                            expression.c_str(), 0, module_.get()),
              out.data());
    EXPECT_EQ(out[n], kVerseListEnd);
    EXPECT_EQ(out[capacity], 0xBEEF) << "wrote past capacity";
    stored_ = Words(words_.begin(), words_.begin() + w);
    return Verses(out.begin(), out.begin() + n);
  }

  test::TempDir dir_;
  test::Module module_;
  Words words_;
  Words stored_;
};

TEST_F(Boolean, SingleWordEqualsWordSearch) {
  EXPECT_EQ(run("love"), (Verses{1, 3, 6, 7}));
  EXPECT_EQ(stored_, (Words{"LOVE"}));
}

TEST_F(Boolean, KeywordsAndSymbolsAreTheSame) {
  const Verses expected{1, 3, 6, 7};
  EXPECT_EQ(run("love or hate"), expected);
  EXPECT_EQ(run("love | hate"), expected);
  EXPECT_EQ(run("LOVE OR HATE"), expected);
  EXPECT_EQ(run("Love Or Hate"), expected);
  EXPECT_EQ(run("love and hate"), (Verses{6}));
  EXPECT_EQ(run("love&hate"), (Verses{6}));
}

TEST_F(Boolean, NotMeansAndNot) {
  EXPECT_EQ(run("(love or hate) not god"), (Verses{3, 6}));
  EXPECT_EQ(booleanPostfix("(love or hate) not god"), "LOVE HATE | GOD ! ");
  EXPECT_EQ(stored_, (Words{"LOVE", "HATE", "GOD"}));
}

TEST_F(Boolean, ChainsGroupToTheRight) {
  // love ! (hate ! god) = love ! {6} = {1, 3, 7}; the left grouping would give {3}.
  EXPECT_EQ(run("love ! hate ! god"), (Verses{1, 3, 7}));
  EXPECT_EQ(booleanPostfix("a ! b ! c"), "A B C ! ! ");
}

TEST_F(Boolean, AndBindsTighterThanOr) {
  // god | (love & hate) = {0, 1, 7} | {6}.
  EXPECT_EQ(run("god | love & hate"), (Verses{0, 1, 6, 7}));
  EXPECT_EQ(booleanPostfix("a | b & c"), "A B C & | ");
}

TEST_F(Boolean, SpacesJoinWordsIntoOneOperand) {
  EXPECT_EQ(booleanPostfix("love god"), "LOVEGOD ");
  EXPECT_EQ(run("love god"), Verses{});
  EXPECT_TRUE(stored_.empty());
}

TEST_F(Boolean, KeywordsNeedSpacesOnBothSides) {
  EXPECT_EQ(booleanPostfix("and love"), "ANDLOVE ");
  EXPECT_EQ(booleanPostfix("(love)or(hate)"), "");  // "OR" is no keyword there
}

TEST_F(Boolean, SyntaxErrorsFindNothing) {
  for (const char* bad : {"love &", "(love", "love)", "", "   ", "love and not hate", "& love"}) {
    EXPECT_EQ(run(bad), Verses{}) << bad;
    EXPECT_TRUE(stored_.empty()) << bad;
    EXPECT_EQ(booleanPostfix(bad), "") << bad;
  }
}

TEST_F(Boolean, WordsWithHitsAreStoredUpToCapacity) {
  run("zzz or love");
  EXPECT_EQ(stored_, (Words{"LOVE"}));
  run("love or love");
  EXPECT_EQ(stored_, (Words{"LOVE", "LOVE"}));
  EXPECT_EQ(run("love or hate or god", 2), (Verses{0, 1, 3, 6, 7}));
  EXPECT_EQ(stored_, (Words{"LOVE", "HATE"}));
}

TEST_F(Boolean, ResultIsCutBeforeCapacity) {
  EXPECT_EQ(run("love", 8, 3), (Verses{1, 3}));
}

std::string chain(int operands, const char* word) {
  std::string text = word;
  for (int i = 1; i < operands; ++i) text += std::string(" or ") + word;
  return text;
}

TEST_F(Boolean, SixtyFourPendingListsAreTheLimit) {
  EXPECT_EQ(run(chain(64, "love")), (Verses{1, 3, 6, 7}));
  EXPECT_EQ(run(chain(65, "love")), Verses{});
  EXPECT_TRUE(stored_.empty());
  EXPECT_EQ(run(chain(5000, "love")), Verses{});
}

TEST_F(Boolean, OperandsLongerThan255AreRefused) {
  EXPECT_EQ(booleanPostfix(std::string(255, 'x').c_str()), std::string(255, 'X') + " ");
  EXPECT_EQ(booleanPostfix(std::string(256, 'x').c_str()), "");
  EXPECT_EQ(run("love or " + std::string(10000, 'x')), Verses{});
}

TEST_F(Boolean, DeepParenthesesAreRefusedNotOverrun) {
  EXPECT_EQ(run(std::string(100, '(') + "love" + std::string(100, ')')), (Verses{1, 3, 6, 7}));
  EXPECT_EQ(run(std::string(100000, '(') + "love" + std::string(100000, ')')), Verses{});
}

// "#" and the line feed end an operand; text after them is left over and fails the parse.
TEST_F(Boolean, EndMarkAndLineFeedEndAnOperand) {
  EXPECT_EQ(booleanPostfix("love#"), "LOVE ");
  EXPECT_EQ(booleanPostfix("love\n"), "LOVE ");
  EXPECT_EQ(booleanPostfix("love#hate"), "");
  EXPECT_EQ(booleanPostfix("love\nhate"), "");
}

// Searches on two modules at once give what they give alone: no state is shared.
TEST_F(Boolean, ConcurrentSearchesAreIndependent) {
  test::Module second = buildAndOpen(dir_, "bool2.bib");
  ASSERT_NE(second, nullptr);
  auto work = [](BibleHandle* module, const char* expression, Verses expected, bool* ok) {
    std::vector<std::uint16_t> out(kVerseListCapacity);
    std::vector<std::string> words(8);
    for (int i = 0; i < 40; ++i) {
      std::uint16_t n = 0, w = 0;
      booleanSearch(out.data(), &n, kVerseListCapacity, words.data(), &w, 8, expression, 0,
                    module);
      if (Verses(out.begin(), out.begin() + n) != expected) *ok = false;
    }
  };
  bool ok1 = true, ok2 = true;
  std::thread a(work, module_.get(), "(love or hate) not god", Verses{3, 6}, &ok1);
  std::thread b(work, second.get(), "love ! hate ! god", Verses{1, 3, 7}, &ok2);
  a.join();
  b.join();
  EXPECT_TRUE(ok1);
  EXPECT_TRUE(ok2);
}

}  // namespace
}  // namespace vellum
