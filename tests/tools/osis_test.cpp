// Covers OSIS markup to text: verse text (Strong's placement, brackets, titles, notes), plain
// and lexicon renderings, and reading OSIS XML files with their faults named by line.
#include <gtest/gtest.h>
#include <sys/wait.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "tests/support/fixtures.h"
#include "tools/import/osis_file.h"
#include "tools/import/osis_text.h"

namespace vellum::import {
namespace {

TEST(OsisVerseText, StrongsNumbersFollowTheirWordAndItsClosingPunctuation) {
  EXPECT_EQ(osisVerseText(R"(In the <w lemma="strong:H7225">beginning</w> )"
                          R"(<w lemma="strong:H0430">God</w> <w lemma="strong:H1254">created</w> )"
                          R"(the <w lemma="strong:H8064">heaven</w> <w lemma="strong:H0853">and</w> )"
                          R"(the <w lemma="strong:H0776">earth</w>.)"),
            "In the beginning 7225 God 430 created 1254 the heaven 8064 and 853 the earth. 776");
  EXPECT_EQ(osisVerseText(R"(the <w lemma="strong:G2889">world</w>, that)"), "the world, 2889 that");
  // A closing quote (not ASCII) stays with its word; an opening bracket does not.
  EXPECT_EQ(osisVerseText("<w lemma=\"strong:H3068\">LORD</w>\xE2\x80\x99s <w "
                          "lemma=\"strong:H1\">x</w><transChange type=\"added\">y</transChange>"),
            "LORD\xE2\x80\x99s 3068 x 1 [y]");
}

TEST(OsisVerseText, LeadingZerosDroppedSeveralLemmasKeptOtherLemmasIgnored) {
  EXPECT_EQ(osisVerseText(R"(<w lemma="strong:G0001">a</w>)"), "a 1");
  EXPECT_EQ(osisVerseText(R"(<w lemma="strong:H0853 strong:H03068">b</w>)"), "b 853 3068");
  EXPECT_EQ(osisVerseText(R"(<w lemma="lemma.Strong:x strong:H0000 strong:G12a">c</w>)"), "c 12");
  EXPECT_EQ(strongsNumbers("strong:H0430  strong:G26"), (std::vector<std::string>{"430", "26"}));
  EXPECT_EQ(osisVerseText(R"(<w lemma="strong:H0430">God</w> said)", false), "God said");
}

TEST(OsisVerseText, AddedWordsStandInBracketsWithTheirNumbersAfter) {
  EXPECT_EQ(osisVerseText(R"(<transChange type="added">it was</transChange> good)"), "[it was] good");
  EXPECT_EQ(osisVerseText(R"(<transChange type="added"><w lemma="strong:G1">it</w></transChange>.)"),
            "[it]. 1");
  EXPECT_EQ(osisVerseText(R"(of <transChange type="added">the <seg><divineName>Lord</divineName></seg></transChange>)"),
            "of [the LORD]");
  EXPECT_EQ(osisVerseText(R"(<transChange type="amplified">kept</transChange>)"), "kept");
}

TEST(OsisVerseText, CanonicalTitlesStayOtherTitlesAndNotesGo) {
  EXPECT_EQ(osisVerseText(R"(<title canonical="true" type="psalm">A <w lemma="strong:H4210">Psalm</w> )"
                          R"(of David.</title> <l sID="x"/>LORD, how)"),
            "A Psalm 4210 of David. LORD, how");
  EXPECT_EQ(osisVerseText(R"(<title><foreign>BETH.</foreign></title> <l sID="a"/>Wherewithal)"),
            "Wherewithal");
  EXPECT_EQ(osisVerseText(R"(darkness.<note placement="foot"><reference>1.4 </reference>Heb. between</note>)"),
            "darkness.");
  // A note between two words leaves a blank, with or without numbers.
  EXPECT_EQ(osisVerseText(R"(<w lemma="strong:H1">God</w><note>n</note><w lemma="strong:H2">created</w>)"),
            "God 1 created 2");
  EXPECT_EQ(osisVerseText(R"(God<note>n</note>created, God<note>n</note>.)"), "God created, God.");
}

TEST(OsisVerseText, ToleratesFragmentsAndSourceFaults) {
  // A stray end tag, a USFM marker left in the text, an element left open.
  EXPECT_EQ(osisVerseText(R"(the \nd <w lemma="strong:H3050">LORD</w></divineName> hath <q who="Jesus">Go)"),
            "the LORD 3050 hath Go");
  EXPECT_EQ(osisVerseText("a &amp; b &#8217; &lt;c&gt;"), "a & b \xE2\x80\x99 <c>");
  // What follows the end of the book is not the verse's.
  EXPECT_EQ(osisVerseText(R"(Amen. <chapter eID="Rev.22"/> <div type="glossary">Abaddon</div>)"), "Amen.");
}

TEST(OsisPlainText, BlocksBecomeLinesAndNotesGo) {
  EXPECT_EQ(osisPlainText(R"(<title type="x-s2">Chapter 3</title> <table> <row><cell>One.</cell>)"
                          R"(<cell>(1-21)</cell></row> </table> <div sID="p"/><hi type="bold">Verses 1-8</hi>)"
                          R"(<div eID="p"/>  Nicodemus   was<note>n</note> afraid.)"),
            "Chapter 3\nOne. (1-21)\nVerses 1-8\nNicodemus was afraid.");
}

TEST(OsisLexiconText, WordTransliterationAndPronunciationOpenTheEntry) {
  EXPECT_EQ(osisLexiconText(R"(<entryFree n="1"> <orth>AB</orth><lb/> <orth rend="bold" type="trans">'ab</orth> )"
                            R"(<pron rend="italic">awb</pron><lb/> <def>A primitive word;<lb/> <hi>father</hi></def></entryFree>)"),
            "AB 'ab awb\nA primitive word;\nfather");
  EXPECT_EQ(osisLexiconText(R"(<orth>A1</orth> <orth type="writing">*A</orth> <orth type="trans">a</orth> )"
                            R"(<pron>al</pron><lb/><lb/><def>first (usually <orth>A2</orth> <orth type="trans">b</orth>)</def>)"),
            "A1 a al\nfirst (usually A2 b)");
}

class OsisFileTest : public ::testing::Test {
 protected:
  std::string write(const std::string& body) {
    const std::string path = dir_.file("in.xml");
    std::ofstream(path, std::ios::binary) << "<?xml version=\"1.0\"?>\n<osis><osisText>\n" << body
                                          << "\n</osisText></osis>\n";
    return path;
  }
  bool read(const std::string& body, OsisReadOptions options = {}) {
    verses_.clear();
    error_.clear();
    return readOsisFile(write(body), options, verses_, error_);
  }
  test::TempDir dir_;
  std::vector<VerseLine> verses_;
  std::string error_;
};

TEST_F(OsisFileTest, ReadsContainersAndMilestonesWithTitlesBeforeTheirVerse) {
  ASSERT_TRUE(read(R"(<div type="book" osisID="Ps"><chapter osisID="Ps.3">
<title type="section">Not scripture</title>
<title canonical="true">A Psalm of <w lemma="strong:H1732">David</w>.</title>
<verse osisID="Ps.3.1">LORD, how</verse>
<verse sID="v2" osisID="Ps.3.2"/>Many <transChange type="added">are</transChange><verse eID="v2"/>
</chapter></div>
<div type="book" osisID="1Sam"><chapter osisID="1Sam.1"><verse osisID="1Sam.1.1 1Sam.1.2">Now</verse></chapter></div>)"))
      << error_;
  ASSERT_EQ(verses_.size(), 4u);
  EXPECT_EQ(verses_[0].book, "Psalms");
  EXPECT_EQ(verses_[0].text, "A Psalm of David. 1732 LORD, how");
  EXPECT_EQ(verses_[0].line, 6);
  EXPECT_EQ(verses_[1].text, "Many [are]");
  EXPECT_EQ(verses_[2].book, "1 Samuel");
  EXPECT_EQ(verses_[2].text, "Now");
  EXPECT_EQ(verses_[3].verse, 2);
  EXPECT_EQ(verses_[3].text, "");
}

TEST_F(OsisFileTest, RefusesFaultsNamingTheLine) {
  EXPECT_FALSE(read("<verse osisID=\"Gen.1.1\">a</verse>\n<verse osisID=\"Gen.1.2\">b</vers>"));
  EXPECT_EQ(error_.rfind("line 4: not well-formed XML", 0), 0u) << error_;
  EXPECT_FALSE(read("<verse osisID=\"Gen.1.2\">a</verse>\n<verse osisID=\"Gen.1.1\">b</verse>"));
  EXPECT_EQ(error_, "line 4: Gen.1.1 does not follow Gen.1.2 (verses out of order)");
  EXPECT_FALSE(read("<verse osisID=\"Gen.x.1\">a</verse>"));
  EXPECT_NE(error_.find("line 3: \"Gen.x.1\" is not a verse reference"), std::string::npos);
  EXPECT_FALSE(read("<verse osisID=\"Tob.1.1\">a</verse>"));
  EXPECT_NE(error_.find("--books 66"), std::string::npos);
  EXPECT_FALSE(read("<p>no verses</p>"));
  // A verse inside a container verse ended the container while its walk went on, and the
  // container's end then read its freed text.
  EXPECT_FALSE(read("<verse osisID=\"Gen.1.1\">a\n<verse eID=\"x\"/>b</verse>"));
  EXPECT_EQ(error_, "line 4: a verse inside another verse");
}

TEST_F(OsisFileTest, BooksBeyondTheCanonAreLeftOutOnRequest) {
  OsisReadOptions options;
  options.canonOnly = true;
  ASSERT_TRUE(read("<verse osisID=\"Mal.4.6\">a</verse><verse osisID=\"Tob.1.1\">t</verse>"
                   "<verse osisID=\"Matt.1.1\">b</verse>",
                   options))
      << error_;
  ASSERT_EQ(verses_.size(), 2u);
  EXPECT_EQ(verses_[1].book, "Matthew");
  EXPECT_EQ(verses_[1].text, "b");
}

// The importer's command: a module from an OSIS file, and no file at all from a faulty one.
TEST_F(OsisFileTest, ImporterBuildsFromOsisAndLeavesNothingOnAFault) {
  const std::string out = dir_.file("out.bib");
  const std::string good = write(R"(<verse osisID="Gen.1.1">In the <w lemma="strong:H7225">beginning</w></verse>)");
  const std::string command = std::string(VELLUM_IMPORT_EXE) + " bible --osis '" + good +
                              "' --name 'King James Version' '" + out + "' 2>/dev/null";
  ASSERT_EQ(std::system(command.c_str()), 0);
  EXPECT_TRUE(std::filesystem::exists(out));
  std::filesystem::remove(out);
  const std::string bad = write("<verse osisID=\"Gen.1.2\">a</verse><verse osisID=\"Gen.1.1\">b</verse>");
  const std::string errors = dir_.file("err.txt");
  const std::string refused = std::string(VELLUM_IMPORT_EXE) + " bible --osis '" + bad +
                              "' --name N '" + out + "' 2>'" + errors + "'";
  const int status = std::system(refused.c_str());
  ASSERT_TRUE(WIFEXITED(status));
  EXPECT_EQ(WEXITSTATUS(status), 1);
  std::ifstream in(errors);
  const std::string message((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  EXPECT_NE(message.find(bad + ": line 3: Gen.1.1 does not follow Gen.1.2"), std::string::npos)
      << message;
  EXPECT_FALSE(std::filesystem::exists(out));
}

}  // namespace
}  // namespace vellum::import
