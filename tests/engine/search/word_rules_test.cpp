// Covers the word rules every search kind follows on real UTF-8 text: typographic punctuation
// around words, ' and ’ as one character, case and accents, characters rather than bytes,
// every phrase occurrence, and bytes that are not UTF-8.
#include <gtest/gtest.h>

#include <algorithm>
#include <memory>
#include <string>
#include <vector>

#include "engine/search/boolean.h"
#include "engine/search/search.h"
#include "engine/search/verselist.h"
#include "engine/search/wordlists.h"
#include "engine/stores/notes.h"
#include "tests/support/fixtures.h"

namespace vellum {
namespace {

enum class Kind {
  Word,
  CsWord,
  Phrase,
  CsPhrase,
  Expression,
  Wildcard,
  CsWildcard,
  SoundAlike,
  NotePhrase,
  CsNotePhrase
};

struct Case {
  const char* text;  // one verse, and the same text as that verse's note
  const char* query;
  Kind kind;
  bool hit;
};

// clang-format off
const Case kCases[] = {
    // Typographic punctuation is trimmed from words and cuts them, as ASCII punctuation is.
    {"God said, “Let there be light,” and there was light.", "let", Kind::Word, true},
    {"“‘“Behold, I come quickly.”’”", "behold", Kind::Word, true},
    {"¿Quién es éste? ¡Mirad!", "mirad", Kind::Word, true},
    {"la fe—y la esperanza… «amor»", "esperanza", Kind::Word, true},
    {"la fe—y la esperanza… «amor»", "amor", Kind::Expression, true},
    {"la fe—y la esperanza… «amor»", "fe and not y", Kind::Expression, false},
    {"God said, “Let there be light,” and there was light.", "“*", Kind::Wildcard, false},
    {"God said, “Let there be light,” and there was light.", "*”", Kind::CsWildcard, false},
    // ' and ’ are one character, for every kind.
    {"the house of Joseph’s fathers", "Joseph's", Kind::Word, true},
    {"the house of Joseph’s fathers", "Joseph's", Kind::CsWord, true},
    {"the house of Joseph's fathers", "Joseph’s", Kind::CsWord, true},
    {"the house of Joseph’s fathers", "joseph's fathers", Kind::Phrase, true},
    {"the house of Joseph’s fathers", "Joseph's*", Kind::CsWildcard, true},
    {"the house of Joseph’s fathers", "Joseph's fathers", Kind::CsNotePhrase, true},
    // Case and accents fold for the case-blind kinds; the "cs" kinds stay exact.
    {"Porque de tal manera amó Dios al mundo", "AMÓ", Kind::Word, true},
    {"Porque de tal manera amó Dios al mundo", "amo", Kind::Word, true},
    {"Porque de tal manera amó Dios al mundo", "amó", Kind::CsWord, true},
    {"Porque de tal manera amó Dios al mundo", "AMÓ", Kind::CsWord, false},
    {"Porque de tal manera amó Dios al mundo", "amo", Kind::CsWord, false},
    {"Porque de tal manera amó Dios al mundo", "AMO DIOS", Kind::Phrase, true},
    {"Porque de tal manera amó Dios al mundo", "amo Dios", Kind::CsPhrase, false},
    {"Porque de tal manera amó Dios al mundo", "amó Dios", Kind::CsPhrase, true},
    {"Porque de tal manera amó Dios al mundo", "MANERA AMO", Kind::NotePhrase, true},
    {"Porque de tal manera amó Dios al mundo", "manera amo", Kind::CsNotePhrase, false},
    {"con todo tu corazón", "corazon", Kind::Word, true},
    {"con todo tu corazón", "CORAZ*", Kind::Wildcard, true},
    {"Él es el que era", "él", Kind::Word, true},
    {"Él es el que era", "él or nadie", Kind::Expression, true},
    {"Ænon near to Salim", "ænon", Kind::Word, true},
    // Characters, not bytes: ? takes one character, sets range over code points, and the
    // sound-alike code reads base letters.
    {"Pablo llegó a Éfeso", "?feso", Kind::CsWildcard, true},
    {"Pablo llegó a Éfeso", "llegó", Kind::CsWildcard, true},
    {"Pablo llegó a Éfeso", "lleg?", Kind::CsWildcard, true},
    {"Pablo llegó a Éfeso", "lleg??", Kind::CsWildcard, false},
    {"con todo tu corazón", "coraz[o-ó]n", Kind::CsWildcard, true},
    {"con todo tu corazón", "coraz[a-o]n", Kind::CsWildcard, false},
    {"Pablo llegó a Éfeso", "Efeso", Kind::SoundAlike, true},
    // Any occurrence of a phrase between word edges is a hit, not only the first.
    {"Roland the brave, and the king", "and the", Kind::Phrase, true},
    {"Roland the brave, and the king", "and the", Kind::CsPhrase, true},
    {"Roland the brave, and the king", "and the", Kind::NotePhrase, true},
    {"Roland the brave; bandthe", "and the", Kind::Phrase, false},
    {"the light of the world", "the lig", Kind::Phrase, false},
    {"the light of the world", "the light", Kind::NotePhrase, true},
    {"the light of the world", "light of", Kind::CsNotePhrase, true},
    {"the light, of the world", "light of", Kind::CsNotePhrase, false},
    // A phrase may end or begin at punctuation inside an indexed word.
    {"I will eat of my son’s venison", "my son", Kind::Phrase, true},
    {"in the day of the LORD's wrath", "of the lord", Kind::CsPhrase, false},
    {"in the day of the LORD's wrath", "of the LORD", Kind::CsPhrase, true},
    {"they play rock-n’roll music", "roll music", Kind::Phrase, true},
    {"they play rock-n’rolls music", "roll music", Kind::Phrase, false},
    {"God said, “Let there be light,” and there was light.", "let there be light", Kind::Phrase,
     true},
    // A byte that is not UTF-8 is a letter that matches only itself.
    {"the ca\xFFt sat", "ca\xFFt", Kind::Word, true},
    {"the ca\xFFt sat", "ca\xFEt", Kind::Word, false},
    {"the ca\xFFt sat", "ca?t", Kind::Wildcard, true},
    {"the ca\xFFt sat", "ca\xFFt sat", Kind::Phrase, true}
};
// clang-format on

using Verses = std::vector<std::uint16_t>;

class WordRules : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    dir_ = std::make_unique<test::TempDir>();
    std::string vpl;
    for (std::size_t i = 0; i < std::size(kCases); ++i)
      vpl += "Genesis\t1\t" + std::to_string(i + 1) + "\t" + kCases[i].text + "\n";
    test::buildModule(dir_->path(), "rules.bib", "Word Rules", vpl);
  }
  static void TearDownTestSuite() { dir_.reset(); }
  void SetUp() override {
    ASSERT_NE(module_ = test::openModule(dir_->path(), "rules.bib"), nullptr);
    notes_.reset(VNCreate(module_.get()));
    ASSERT_NE(notes_, nullptr);
  }
  void TearDown() override { set_dpath("."); }

