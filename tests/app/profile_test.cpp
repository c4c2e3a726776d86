// The initialisation file: reads, writes, damaged files, failed writes and the accessors.
#include "app/profile.h"

#include <sys/resource.h>

#include <QTemporaryDir>
#include <QtTest>
#include <csignal>
#include <cstring>
#include <string>

#include "app/config.h"
#include "tests/support/fixtures.h"

using namespace vellum;

namespace {

std::string text(const char* section, const char* key, const char* fallback = "<none>",
                 const char* file = "test.ini") {
  char buffer[256];
  getPrivateProfileString(section, key, fallback, buffer, sizeof buffer, file);
  return buffer;
}

bool write(const char* section, const char* key, const char* value, const char* file = "test.ini") {
  return writePrivateProfileString(section, key, value, file);
}

}  // namespace

class ProfileTest : public QObject {
  Q_OBJECT

  std::optional<QTemporaryDir> home_;

  std::string ini(const char* name = "test.ini") const { return test::readFile(profilePath(name)); }
  void writeIni(const std::string& content, const char* name = "test.ini") {
    QDir().mkpath(QString::fromStdString(profileDirectory()));
    test::writeFile(profilePath(name), content);
  }

 private slots:
  void init() {
    home_.emplace();
    qputenv("XDG_CONFIG_HOME", home_->path().toLocal8Bit());
  }

  void reads() {
    const char* fonts = "[FONTS]\nSIZE=14\n";
    const char* twice = "[S]\nk=first\nk=second\n[T]\nk=other\n[s]\nk=third\nb=2\n";
    // {file (none when null), section, key, value ("<none>": the default)}; the first section
    // and key of a name win, and a later section of the same name is never read.
    const struct {
      const char *file, *section, *key, *value;
    } cases[] = {{nullptr, "S", "k", "<none>"},
                 {fonts, "BIBLE", "SIZE", "<none>"},
                 {fonts, "FONTS", "NAME", "<none>"},
                 {"[Fonts]\nscreen_Font_Name=Arial\n", "fONTS", "SCREEN_FONT_NAME", "Arial"},
                 {"[S]\n  path =  C:\\bible\\kjv.bib, \"x\"; y  \n", "S", "path",
                  "C:\\bible\\kjv.bib, \"x\"; y"},
                 {"[S]\nempty=\n", "S", "empty", ""},
                 {twice, "S", "k", "first"},
                 {twice, "S", "b", "<none>"}};
    for (const auto& c : cases) {
      if (c.file) writeIni(c.file);
      QCOMPARE(text(c.section, c.key), std::string(c.value));
    }
    // Reads are cut to the buffer and report the count.
    writeIni("[S]\nk=abcdefgh\n");
    char buffer[6];
    QCOMPARE(getPrivateProfileString("S", "k", "", buffer, sizeof buffer, "test.ini"),
             std::size_t(5));
    QCOMPARE(std::string(buffer), std::string("abcde"));
    QCOMPARE(getPrivateProfileString("S", "k", "", buffer, 0, "test.ini"), std::size_t(0));
    QCOMPARE(text("S", "missing", nullptr), std::string());
  }

  void numbersAndFlagsReadTheirLeadingText() {
    // Garbage after the digits is ignored, no digits give the default, 32 bits wrap.
    const std::pair<const char*, int> cases[] = {{"12abc", 12},      {"-8", -8}, {"+7", 7},
                                                 {"4294967288", -8}, {"-", 99},  {"", 99},
                                                 {"4294967296", 0}};
    for (const auto& [value, expected] : cases) {
      writeIni(std::string("[WindowPos]\nXmin=") + value + "\n");
      QCOMPARE(int(getPrivateProfileInt("WindowPos", "Xmin", 99, "test.ini")), expected);
    }
    // Nine characters at most are read; below 1 gives the default, past 512 is capped.
    const std::pair<const char*, int> sizes[] = {
        {"14x", 14}, {"abc", 12}, {"0", 12}, {"100000", 512}, {"0000000014", 1}};
    for (const auto& [value, expected] : sizes) {
      writeIni(
          std::string("[FONTS]\nSCREEN_FONT_SIZE=") + value + "\nPRINTER_FONT_SIZE=" + value + "\n",
          kIniFile);
      QCOMPARE(getScreenFontSize(), expected);
      QCOMPARE(getPrinterFontSize(), expected);
    }
    // Five characters fit the buffer: "FALSEX" reads as "FALSE"; the key matches in any case.
    const std::pair<const char*, bool> flags[] = {{"INCLUDE_BOOK_AND_CHAPTER=yes", true},
                                                  {"INCLUDE_BOOK_AND_CHAPTER=false", true},
                                                  {"OTHER=1", false},
                                                  {"include_book_and_chapter=FALSEX", false}};
    for (const auto& [line, set] : flags) {
      writeIni(std::string("[COPY]\n") + line + "\n", kIniFile);
      QCOMPARE(getCopyOption("INCLUDE_BOOK_AND_CHAPTER"), set);
    }
  }

