// Covers the word rules every search kind follows on real UTF-8 text: typographic punctuation
// around words, ' and ’ as one character, case and accents, characters rather than bytes,
// every phrase occurrence, and bytes that are not UTF-8.
#include <gtest/gtest.h>

#include <algorithm>
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

// clang-format off
// The plain searches, the expression, the word-list searches and the notes' phrase searches.
enum class Kind { Word, CsWord, Phrase, CsPhrase, Expression, Wildcard, CsWildcard, SoundAlike,
                  NotePhrase, CsNotePhrase };

struct Case {
  const char* text;  // one verse, and the same text as that verse's note
  const char* query;
  Kind kind;
  bool hit;
};

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

TEST(WordRules, EveryKindFollowsTheRulesOnUnicodeText) {
  test::TempDir dir;
  std::string vpl;
  for (std::size_t i = 0; i < std::size(kCases); ++i)
    vpl += "Genesis\t1\t" + std::to_string(i + 1) + "\t" + kCases[i].text + "\n";
  test::buildModule(dir.path(), "rules.bib", "Word Rules", vpl);
  test::Module module = test::openModule(dir.path(), "rules.bib");
  ASSERT_NE(module, nullptr);
  test::Notes notes(VNCreate(module.get()));  // each note case sets its verse's text as a note
  ASSERT_NE(notes, nullptr);
  constexpr std::uint16_t kCapacity = kVerseListCapacity;
  std::vector<std::uint16_t> out(kCapacity + 1);
  std::vector<std::string> words(kCapacity);
  using Plain =
      std::uint16_t* (*)(std::uint16_t*, std::uint16_t*, std::uint16_t, const char*, BibleHandle*);
  const Plain plain[] = {wordSearch, csWordSearch, phraseSearch, csPhraseSearch};
  const decltype(&wildCardSearch) listing[] = {wildCardSearch, csWildCardSearch, soundexSearch};
  for (std::size_t i = 0; i < std::size(kCases); ++i) {
    const Case& c = kCases[i];
    const auto verse = static_cast<std::uint16_t>(i);
    std::uint16_t n = 0, w = 0;
    if (c.kind <= Kind::CsPhrase) {
      plain[static_cast<int>(c.kind)](out.data(), &n, kCapacity, c.query, module.get());
    } else if (c.kind == Kind::Expression) {
      booleanSearch(out.data(), &n, kCapacity, words.data(), &w, kCapacity, c.query, 0,
                    module.get());
    } else if (c.kind <= Kind::SoundAlike) {
      listing[static_cast<int>(c.kind) - static_cast<int>(Kind::Wildcard)](
          out.data(), &n, kCapacity, words.data(), &w, kCapacity, c.query, module.get());
    } else {
      EXPECT_TRUE(VNSetNoteByVerse(verse, c.text, notes.get()));
      (c.kind == Kind::NotePhrase ? VNPhraseSearch : VNCSPhraseSearch)(out.data(), &n, kCapacity,
                                                                       c.query, notes.get());
      VNDelNoteByVerse(verse, notes.get());
    }
    const bool hit = std::find(out.begin(), out.begin() + n, verse) != out.begin() + n;
    EXPECT_EQ(hit, c.hit) << "case " << i << ": \"" << c.query << "\" in \"" << c.text << "\"";
  }
  notes.reset();
  module.reset();
  set_dpath(".");
}

}  // namespace
}  // namespace vellum
