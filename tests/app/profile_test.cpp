// The initialisation file: the profile layer's matching, integer and rewrite rules, its
// behaviour on damaged files and failed writes, and the "VLMR20.INI" accessors built on it.
#include "app/profile.h"

#include <sys/resource.h>

#include <QTemporaryDir>
#include <QtTest>
#include <csignal>
#include <cstring>
#include <fstream>
#include <sstream>
#include <string>

#include "app/config.h"

using namespace vellum;

namespace {

std::string readFile(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::ostringstream text;
  text << in.rdbuf();
  return text.str();
}

void writeFile(const std::string& path, const std::string& content) {
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out << content;
}

std::string text(const char* section, const char* key, const char* fallback = "<none>",
                 const char* file = "test.ini") {
  char buffer[256];
  getPrivateProfileString(section, key, fallback, buffer, sizeof buffer, file);
  return buffer;
}

}  // namespace

class ProfileTest : public QObject {
  Q_OBJECT

 private:
  std::unique_ptr<QTemporaryDir> home_;
  QByteArray savedConfigHome_;

  std::string iniPath(const char* name = "test.ini") const { return profilePath(name); }
  void writeIni(const std::string& content, const char* name = "test.ini") {
    QDir().mkpath(QString::fromStdString(profileDirectory()));
    writeFile(iniPath(name), content);
  }
  QStringList filesInProfileDirectory() const {
    return QDir(QString::fromStdString(profileDirectory())).entryList(QDir::Files);
  }

 private slots:
  void init() {
    savedConfigHome_ = qgetenv("XDG_CONFIG_HOME");
    home_ = std::make_unique<QTemporaryDir>();
    QVERIFY(home_->isValid());
    qputenv("XDG_CONFIG_HOME", home_->path().toLocal8Bit());
  }
  void cleanup() {
    qputenv("XDG_CONFIG_HOME", savedConfigHome_);
    home_.reset();
  }

  void fileLivesInTheVellumConfigDirectoryCreatedOnFirstWrite() {
    const std::string expected = home_->path().toStdString() + "/vellum/VLMR20.INI";
    QCOMPARE(profilePath("VLMR20.INI"), expected);
    // Only the bare name counts: a path cannot lead the file out of its directory.
    QCOMPARE(profilePath("../../etc/VLMR20.INI"), expected);
    QCOMPARE(profilePath("C:\\WINDOWS\\VLMR20.INI"), expected);
    QVERIFY(!QFileInfo::exists(QString::fromStdString(profileDirectory())));
    QVERIFY(writePrivateProfileString("FONTS", "SCREEN_FONT_NAME", "Arial", "VLMR20.INI"));
    QCOMPARE(readFile(expected), std::string("[FONTS]\nSCREEN_FONT_NAME=Arial\n"));
  }

  void missingFileSectionOrKeyGivesTheDefault() {
    QCOMPARE(text("FONTS", "SIZE", "12"), std::string("12"));
    QCOMPARE(getPrivateProfileInt("WindowPos", "Xext", 640, "test.ini"), 640u);
    writeIni("[FONTS]\nSIZE=14\n");
    QCOMPARE(text("BIBLE", "SIZE", "none"), std::string("none"));
    QCOMPARE(text("FONTS", "NAME", "none"), std::string("none"));
    QCOMPARE(text("FONTS", "NAME", nullptr), std::string(""));
  }

  void sectionsAndKeysMatchIgnoringCase() {
    writeIni("[Fonts]\nscreen_Font_Name=Arial\n");
    QCOMPARE(text("FONTS", "SCREEN_FONT_NAME"), std::string("Arial"));
    QCOMPARE(text("fonts", "screen_font_name"), std::string("Arial"));
    // Writing with other letter case replaces the same key instead of adding a second one.
    QVERIFY(writePrivateProfileString("FONTS", "SCREEN_FONT_NAME", "Courier", "test.ini"));
    QCOMPARE(readFile(iniPath()), std::string("[Fonts]\nSCREEN_FONT_NAME=Courier\n"));
  }

  void valuesAreRawTextWithSurroundingBlanksDropped() {
    writeIni("[S]\n  path =  C:\\bible\\kjv.bib, \"x\"; y  \nempty=\n");
    QCOMPARE(text("S", "path"), std::string("C:\\bible\\kjv.bib, \"x\"; y"));
    QCOMPARE(text("S", "empty"), std::string(""));
  }