  void writesChangeOnlyTheirLines() {
    const std::string hand =
        "; written by hand\n[FONTS]\n# the face\nSCREEN_FONT_NAME=Arial\nUNKNOWN=kept\n\n"
        "[COPY]\nCOPY_AS_PARAGRAPH=TRUE\n";
    const auto replaced = [&](const std::string& from, const std::string& to) {
      std::string text = hand;
      return text.replace(text.find(from), from.size(), to);
    };
    const std::string twice = "[S]\nk=first\nk=second\n[T]\nt=1\n[s]\nk=third\n";
    // {file before, section, key, value (null key or value: delete), file after}
    const struct {
      std::string before;
      const char *section, *key, *value;
      std::string after;
    } cases[] = {{hand, "FONTS", "screen_font_name", "Courier New",
                  replaced("SCREEN_FONT_NAME=Arial", "screen_font_name=Courier New")},
                 {hand, "FONTS", "SIZE", "14", replaced("kept\n\n", "kept\nSIZE=14\n\n")},
                 {hand, "BIBLE", "PATH", "web.bib", hand + "\n[BIBLE]\nPATH=web.bib\n"},
                 {"[S]\r\na=1\r\n", "S", "b", "3", "[S]\r\na=1\r\nb=3\r\n"},
                 {twice, "S", "k", "new", "[S]\nk=new\nk=second\n[T]\nt=1\n[s]\nk=third\n"},
                 {"[A]\nx=1\ny=2\n[B]\nz=3\n", "A", "x", nullptr, "[A]\ny=2\n[B]\nz=3\n"},
                 {"[S]\nk=first\nk=second\n[T]\nt=1\n", "S", "k", nullptr, "[S]\n[T]\nt=1\n"},
                 {twice, "s", nullptr, nullptr, "[T]\nt=1\n"},
                 {"[B]\nz=3\n", "C", "k", nullptr, "[B]\nz=3\n"}};
    for (const auto& c : cases) {
      writeIni(c.before);
      QVERIFY(write(c.section, c.key, c.value));
      QCOMPARE(ini(), c.after);
      if (c.value) QCOMPARE(text(c.section, c.key), std::string(c.value));
    }
    // The file is replaced with its permissions kept.
    const QString path = QString::fromStdString(profilePath("test.ini"));
    QVERIFY(QFile::setPermissions(path, QFile::ReadOwner | QFile::WriteOwner));
    QVERIFY(write("S", "k", "w"));
    QCOMPARE(QFile::permissions(path) & (QFile::ReadGroup | QFile::ReadOther | QFile::ReadOwner),
             QFile::ReadOwner);
  }

  void namesAndValuesThatWouldBreakTheFileAreRefused() {
    writeIni("[S]\nk=v\n");
    const struct {
      const char *section, *key, *value;
    } refused[] = {{"S", "k", "two\nlines"}, {"S", "k", "cr\rhere"}, {"S", "a=b", "v"},
                   {"S", "", "v"},           {"S", ";comment", "v"}, {"S]x", "k", "v"},
                   {nullptr, "k", "v"}};
    for (const auto& r : refused) QVERIFY(!write(r.section, r.key, r.value));
    QVERIFY(!write("S", "k", "v", ""));  // no file name
    QCOMPARE(ini(), std::string("[S]\nk=v\n"));
  }

  void garbageFileReadsAsDefaultsAndLosesNothingOnWrite() {
    const char binary[] = "\x00\xff\xfe[\x01\x02\nno equals sign here\n[unterminated\n=no key\n";
    const char nulInValue[] = "[COPY]\nCOPY_AS_PARAGRAPH=TRUE\x00tail\n";
    std::string garbage(binary, sizeof binary - 1);
    garbage.append(300000, 'x');  // one huge line
    garbage += '\n';
    garbage += std::string(nulInValue, sizeof nulInValue - 1);
    garbage += "[FONTS\nSCREEN_FONT_SIZE=18\n";  // header without ']'
    writeIni(garbage);
    QCOMPARE(text("BIBLE", "DEFAULT_BIBLE_NAME"), std::string("<none>"));
    QCOMPARE(text("COPY", "COPY_AS_PARAGRAPH").substr(0, 4), std::string("TRUE"));
    QCOMPARE(getPrivateProfileInt("FONTS", "SCREEN_FONT_SIZE", 12, "test.ini"), 18u);
    QCOMPARE(getPrivateProfileInt("nothing", "no key", 5, "test.ini"), 5u);
    QVERIFY(write("BIBLE", "DEFAULT_BIBLE_PATH", "web.bib"));
    QCOMPARE(ini().substr(0, garbage.size()), garbage);
    QCOMPARE(text("BIBLE", "DEFAULT_BIBLE_PATH"), std::string("web.bib"));
  }

