// OSIS markup to text (Strong's numbers, brackets, titles, notes; plain and lexicon renderings)
// and OSIS files read with their faults named by line.
#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <utility>
#include <vector>

#include "tests/support/fixtures.h"
#include "tools/import/osis_file.h"
#include "tools/import/osis_text.h"

namespace vellum::import {
namespace {

using Case = std::pair<const char*, const char*>;  // markup or file body, and what it gives

TEST(OsisText, StrongsBracketsTitlesAndNotesFallIntoPlace) {
  const Case cases[] = {
      // A number follows its word and closing punctuation, without leading zeros.
      {R"(In the <w lemma="strong:H7225">beginning</w> <w lemma="strong:H0430">God</w>.)",
       "In the beginning 7225 God. 430"},
      {"<w lemma=\"strong:H3068\">LORD</w>\xE2\x80\x99s <w lemma=\"strong:H1\">x</w>"
       "<transChange type=\"added\">y</transChange>",
       "LORD\xE2\x80\x99s 3068 x 1 [y]"},
      {R"(<w lemma="strong:H0853 strong:H03068">b</w> <w lemma="x strong:H0000 strong:G12a">c</w>)",
       "b 853 3068 c 12"},
      // Added words stand in brackets with their numbers after; amplified ones do not.
      {R"(<transChange type="added">it <w lemma="strong:G1">was</w></transChange>. good)",
       "[it was]. 1 good"},
      {R"(of <transChange type="added">the <divineName>Lord</divineName></transChange> )"
       R"(<transChange type="amplified">kept</transChange>)",
       "of [the LORD] kept"},
      // Canonical titles stay; other titles and notes go, a note between words leaving a blank.
      {R"(<title canonical="true">A <w lemma="strong:H4210">Psalm</w>.</title> <l sID="x"/>LORD)",
       "A Psalm. 4210 LORD"},
      {R"(<title><foreign>BETH.</foreign></title> <l sID="a"/>Wherewithal)", "Wherewithal"},
      {R"(<w lemma="strong:H1">God</w><note>n</note><w lemma="strong:H2">made</w>, it<note>)"
       R"(<reference>1.4</reference>Heb.</note>.)",
       "God 1 made, 2 it."},
      // A stray end tag, a USFM marker, an element left open, entities; text past the book's end.
      {R"(the \nd <w lemma="strong:H3050">LORD</w></divineName> hath <q who="Jesus">Go)",
       "the LORD 3050 hath Go"},
      {"a &amp; b &#8217; &lt;c&gt;", "a & b \xE2\x80\x99 <c>"},
      {R"(Amen. <chapter eID="Rev.22"/> <div type="glossary">Abaddon</div>)", "Amen."},
  };
  for (const auto& [markup, text] : cases) EXPECT_EQ(osisVerseText(markup), text) << markup;
  EXPECT_EQ(osisVerseText(R"(<w lemma="strong:H0430">God</w> said)", false), "God said");
  EXPECT_EQ(osisPlainText(R"(<title type="x-s2">Chapter 3</title> <table> <row><cell>One.</cell>)"
                          R"(<cell>(1-21)</cell></row> </table> <div sID="p"/><hi>Verses 1-8</hi>)"
                          R"(<div eID="p"/>  Nicodemus   was<note>n</note> afraid.)"),
            "Chapter 3\nOne. (1-21)\nVerses 1-8\nNicodemus was afraid.");
  // A lexicon entry opens with its word, transliteration and pronunciation.
  EXPECT_EQ(osisLexiconText(R"(<entryFree n="1"> <orth>AB</orth> <orth type="writing">*A</orth> )"
                            R"(<orth type="trans">'ab</orth> <pron>awb</pron><lb/><lb/> <def>A )"
                            R"(word;<lb/> <hi>father</hi> (<orth>A2</orth>)</def></entryFree>)"),
            "AB 'ab awb\nA word;\nfather (A2)");
}

class OsisFile : public ::testing::Test {
 protected:
  bool read(const std::string& body, OsisReadOptions options = {}) {
    test::writeFile(dir_.file("in.xml"), "<?xml version=\"1.0\"?>\n<osis><osisText>\n" + body +
                                             "\n</osisText></osis>\n");
    verses_.clear();
    error_.clear();
    return readOsisFile(dir_.file("in.xml"), options, verses_, error_);
  }
  test::TempDir dir_;
  std::vector<VerseLine> verses_;
  std::string error_;
};

TEST_F(OsisFile, ReadsContainersAndMilestonesWithTitlesBeforeTheirVerse) {
  ASSERT_TRUE(read(R"(<div type="book" osisID="Ps"><chapter osisID="Ps.3">
<title type="section">Not scripture</title>
<title canonical="true">A Psalm of <w lemma="strong:H1732">David</w>.</title>
<verse osisID="Ps.3.1">LORD, how</verse>
<verse sID="v2" osisID="Ps.3.2"/>Many <transChange type="added">are</transChange><verse eID="v2"/>
</chapter></div><div type="book" osisID="1Sam"><chapter osisID="1Sam.1">
<verse osisID="1Sam.1.1 1Sam.1.2">Now</verse><verse osisID="Tob.1.1">t</verse></chapter></div>)",
                   {.canonOnly = true}))
      << error_;
  std::string read;
  for (const VerseLine& v : verses_)
    read += v.book + " " + std::to_string(v.chapter) + ":" + std::to_string(v.verse) + " " +
            v.text + " (line " + std::to_string(v.line) + ")\n";
  EXPECT_EQ(read,
            "Psalms 3:1 A Psalm of David. 1732 LORD, how (line 6)\n"
            "Psalms 3:2 Many [are] (line 7)\n"
            "1 Samuel 1:1 Now (line 9)\n"
            "1 Samuel 1:2  (line 9)\n");
}

TEST_F(OsisFile, RefusesFaultsNamingTheLine) {
  const Case cases[] = {
      {"<verse osisID=\"Gen.1.1\">a</verse>\n<verse osisID=\"Gen.1.2\">b</vers>",
       "line 4: not well-formed XML"},
      {"<verse osisID=\"Gen.1.2\">a</verse>\n<verse osisID=\"Gen.1.1\">b</verse>",
       "line 4: Gen.1.1 does not follow Gen.1.2 (verses out of order)"},
      {"<verse osisID=\"Gen.1.1\">a</verse>\n<verse osisID=\"Gen.1.1\">b</verse>",
       "line 4: Gen.1.1 does not follow Gen.1.1"},
      {"<verse osisID=\"Gen.x.1\">a</verse>", "line 3: \"Gen.x.1\" is not a verse reference"},
      {"<verse osisID=\"Tob.1.1\">a</verse>", "line 3: the book \"Tob\" is not one of the 66"},
      {"<p>no verses</p>", ""},
      // A verse inside a container verse once left the container's end reading freed text.
      {"<verse osisID=\"Gen.1.1\">a\n<verse eID=\"x\"/>b</verse>",
       "line 4: a verse inside another verse"},
  };
  for (const auto& [body, error] : cases) {
    EXPECT_FALSE(read(body)) << body;
    EXPECT_TRUE(error_.starts_with(error)) << error_;
  }
}

}  // namespace
}  // namespace vellum::import