  void readsTruncateToTheBufferAndReportTheCount() {
    writeIni("[S]\nk=abcdefgh\n");
    char buffer[6];
    QCOMPARE(getPrivateProfileString("S", "k", "", buffer, sizeof buffer, "test.ini"),
             std::size_t(5));
    QCOMPARE(std::string(buffer), std::string("abcde"));
    QCOMPARE(getPrivateProfileString("S", "k", "", buffer, 0, "test.ini"), std::size_t(0));
  }

  void integerReaderParsesTheLeadingDecimal_data() {
    QTest::addColumn<QString>("value");
    QTest::addColumn<int>("expected");
    QTest::newRow("plain") << "640" << 640;
    QTest::newRow("trailing garbage") << "12abc" << 12;
    QTest::newRow("negative") << "-8" << -8;
    QTest::newRow("plus") << "+7" << 7;
    QTest::newRow("unsigned form of -8") << "4294967288" << -8;
    QTest::newRow("no digits") << "abc" << 99;
    QTest::newRow("sign only") << "-" << 99;
    QTest::newRow("empty") << "" << 99;
    QTest::newRow("wraps at 32 bits") << "4294967296" << 0;
    QTest::newRow("very long") << "123456789012345678901234567890" << int(1312754386u);
  }
  void integerReaderParsesTheLeadingDecimal() {
    QFETCH(QString, value);
    QFETCH(int, expected);
    writeIni("[WindowPos]\nXmin=" + value.toStdString() + "\n");
    QCOMPARE(static_cast<int>(getPrivateProfileInt("WindowPos", "Xmin", 99, "test.ini")), expected);
  }

  void unsignedFormRoundTripsNegativeValues() {
    char written[16];
    std::snprintf(written, sizeof written, "%u", static_cast<unsigned>(-8));
    QVERIFY(writePrivateProfileString("WindowPos", "Xmin", written, "test.ini"));
    QCOMPARE(text("WindowPos", "Xmin"), std::string("4294967288"));
    QCOMPARE(static_cast<int>(getPrivateProfileInt("WindowPos", "Xmin", 0, "test.ini")), -8);
  }

  void rewriteChangesOnlyItsLine() {
    const std::string before =
        "; written by hand\n"
        "[FONTS]\n"
        "# the face\n"
        "SCREEN_FONT_NAME=Arial\n"
        "UNKNOWN=kept\n"
        "\n"
        "[COPY]\n"
        "COPY_AS_PARAGRAPH=TRUE\n";
    writeIni(before);
    QVERIFY(writePrivateProfileString("FONTS", "SCREEN_FONT_NAME", "Courier New", "test.ini"));
    std::string expected = before;
    expected.replace(expected.find("Arial"), 5, "Courier New");
    QCOMPARE(readFile(iniPath()), expected);

    // A new key goes at the end of its section, before the blank line that separates it.
    QVERIFY(writePrivateProfileString("FONTS", "SCREEN_FONT_SIZE", "14", "test.ini"));
    expected.insert(expected.find("\n\n[COPY]") + 1, "SCREEN_FONT_SIZE=14\n");
    QCOMPARE(readFile(iniPath()), expected);

    // A new section is appended after a blank line.
    QVERIFY(writePrivateProfileString("BIBLE", "DEFAULT_BIBLE_PATH", "web.bib", "test.ini"));
    expected += "\n[BIBLE]\nDEFAULT_BIBLE_PATH=web.bib\n";
    QCOMPARE(readFile(iniPath()), expected);
  }

  void rewriteKeepsCarriageReturnLineEnds() {
    writeIni("[S]\r\na=1\r\n");
    QVERIFY(writePrivateProfileString("S", "a", "2", "test.ini"));
    QVERIFY(writePrivateProfileString("S", "b", "3", "test.ini"));
    QCOMPARE(readFile(iniPath()), std::string("[S]\r\na=2\r\nb=3\r\n"));
    QCOMPARE(text("S", "a"), std::string("2"));
  }