  // The verses the query finds with the kind, the verse's note holding the verse's text.
  Verses run(Kind kind, const char* query, std::uint16_t verse, const char* text) {
    constexpr std::uint16_t kCapacity = kVerseListCapacity;
    std::vector<std::uint16_t> out(kCapacity + 1);
    std::vector<std::string> words(kCapacity);
    std::uint16_t n = 0, w = 0;
    BibleHandle* m = module_.get();
    using Plain = std::uint16_t* (*)(std::uint16_t*, std::uint16_t*, std::uint16_t, const char*,
                                     BibleHandle*);
    using Listing = decltype(&wildCardSearch);
    const Plain plain[] = {wordSearch, csWordSearch, phraseSearch, csPhraseSearch};
    const Listing listing[] = {wildCardSearch, csWildCardSearch, soundexSearch};
    if (kind <= Kind::CsPhrase) {
      plain[static_cast<int>(kind)](out.data(), &n, kCapacity, query, m);
    } else if (kind == Kind::Expression) {
      booleanSearch(out.data(), &n, kCapacity, words.data(), &w, kCapacity, query, 0, m);
    } else if (kind <= Kind::SoundAlike) {
      listing[static_cast<int>(kind) - static_cast<int>(Kind::Wildcard)](
          out.data(), &n, kCapacity, words.data(), &w, kCapacity, query, m);
    } else {
      EXPECT_TRUE(VNSetNoteByVerse(verse, text, notes_.get()));
      (kind == Kind::NotePhrase ? VNPhraseSearch : VNCSPhraseSearch)(out.data(), &n, kCapacity,
                                                                     query, notes_.get());
      VNDelNoteByVerse(verse, notes_.get());
    }
    return Verses(out.begin(), out.begin() + n);
  }

  static std::unique_ptr<test::TempDir> dir_;
  test::Module module_;
  test::Notes notes_;
};
std::unique_ptr<test::TempDir> WordRules::dir_;

TEST_F(WordRules, EveryKindFollowsTheRulesOnUnicodeText) {
  for (std::size_t i = 0; i < std::size(kCases); ++i) {
    const Case& c = kCases[i];
    const auto verse = static_cast<std::uint16_t>(i);
    const Verses found = run(c.kind, c.query, verse, c.text);
    const bool hit = std::find(found.begin(), found.end(), verse) != found.end();
    EXPECT_EQ(hit, c.hit) << "case " << i << ": \"" << c.query << "\" in \"" << c.text << "\"";
  }
}

}  // namespace
}  // namespace vellum
