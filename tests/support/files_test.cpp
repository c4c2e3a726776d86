// Covers data files: the data path search, shared streams, locking, and the path helpers.
#include "support/files.h"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <optional>
#include <sstream>
#include <string>
#include <vector>

#include "tests/support/fixtures.h"

namespace vellum {
namespace {

void writeFile(const std::string& path, const std::string& text) {
  std::ofstream(path, std::ios::binary) << text;
}

std::string readFile(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::ostringstream text;
  text << in.rdbuf();
  return text.str();
}

std::string readStream(std::FILE* stream, std::size_t count) {
  std::string text(count, '\0');
  text.resize(std::fread(text.data(), 1, count, stream));
  return text;
}

// Tests set their own data path; the next test starts from the initial one again.
class FilesTest : public ::testing::Test {
 protected:
  void TearDown() override {
    set_dpath(".");
    setUserDataDirectory({});
    setSharedDataDirectories({});
  }
  test::TempDir dir_;
};

TEST_F(FilesTest, DataPathSplitsOnSemicolonsSkippingEmptyItems) {
  set_dpath("a;;b/c;./;.;");
  EXPECT_EQ(get_dpath(), "a;;b/c;./;.;");
  EXPECT_EQ(dataPathDirectories(), (std::vector<std::string>{"a", "b/c", "./", "."}));
  set_dpath("");
  EXPECT_TRUE(dataPathDirectories().empty());
  EXPECT_EQ(_fopen("anything", "rb"), nullptr);  // an empty data path opens nothing
}

TEST_F(FilesTest, LongDataPathIsKeptWhole) {
  std::string longPath(3 * kPathMax, 'd');
  longPath += ";" + dir_.path().string();
  set_dpath(longPath.c_str());
  EXPECT_EQ(get_dpath(), longPath);
  writeFile(dir_.file("kjv.bib"), "x");
  std::FILE* stream = _fopen("kjv.bib", "rb");  // the over-long first item is passed over
  ASSERT_NE(stream, nullptr);
  _fclose(stream);
}

TEST_F(FilesTest, SameNameAndModeShareOneRewoundStream) {
  writeFile(dir_.file("topics.dic"), "0123456789");
  set_dpath(dir_.path().c_str());
  std::FILE* first = _fopen("topics.dic", "r+b");
  ASSERT_NE(first, nullptr);
  EXPECT_EQ(readStream(first, 4), "0123");
  std::FILE* second = _fopen("TOPICS.DIC", "R+B");
  EXPECT_EQ(second, first);
  EXPECT_EQ(sharedStreamUsers(first), 2);
  EXPECT_EQ(std::ftell(first), 0);
  _fclose(first);
  EXPECT_EQ(sharedStreamUsers(first), 1);
  EXPECT_EQ(readStream(second, 3), "012");  // still open for the other user
  _fclose(second);
  EXPECT_EQ(sharedStreamUsers(first), 0);
}

TEST_F(FilesTest, DifferentModesGetSeparateStreams) {
  writeFile(dir_.file("kjv.bib"), "abc");
  set_dpath(dir_.path().c_str());
  std::FILE* reading = _fopen("kjv.bib", "rb");
  std::FILE* updating = _fopen("kjv.bib", "r+b");
  ASSERT_NE(reading, nullptr);
  ASSERT_NE(updating, nullptr);
  EXPECT_NE(reading, updating);
  EXPECT_EQ(sharedStreamUsers(reading), 1);
  EXPECT_EQ(sharedStreamUsers(updating), 1);
  _fclose(reading);
  _fclose(updating);
}

TEST_F(FilesTest, FiftySlotsAtMostAndAFreedSlotIsReused) {
  set_dpath(dir_.path().c_str());
  std::vector<std::FILE*> held;
  for (int i = 0; i <= kOpenFileSlots; ++i) writeFile(dir_.file("f" + std::to_string(i)), "x");
  for (int i = 0; i < kOpenFileSlots; ++i) {
    held.push_back(_fopen(("f" + std::to_string(i)).c_str(), "rb"));
    ASSERT_NE(held.back(), nullptr) << i;
  }
  const std::string last = "f" + std::to_string(kOpenFileSlots);
  EXPECT_EQ(_fopen(last.c_str(), "rb"), nullptr);
  std::FILE* again = _fopen("f0", "rb");  // sharing needs no new slot
  EXPECT_EQ(again, held[0]);
  _fclose(again);
  _fclose(held[7]);
  std::FILE* reused = _fopen(last.c_str(), "rb");
  EXPECT_NE(reused, nullptr);
  _fclose(reused);
  for (int i = 0; i < kOpenFileSlots; ++i) {
    if (i != 7) _fclose(held[i]);
  }
}

TEST_F(FilesTest, MissingFileLeavesTheSlotFree) {
  set_dpath(dir_.path().c_str());
  EXPECT_EQ(_fopen("absent.dic", "rb"), nullptr);
  EXPECT_EQ(_fopen("absent.dic", "r+b"), nullptr);
  EXPECT_EQ(_fopen("", "rb"), nullptr);
  EXPECT_EQ(_fopen("dir/", "rb"), nullptr);
}

TEST_F(FilesTest, DirectoryPartOfTheNameIsIgnored) {
  writeFile(dir_.file("kjv.bib"), "here");
  set_dpath(dir_.path().c_str());
  for (const char* name : {"c:\\x\\kjv.bib", "/no/such/dir/kjv.bib"}) {
    std::FILE* stream = _fopen(name, "rb");
    ASSERT_NE(stream, nullptr) << name;
    EXPECT_EQ(readStream(stream, 4), "here");
    _fclose(stream);
  }
}

TEST_F(FilesTest, SearchOrderAndReadOnlyDirectories) {
  // /proc/self refuses new files even to the superuser, so it stands in for read-only media.
  writeFile(dir_.file("status"), "mine");
  const std::string path = "/proc/self;" + dir_.path().string();
  set_dpath(path.c_str());
  std::FILE* reading = _fopen("status", "rb");
  ASSERT_NE(reading, nullptr);
  EXPECT_EQ(readStream(reading, 5), "Name:");  // the first directory that holds it
  std::FILE* updating = _fopen("status", "r+b");
  ASSERT_NE(updating, nullptr);
  EXPECT_EQ(readStream(updating, 4), "mine");  // read-only directories are passed over
  _fclose(reading);
  _fclose(updating);

  set_dpath("/proc/self");
  EXPECT_EQ(_fopen("status", "r+b"), nullptr);
  EXPECT_FALSE(std::filesystem::exists(dir_.file("deleteme.tmp")));
}

TEST_F(FilesTest, NameDifferingOnlyInCaseIsAcceptedExactNameFirst) {
  writeFile(dir_.file("KJV.BIB"), "upper");
  set_dpath(dir_.path().c_str());
  std::FILE* stream = _fopen("kjv.bib", "rb");
  ASSERT_NE(stream, nullptr);
  EXPECT_EQ(readStream(stream, 5), "upper");
  _fclose(stream);

  writeFile(dir_.file("kjv.bib"), "lower");
  stream = _fopen("kjv.bib", "rb");
  ASSERT_NE(stream, nullptr);
  EXPECT_EQ(readStream(stream, 5), "lower");
  _fclose(stream);

  // An update through a case-differing name writes the existing file, not a second one.
  std::filesystem::remove(dir_.file("kjv.bib"));
  stream = _fopen("Kjv.Bib", "r+b");
  ASSERT_NE(stream, nullptr);
  std::fputs("UPPER", stream);
  _fclose(stream);
  EXPECT_EQ(readFile(dir_.file("KJV.BIB")), "UPPER");
  EXPECT_FALSE(std::filesystem::exists(dir_.file("Kjv.Bib")));
}

TEST_F(FilesTest, FcloseOfAForeignStreamLeavesItOpen) {
  std::FILE* own = std::fopen(dir_.file("own.txt").c_str(), "w+b");
  ASSERT_NE(own, nullptr);
  _fclose(own);
  _fclose(nullptr);
  EXPECT_EQ(sharedStreamUsers(own), 0);
  EXPECT_GE(std::fputs("still open", own), 0);
  std::fclose(own);
  EXPECT_EQ(readFile(dir_.file("own.txt")), "still open");
}

TEST_F(FilesTest, FlushCommitsTheStream) {
  std::FILE* stream = std::fopen(dir_.file("notes.nts").c_str(), "w+b");
  ASSERT_NE(stream, nullptr);
  std::fputs("Genesis 1:1", stream);
  EXPECT_EQ(flush(stream), 0);
  EXPECT_EQ(readFile(dir_.file("notes.nts")), "Genesis 1:1");
  std::fclose(stream);
  EXPECT_EQ(flush(nullptr), -1);
}

TEST_F(FilesTest, SharedHandlesCreateKeepAndRequire) {
  const std::string path = dir_.file("shared.dat");
  EXPECT_EQ(openSharedFile(path.c_str()), -1);
  EXPECT_EQ(errno, ENOENT);

  int handle = createSharedFile(path.c_str());
  ASSERT_GE(handle, 0);
  ASSERT_EQ(::write(handle, "keep", 4), 4);
  ::close(handle);

  handle = createSharedFile(path.c_str());  // an existing file keeps its contents
  ASSERT_GE(handle, 0);
  ::close(handle);
  EXPECT_EQ(readFile(path), "keep");

  handle = openSharedFile(path.c_str());
  ASSERT_GE(handle, 0);
  ASSERT_EQ(::write(handle, "K", 1), 1);  // open for writing too
  ::close(handle);
  EXPECT_EQ(readFile(path), "Keep");
}

TEST_F(FilesTest, LockFileTakesAFreeByteAndGivesUpOnAHeldOne) {
  const std::string path = dir_.file("lock.dat");
  writeFile(path, "data");
  const int handle = openSharedFile(path.c_str());
  ASSERT_GE(handle, 0);
  EXPECT_EQ(lockFile(handle), 1);
  EXPECT_EQ(unlockFile(handle), 0);
  EXPECT_EQ(lockFile(-1), 0);
  EXPECT_EQ(unlockFile(-1), -1);

  {
    // Another process holds the byte while this one tries (five attempts, about five seconds).
    const test::ForeignLock other(path, LockKind::exclusive);
    ASSERT_TRUE(other.held());
    EXPECT_EQ(lockFile(handle), 0);
  }
  EXPECT_EQ(lockFile(handle), 1);  // the holder's exit released it
  EXPECT_EQ(unlockFile(handle), 0);
  ::close(handle);
}

// The stores' locks: they nest within the process, meet other programs' locks as shared and
// exclusive locks do, and give up after the wait.
TEST_F(FilesTest, StreamLocksNestAndMeetOtherProgramsLocks) {
  const std::string path = dir_.file("store.dat");
  writeFile(path, "data");
  std::FILE* stream = std::fopen(path.c_str(), "r+b");
  std::FILE* reading = std::fopen(path.c_str(), "rb");
  ASSERT_TRUE(stream && reading);
  setLockWait(std::chrono::milliseconds(50));
  {
    const StreamLock change(stream, LockKind::exclusive);
    const StreamLock read(reading, LockKind::shared);  // same file, another stream: nested
    EXPECT_EQ(change.outcome(), LockOutcome::held);
    EXPECT_EQ(read.outcome(), LockOutcome::held);
    EXPECT_FALSE(test::ForeignLock(path, LockKind::shared).held());
  }
  {
    const test::ForeignLock other(path, LockKind::shared);
    ASSERT_TRUE(other.held());
    const StreamLock read(stream, LockKind::shared);
    EXPECT_EQ(read.outcome(), LockOutcome::held);
    EXPECT_EQ(StreamLock(stream, LockKind::exclusive).outcome(), LockOutcome::busy);
    EXPECT_FALSE(test::ForeignLock(path, LockKind::exclusive).held());  // still shared here
  }
  {
    const test::ForeignLock other(path, LockKind::exclusive);
    ASSERT_TRUE(other.held());
    EXPECT_EQ(StreamLock(stream, LockKind::shared).outcome(), LockOutcome::busy);
  }
  EXPECT_TRUE(test::ForeignLock(path, LockKind::exclusive).held());  // all released
  EXPECT_EQ(StreamLock(reading, LockKind::exclusive).outcome(), LockOutcome::failed);
  EXPECT_EQ(changeRefusedMessage("kjv.vn"),
            "kjv.vn is being changed by another program; try again.");
  setLockWait(std::chrono::milliseconds(5000));
  std::fclose(reading);
  std::fclose(stream);
}

TEST_F(FilesTest, TmpfileIsReadableAndWritable) {
  std::FILE* scratch = _tmpfile();
  ASSERT_NE(scratch, nullptr);
  std::fputs("scratch", scratch);
  std::rewind(scratch);
  EXPECT_EQ(readStream(scratch, 7), "scratch");
  std::fclose(scratch);
}

TEST_F(FilesTest, PathHelpersOnStrings) {
  EXPECT_EQ(changeExtension("dir/kjv.bib", "nts"), "dir/kjv.nts");
  EXPECT_EQ(changeExtension("dir/kjv.bib", ".hlt"), "dir/kjv.hlt");
  EXPECT_EQ(changeExtension("a.b/kjv", "nts"), "a.b/kjv.nts");
  EXPECT_EQ(changeExtension("c:\\x.y\\kjv.bib", "nts"), "c:\\x.y\\kjv.nts");
  EXPECT_EQ(changeExtension("kjv.old.bib", ""), "kjv.old");

  EXPECT_EQ(setDirectory("c:\\x\\kjv.bib", "/data"), "/data/kjv.bib");
  EXPECT_EQ(setDirectory("x/kjv.bib", "/data/"), "/data/kjv.bib");
  EXPECT_EQ(setDirectory("x/kjv.bib", "."), "./kjv.bib");
  EXPECT_EQ(setDirectory("x/kjv.bib", ""), "kjv.bib");

  EXPECT_EQ(setFileName("/data/kjv.bib", "deleteme.tmp"), "/data/deleteme.tmp");
  EXPECT_EQ(setFileName("kjv.bib", "deleteme.tmp"), "deleteme.tmp");

  EXPECT_EQ(bareFileName("a/b\\c.bib"), "c.bib");
  EXPECT_EQ(bareFileName("c.bib"), "c.bib");
  EXPECT_EQ(bareFileName("dir/"), "");
}

TEST_F(FilesTest, PathHelpersOnBuffersRefuseWhatDoesNotFit) {
  char path[kPathMax] = "dir/kjv.bib";
  EXPECT_EQ(changeExtension(path, "nts"), path);
  EXPECT_STREQ(path, "dir/kjv.nts");
  EXPECT_EQ(setDirectory(path, "/data"), path);
  EXPECT_STREQ(path, "/data/kjv.nts");
  EXPECT_EQ(setFileName(path, "web.bib"), path);
  EXPECT_STREQ(path, "/data/web.bib");

  // Exactly kPathMax - 1 characters fit; one more is refused and the buffer is left alone.
  const std::string full = "d/" + std::string(kPathMax - 1 - 2 - 4, 'n') + ".bib";
  ASSERT_EQ(full.size(), kPathMax - 1);
  std::memcpy(path, full.c_str(), full.size() + 1);
  EXPECT_EQ(changeExtension(path, "abc"), path);
  EXPECT_EQ(std::strlen(path), kPathMax - 1);
  const std::string before(path);
  EXPECT_EQ(changeExtension(path, "abcd"), nullptr);
  EXPECT_EQ(setFileName(path, (std::string(bareFileName(before)) + "x").c_str()), nullptr);
  EXPECT_EQ(setDirectory(path, "dd"), nullptr);
  EXPECT_EQ(path, before);
}

TEST_F(FilesTest, FileExistsMatchesWildcardsIgnoringCase) {
  writeFile(dir_.file("kjv.bib"), "x");
  writeFile(dir_.file("README"), "x");
  writeFile(dir_.file("odd[1].dic"), "x");
  std::filesystem::create_directory(dir_.file("sub.bib"));
  auto exists = [&](const std::string& name) { return fileExists(dir_.file(name).c_str()); };
  EXPECT_NE(exists("kjv.bib"), 0);
  EXPECT_NE(exists("KJV.BIB"), 0);
  EXPECT_NE(exists("*.bib"), 0);
  EXPECT_NE(exists("k?v.*"), 0);
  EXPECT_NE(exists("readme.*"), 0);  // "name.*" takes a name with no extension
  EXPECT_NE(exists("odd[1].dic"), 0);
  EXPECT_NE(exists("*.dic"), 0);
  EXPECT_EQ(exists("web.bib"), 0);
  EXPECT_EQ(exists("k?.bib"), 0);
  EXPECT_EQ(exists("sub.bib"), 0);  // a directory is not a file
  EXPECT_EQ(fileExists(""), 0);
  EXPECT_EQ(fileExists("/no/such/dir/*.*"), 0);
}

TEST_F(FilesTest, IsDirReadOnlyProbesWithoutLeavingAFile) {
  EXPECT_EQ(isDirReadOnly(dir_.file("kjv.bib").c_str()), 0);
  EXPECT_FALSE(std::filesystem::exists(dir_.file("deleteme.tmp")));
  EXPECT_EQ(isDirReadOnly("/proc/self/status"), 1);
  EXPECT_EQ(isDirReadOnly(dir_.file("missing/kjv.bib").c_str()), 1);
}

// Sets an environment variable for the life of the object (unset when value is null).
class ScopedEnvironment {
 public:
  ScopedEnvironment(const char* name, const char* value) : name_(name) {
    if (const char* old = std::getenv(name)) saved_ = old;
    value ? setenv(name, value, 1) : unsetenv(name);
  }
  ~ScopedEnvironment() { saved_ ? setenv(name_, saved_->c_str(), 1) : unsetenv(name_); }
  ScopedEnvironment(const ScopedEnvironment&) = delete;
  ScopedEnvironment& operator=(const ScopedEnvironment&) = delete;