  void nullValueDeletesTheKeyAndNullKeyTheSection() {
    writeIni("[A]\nx=1\ny=2\n[B]\nz=3\n");
    QVERIFY(writePrivateProfileString("A", "x", nullptr, "test.ini"));
    QCOMPARE(readFile(iniPath()), std::string("[A]\ny=2\n[B]\nz=3\n"));
    QVERIFY(writePrivateProfileString("a", nullptr, nullptr, "test.ini"));
    QCOMPARE(readFile(iniPath()), std::string("[B]\nz=3\n"));
    QVERIFY(writePrivateProfileString("C", "missing", nullptr, "test.ini"));
    QCOMPARE(readFile(iniPath()), std::string("[B]\nz=3\n"));
  }

  void firstMatchingSectionAndKeyWin() {
    writeIni("[S]\nk=first\nk=second\n[T]\nk=other\n[s]\nk=third\n");
    QCOMPARE(text("S", "k"), std::string("first"));
    QVERIFY(writePrivateProfileString("S", "k", "new", "test.ini"));
    QCOMPARE(readFile(iniPath()),
             std::string("[S]\nk=new\nk=second\n[T]\nk=other\n[s]\nk=third\n"));
    // A key only in the later duplicate section is not found: that section is never read.
    writeIni("[S]\na=1\n[S]\nb=2\n");
    QCOMPARE(text("S", "b"), std::string("<none>"));
  }

  // A key or section repeated by hand read its repeat back after it was deleted.
  void deletingAKeyOrASectionRemovesItsRepeats() {
    writeIni("[S]\nk=first\nk=second\n[T]\nt=1\n[s]\nk=third\n");
    QVERIFY(writePrivateProfileString("S", "k", nullptr, "test.ini"));
    QCOMPARE(text("S", "k"), std::string("<none>"));
    QVERIFY(writePrivateProfileString("S", nullptr, nullptr, "test.ini"));
    QCOMPARE(readFile(iniPath()), std::string("[T]\nt=1\n"));
  }

  void namesAndValuesThatWouldBreakTheFileAreRefused() {
    writeIni("[S]\nk=v\n");
    const std::string before = readFile(iniPath());
    QVERIFY(!writePrivateProfileString("S", "k", "two\nlines", "test.ini"));
    QVERIFY(!writePrivateProfileString("S", "k", "cr\rhere", "test.ini"));
    QVERIFY(!writePrivateProfileString("S", "a=b", "v", "test.ini"));
    QVERIFY(!writePrivateProfileString("S", "", "v", "test.ini"));
    QVERIFY(!writePrivateProfileString("S", ";comment", "v", "test.ini"));
    QVERIFY(!writePrivateProfileString("S]x", "k", "v", "test.ini"));
    QVERIFY(!writePrivateProfileString(nullptr, "k", "v", "test.ini"));
    QVERIFY(!writePrivateProfileString("S", "k", "v", ""));
    QCOMPARE(readFile(iniPath()), before);
  }

  void garbageFileReadsAsDefaultsAndLosesNothingOnWrite() {
    const char binary[] = "\x00\xff\xfe[\x01\x02\nno equals sign here\n[unterminated\n=no key\n";
    const char nulInValue[] = "[COPY]\nCOPY_AS_PARAGRAPH=TRUE\x00tail\n";
    std::string garbage(binary, sizeof binary - 1);
    garbage.append(300000, 'x');  // one huge line
    garbage += '\n';
    garbage += std::string(nulInValue, sizeof nulInValue - 1);  // NUL inside a value
    garbage += "[FONTS\nSCREEN_FONT_SIZE=18\n";                 // header without ']'
    writeIni(garbage);
    QCOMPARE(text("BIBLE", "DEFAULT_BIBLE_NAME", "King James Version"),
             std::string("King James Version"));
    QCOMPARE(text("COPY", "COPY_AS_PARAGRAPH").substr(0, 4), std::string("TRUE"));
    QCOMPARE(getPrivateProfileInt("FONTS", "SCREEN_FONT_SIZE", 12, "test.ini"), 18u);
    QCOMPARE(getPrivateProfileInt("nothing", "no key", 5, "test.ini"), 5u);

    QVERIFY(writePrivateProfileString("BIBLE", "DEFAULT_BIBLE_PATH", "web.bib", "test.ini"));
    const std::string after = readFile(iniPath());
    QCOMPARE(after.substr(0, garbage.size()), garbage);
    QCOMPARE(text("BIBLE", "DEFAULT_BIBLE_PATH"), std::string("web.bib"));
  }