  void filesThatCannotBeReadOrReplacedAreLeftAlone() {
    // Oversized: neither read nor replaced.
    const std::string huge = "[S]\nk=v\n" + std::string(5 * 1024 * 1024, ';') + "\n";
    writeIni(huge);
    QCOMPARE(text("S", "k"), std::string("<none>"));
    QVERIFY(!write("S", "k", "w"));
    QCOMPARE(ini().size(), huge.size());
    // A directory in its place.
    QVERIFY(QDir().mkpath(QString::fromStdString(profilePath("dir.ini"))));
    QCOMPARE(text("S", "k", "<none>", "dir.ini"), std::string("<none>"));
    QVERIFY(!write("S", "k", "v", "dir.ini"));
    QVERIFY(QFileInfo(QString::fromStdString(profilePath("dir.ini"))).isDir());
    // A write that fails part-way (a file-size limit stops it, even for root).
    writeIni("; keep me\n[S]\nk=v\n");
    std::signal(SIGXFSZ, SIG_IGN);
    rlimit saved{};
    QCOMPARE(getrlimit(RLIMIT_FSIZE, &saved), 0);
    rlimit small = saved;
    small.rlim_cur = 64;
    QCOMPARE(setrlimit(RLIMIT_FSIZE, &small), 0);
    const bool written = write("S", "k", std::string(500, 'z').c_str());
    QCOMPARE(setrlimit(RLIMIT_FSIZE, &saved), 0);
    std::signal(SIGXFSZ, SIG_DFL);
    QVERIFY(!written);
    QCOMPARE(ini(), std::string("; keep me\n[S]\nk=v\n"));
    QCOMPARE(QDir(QString::fromStdString(profileDirectory())).entryList(QDir::Files),
             QStringList{"test.ini"});  // no temporary left behind
  }

  // The file lives in the program's configuration directory, created by the first write.
  void settingsDefaultThenReadBackWhatWasWritten() {
    const std::string expected = home_->path().toStdString() + "/vellum/VLMR20.INI";
    // Only the bare name counts: a path cannot lead the file out of its directory.
    for (const char* name : {"VLMR20.INI", "../../etc/VLMR20.INI", "C:\\WINDOWS\\VLMR20.INI"})
      QCOMPARE(profilePath(name), expected);
    char face[25];
    QCOMPARE(std::string(getPrinterFontName(face, sizeof face)), std::string("Times New Roman"));
    bibleName bible;
    QCOMPARE(std::string(readDefaultBible(&bible)->path), std::string("kjv.bib"));
    QVERIFY(!QFileInfo::exists(QString::fromStdString(profileDirectory())));

    setScreenFontName("Arial");
    QCOMPARE(ini(kIniFile), std::string("[FONTS]\nSCREEN_FONT_NAME=Arial\n"));
    setScreenFontName("An Extraordinarily Long Face Name");
    setPrinterFontName("Courier New");
    setPrinterFontSize(9);
    bibleName full;  // fields filled to the end, without a terminator
    std::memset(full.name, 'N', sizeof full.name);
    std::memset(full.path, 'p', sizeof full.path);
    writeDefaultBible(&full);
    setCopyOption("COPY_AS_PARAGRAPH", true);
    setCopyOption("INCLUDE_BOOK_AND_CHAPTER", false);
    QCOMPARE(std::string(getScreenFontName(face, sizeof face)),
             std::string("An Extraordinarily Long "));
    QCOMPARE(std::string(getPrinterFontName(face, sizeof face)), std::string("Courier New"));
    QCOMPARE(getPrinterFontSize(), 9);
    readDefaultBible(&bible);
    QCOMPARE(std::strlen(bible.name), std::size_t(79));
    QCOMPARE(std::string(bible.path), std::string(79, 'p'));
    QVERIFY(getCopyOption("COPY_AS_PARAGRAPH"));
    QVERIFY(!getCopyOption("INCLUDE_BOOK_AND_CHAPTER"));
    QCOMPARE(text("COPY", "INCLUDE_BOOK_AND_CHAPTER", "", kIniFile), std::string("FALSE"));
  }
};

QTEST_MAIN(ProfileTest)
#include "profile_test.moc"