 private:
  const char* name_;
  std::optional<std::string> saved_;
};

TEST_F(FilesTest, XdgDataDirectoriesFollowTheBaseDirectoryRules) {
  struct Case {
    const char* home;
    const char* dataHome;
    const char* dataDirs;
    std::string user;
    std::vector<std::string> shared;
  };
  const std::vector<std::string> defaults = {"/usr/local/share/vellum", "/usr/share/vellum"};
  const std::vector<Case> cases = {
      {"/h", nullptr, nullptr, "/h/.local/share/vellum", defaults},
      {"/h", "", "", "/h/.local/share/vellum", defaults},
      {"/h", "/d", "/a/:relative::/b", "/d/vellum", {"/a/vellum", "/b/vellum"}},
      {"/h", "relative", "/a", "/h/.local/share/vellum", {"/a/vellum"}},
      {nullptr, nullptr, "/a", "", {"/a/vellum"}},
  };
  for (const Case& c : cases) {
    ScopedEnvironment home("HOME", c.home);
    ScopedEnvironment dataHome("XDG_DATA_HOME", c.dataHome);
    ScopedEnvironment dataDirs("XDG_DATA_DIRS", c.dataDirs);
    EXPECT_EQ(xdgUserDataDirectory(), c.user);
    EXPECT_EQ(xdgSharedDataDirectories(), c.shared);
  }
  ScopedEnvironment dataHome("XDG_DATA_HOME", "/d");
  ScopedEnvironment dataDirs("XDG_DATA_DIRS", "/a;b:/c");  // ';' cannot be on the data path
  EXPECT_EQ(setStandardDataDirectories("/p/bin"),
            (std::vector<std::string>{"/d/vellum", "/c/vellum", "/p/share/vellum/data"}));
  EXPECT_EQ(userDataDirectory(), "/d/vellum");
  EXPECT_EQ(isDirReadOnly("/p/share/vellum/data/kjv.bib"), 1);
}

// A user directory, a shared directory and a plain writable one, on the data path in that
// order: the way an installed program sees its data.
class UserAndSharedTest : public FilesTest {
 protected:
  void SetUp() override {
    std::filesystem::create_directories(shared_);
    std::filesystem::create_directories(plain_);
    set_dpath((user_ + ";" + shared_ + ";" + plain_).c_str());
    setUserDataDirectory(user_);
    setSharedDataDirectories({shared_ + "/"});
  }
  const std::string user_ = dir_.file("user");  // made when first needed
  const std::string shared_ = dir_.file("shared");
  const std::string plain_ = dir_.file("plain");
};

TEST_F(UserAndSharedTest, NewFilesGoToTheUserAndSharedOnesAreNeverWritten) {
  writeFile(shared_ + "/topics.dic", "shared");
  writeFile(plain_ + "/web.vn", "plain");
  EXPECT_EQ(isDirReadOnly((shared_ + "/topics.dic").c_str()), 1);
  EXPECT_EQ(_fopen("topics.dic", "r+b"), nullptr);  // only in a shared directory
  std::FILE* reading = _fopen("topics.dic", "rb");
  ASSERT_NE(reading, nullptr);
  _fclose(reading);
  std::FILE* plain = _fopen("web.vn", "r+b");  // a writable directory changes in place
  ASSERT_NE(plain, nullptr);
  _fclose(plain);
  std::FILE* made = _fopen("options.dic", "w+b");
  ASSERT_NE(made, nullptr);
  _fclose(made);
  EXPECT_TRUE(std::filesystem::exists(user_ + "/options.dic"));
  EXPECT_EQ(readFile(shared_ + "/topics.dic"), "shared");
  EXPECT_FALSE(std::filesystem::exists(shared_ + "/deleteme.tmp"));
  EXPECT_FALSE(std::filesystem::exists(plain_ + "/options.dic"));
}

TEST_F(UserAndSharedTest, PrepareToChangeCopiesOnlyWhatCannotChangeWhereItIs) {
  writeFile(shared_ + "/kjv.vn", "shared notes");
  writeFile(plain_ + "/web.vn", "plain notes");
  EXPECT_TRUE(prepareToChange("kjv.vn"));
  EXPECT_EQ(readFile(user_ + "/kjv.vn"), "shared notes");
  std::FILE* copy = _fopen("kjv.vn", "r+b");  // the copy, earlier on the path
  ASSERT_NE(copy, nullptr);
  ASSERT_EQ(std::fputs("mine", copy), 1);
  _fclose(copy);
  EXPECT_EQ(readFile(shared_ + "/kjv.vn"), "shared notes");
  EXPECT_EQ(readFile(user_ + "/kjv.vn"), "mineed notes");

  EXPECT_TRUE(prepareToChange("web.vn"));  // changes where it is
  EXPECT_FALSE(std::filesystem::exists(user_ + "/web.vn"));
  EXPECT_TRUE(prepareToChange("new.vn"));  // nowhere yet: made in the user's directory
  EXPECT_FALSE(std::filesystem::exists(user_ + "/new.vn"));

  setUserDataDirectory({});
  writeFile(shared_ + "/kjv.hil", "shared");
  EXPECT_FALSE(prepareToChange("kjv.hil"));  // nowhere to copy it to
}

TEST_F(FilesTest, FirstOpticalMountSkipsOtherAndEmptyMounts) {
  const std::string empty = dir_.file("empty drive");
  const std::string disc = dir_.file("disc one");
  std::filesystem::create_directory(empty);
  std::filesystem::create_directory(disc);
  writeFile(disc + "/kjv.bib", "x");
  auto escaped = [](std::string path) {
    std::string out;
    for (char c : path) out += c == ' ' ? std::string("\\040") : std::string(1, c);
    return out;
  };
  const std::string table =
      "/dev/sda1 / ext4 rw 0 0\n"
      "/dev/sr0 " +
      escaped(empty) +
      " iso9660 ro 0 0\n"
      "/dev/sr1 " +
      escaped(disc) +
      " udf ro 0 0\n"
      "/dev/sr2 " +
      escaped(dir_.path().string()) + " iso9660 ro 0 0\n";
  EXPECT_EQ(firstOpticalMount(table), disc);
  EXPECT_EQ(firstOpticalMount("/dev/sda1 / ext4 rw 0 0\nbroken line\n"), "");
  EXPECT_EQ(firstOpticalMount(""), "");
}

}  // namespace
}  // namespace vellum