  void oversizedFileIsNeitherReadNorReplaced() {
    std::string huge = "[S]\nk=v\n" + std::string(5 * 1024 * 1024, ';') + "\n";
    writeIni(huge);
    QCOMPARE(text("S", "k"), std::string("<none>"));
    QVERIFY(!writePrivateProfileString("S", "k", "w", "test.ini"));
    QCOMPARE(readFile(iniPath()).size(), huge.size());
  }

  void directoryInPlaceOfTheFileReadsDefaultsAndRefusesWrites() {
    QVERIFY(QDir().mkpath(QString::fromStdString(iniPath())));
    QCOMPARE(text("S", "k"), std::string("<none>"));
    QVERIFY(!writePrivateProfileString("S", "k", "v", "test.ini"));
    QVERIFY(QFileInfo(QString::fromStdString(iniPath())).isDir());
  }

  void failedWriteLeavesTheFileAsItWas() {
    writeIni("; keep me\n[S]\nk=v\n");
    const std::string before = readFile(iniPath());
    // A file-size limit makes the temporary file's write fail part-way (even for root).
    std::signal(SIGXFSZ, SIG_IGN);
    rlimit saved{};
    QCOMPARE(getrlimit(RLIMIT_FSIZE, &saved), 0);
    rlimit small = saved;
    small.rlim_cur = 64;
    QCOMPARE(setrlimit(RLIMIT_FSIZE, &small), 0);
    const bool written =
        writePrivateProfileString("S", "k", std::string(500, 'z').c_str(), "test.ini");
    QCOMPARE(setrlimit(RLIMIT_FSIZE, &saved), 0);
    std::signal(SIGXFSZ, SIG_DFL);
    QVERIFY(!written);
    QCOMPARE(readFile(iniPath()), before);
    QCOMPARE(filesInProfileDirectory(), QStringList{"test.ini"});  // no temporary left behind
  }

  void writeReplacesTheFileAndKeepsItsPermissions() {
    writeIni("[S]\nk=v\n");
    QFile file(QString::fromStdString(iniPath()));
    QVERIFY(file.setPermissions(QFile::ReadOwner | QFile::WriteOwner));
    QVERIFY(writePrivateProfileString("S", "k", "w", "test.ini"));
    QCOMPARE(QFile(QString::fromStdString(iniPath())).permissions() &
                 (QFile::ReadGroup | QFile::ReadOther | QFile::ReadOwner),
             QFile::ReadOwner);
    QCOMPARE(filesInProfileDirectory(), QStringList{"test.ini"});
  }

  // The "VLMR20.INI" accessors.

  void settingsDefaultsInAnEmptyConfiguration() {
    char face[25];
    QCOMPARE(std::string(getScreenFontName(face, sizeof face)), std::string("Times New Roman"));
    QCOMPARE(std::string(getPrinterFontName(face, sizeof face)), std::string("Times New Roman"));
    QCOMPARE(getScreenFontSize(), 12);
    QCOMPARE(getPrinterFontSize(), 12);
    bibleName bible;
    QCOMPARE(readDefaultBible(&bible), &bible);
    QCOMPARE(std::string(bible.name), std::string("King James Version"));
    QCOMPARE(std::string(bible.path), std::string("kjv.bib"));
    QVERIFY(!getCopyOption("INCLUDE_BOOK_AND_CHAPTER"));
    QVERIFY(!getCopyOption("COPY_AS_PARAGRAPH"));
  }

  void settingsWrittenAreReadBack() {
    setScreenFontName("Liberation Serif");
    setScreenFontSize(16);
    setPrinterFontName("Courier New");
    setPrinterFontSize(9);
    bibleName web;
    std::strcpy(web.name, "World English Bible");
    std::strcpy(web.path, "web.bib");
    writeDefaultBible(&web);
    setCopyOption("COPY_AS_PARAGRAPH", true);
    setCopyOption("INCLUDE_BOOK_AND_CHAPTER", false);

    char face[25];
    QCOMPARE(std::string(getScreenFontName(face, sizeof face)), std::string("Liberation Serif"));
    QCOMPARE(std::string(getPrinterFontName(face, sizeof face)), std::string("Courier New"));
    QCOMPARE(getScreenFontSize(), 16);
    QCOMPARE(getPrinterFontSize(), 9);
    bibleName back;
    readDefaultBible(&back);
    QCOMPARE(std::string(back.name), std::string("World English Bible"));
    QCOMPARE(std::string(back.path), std::string("web.bib"));
    QVERIFY(getCopyOption("COPY_AS_PARAGRAPH"));
    QVERIFY(!getCopyOption("INCLUDE_BOOK_AND_CHAPTER"));
    QCOMPARE(text("FONTS", "SCREEN_FONT_SIZE", "", kIniFile), std::string("16"));
    QCOMPARE(text("COPY", "COPY_AS_PARAGRAPH", "", kIniFile), std::string("TRUE"));
    QCOMPARE(text("COPY", "INCLUDE_BOOK_AND_CHAPTER", "", kIniFile), std::string("FALSE"));
  }

  void faceNamesAreCutToTheirBuffer() {
    setScreenFontName("An Extraordinarily Long Face Name");
    char face[25];
    QCOMPARE(std::string(getScreenFontName(face, sizeof face)),
             std::string("An Extraordinarily Long "));
  }

  void defaultBibleFieldsNeedNoTerminator() {
    bibleName full;
    std::memset(full.name, 'N', sizeof full.name);
    std::memset(full.path, 'p', sizeof full.path);
    writeDefaultBible(&full);
    bibleName back;
    readDefaultBible(&back);
    QCOMPARE(std::strlen(back.name), std::size_t(79));
    QCOMPARE(std::string(back.path), std::string(79, 'p'));
  }

  void pointSizeIsADecimalConversionOfItsText_data() {
    QTest::addColumn<QString>("value");
    QTest::addColumn<int>("expected");
    QTest::newRow("plain") << "14" << 14;
    QTest::newRow("trailing text") << "12abc" << 12;
    QTest::newRow("fraction") << "10.5" << 10;
    QTest::newRow("garbage gives the default") << "abc" << 12;
    QTest::newRow("zero gives the default") << "0" << 12;
    QTest::newRow("negative gives the default") << "-3" << 12;
    QTest::newRow("absurd is capped") << "100000" << 512;
    QTest::newRow("cut to nine characters") << "0000000014" << 1;  // "000000001"
  }
  void pointSizeIsADecimalConversionOfItsText() {
    QFETCH(QString, value);
    QFETCH(int, expected);
    writeIni("[FONTS]\nSCREEN_FONT_SIZE=" + value.toStdString() +
                 "\nPRINTER_FONT_SIZE=" + value.toStdString() + "\n",
             kIniFile);
    QCOMPARE(getScreenFontSize(), expected);
    QCOMPARE(getPrinterFontSize(), expected);
  }

  void copyOptionIsSetUnlessItsTextIsFalse_data() {
    QTest::addColumn<QString>("line");
    QTest::addColumn<bool>("set");
    QTest::newRow("TRUE") << "INCLUDE_BOOK_AND_CHAPTER=TRUE" << true;
    QTest::newRow("a hand-typed word") << "INCLUDE_BOOK_AND_CHAPTER=yes" << true;
    QTest::newRow("lower-case false") << "INCLUDE_BOOK_AND_CHAPTER=false" << true;
    QTest::newRow("FALSE") << "INCLUDE_BOOK_AND_CHAPTER=FALSE" << false;
    QTest::newRow("key absent") << "OTHER=1" << false;
    // Five characters fit the buffer: "FALSEX" reads as "FALSE".
    QTest::newRow("FALSEX") << "INCLUDE_BOOK_AND_CHAPTER=FALSEX" << false;
    QTest::newRow("key in other case") << "include_book_and_chapter=FALSE" << false;
  }
  void copyOptionIsSetUnlessItsTextIsFalse() {
    QFETCH(QString, line);
    QFETCH(bool, set);
    writeIni("[COPY]\n" + line.toStdString() + "\n", kIniFile);
    QCOMPARE(getCopyOption("INCLUDE_BOOK_AND_CHAPTER"), set);
  }

  void everyReadAsksTheFileAgain() {
    setScreenFontSize(20);
    QCOMPARE(getScreenFontSize(), 20);
    writeIni("[FONTS]\nSCREEN_FONT_SIZE=22\n", kIniFile);
    QCOMPARE(getScreenFontSize(), 22);
  }
};

QTEST_MAIN(ProfileTest)
#include "profile_test.moc"
