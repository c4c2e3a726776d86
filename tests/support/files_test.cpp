// Covers data files: the data path search, shared streams, locking, and the path helpers.
#include "support/files.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <optional>
#include <string>
#include <tuple>
#include <vector>

#include "tests/support/fixtures.h"

namespace vellum {
namespace {

using test::readFile;
using test::writeFile;

std::string readStream(std::FILE* stream, std::size_t count) {
  std::string text(count, '\0');
  text.resize(std::fread(text.data(), 1, count, stream));
  return text;
}

// The first bytes of name opened through the data path in mode, or "<none>" when it is not found.
std::string readThroughPath(const char* name, const char* mode = "rb", std::size_t count = 5) {
  std::FILE* stream = _fopen(name, mode);
  if (stream == nullptr) return "<none>";
  const std::string text = readStream(stream, count);
  _fclose(stream);
  return text;
}

// Tests start with the data path on their own directory; the next test starts from "." again.
class Files : public ::testing::Test {
 protected:
  void SetUp() override { set_dpath(dir_.path().c_str()); }
  void TearDown() override {
    set_dpath(".");
    setUserDataDirectory({});
    setSharedDataDirectories({});
  }
  test::TempDir dir_;
};

TEST_F(Files, DataPathSplitsOnSemicolonsAndPassesOverWhatCannotBeUsed) {
  set_dpath("a;;b/c;./;.;");
  EXPECT_EQ(get_dpath(), "a;;b/c;./;.;");
  EXPECT_EQ(dataPathDirectories(), (std::vector<std::string>{"a", "b/c", "./", "."}));
  set_dpath("");
  EXPECT_EQ(readThroughPath("anything"), "<none>");  // an empty data path opens nothing
  const std::string longPath = std::string(3 * kPathMax, 'd') + ";" + dir_.path().string();
  set_dpath(longPath.c_str());
  EXPECT_EQ(get_dpath(), longPath);
  writeFile(dir_.file("kjv.bib"), "here");
  // The over-long first item is passed over, and the name's own directory part is ignored.
  for (const char* name : {"kjv.bib", "c:\\x\\kjv.bib", "/no/such/dir/kjv.bib"})
    EXPECT_EQ(readThroughPath(name), "here") << name;
  for (const char* name : {"absent.dic", "", "dir/"}) EXPECT_EQ(readThroughPath(name), "<none>");
}

// Streams of other origins are left open by _fclose.
TEST_F(Files, SameNameAndModeShareOneRewoundStream) {
  writeFile(dir_.file("topics.dic"), "0123456789");
  std::FILE* first = _fopen("topics.dic", "r+b");
  ASSERT_NE(first, nullptr);
  EXPECT_EQ(readStream(first, 4), "0123");
  std::FILE* second = _fopen("TOPICS.DIC", "R+B");
  EXPECT_EQ(second, first);
  EXPECT_EQ(sharedStreamUsers(first), 2);
  EXPECT_EQ(std::ftell(first), 0);
  std::FILE* reading = _fopen("topics.dic", "rb");  // another mode, another stream
  EXPECT_NE(reading, first);
  _fclose(reading);
  _fclose(first);
  EXPECT_EQ(readStream(second, 3), "012");  // still open for the other user
  _fclose(second);
  EXPECT_EQ(sharedStreamUsers(first), 0);

  std::FILE* own = std::fopen(dir_.file("own.txt").c_str(), "w+b");
  _fclose(own);
  _fclose(nullptr);
  std::fputs("still open", own);
  EXPECT_EQ(flush(own), 0);
  EXPECT_EQ(readFile(dir_.file("own.txt")), "still open");
  std::fclose(own);
  EXPECT_EQ(flush(nullptr), -1);
}

TEST_F(Files, FiftySlotsAtMostAndAFreedSlotIsReused) {
  EXPECT_EQ(_fopen("absent", "rb"), nullptr);  // a missing file takes no slot
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
  held[7] = _fopen(last.c_str(), "rb");
  EXPECT_NE(held[7], nullptr);
  for (std::FILE* stream : held) _fclose(stream);
}

TEST_F(Files, SearchOrderCaseAndReadOnlyDirectories) {
  // /proc/self refuses new files even to the superuser, so it stands in for read-only media.
  writeFile(dir_.file("status"), "mine");
  set_dpath(("/proc/self;" + dir_.path().string()).c_str());
  EXPECT_EQ(readThroughPath("status"), "Name:");        // the first directory that holds it
  EXPECT_EQ(readThroughPath("status", "r+b"), "mine");  // read-only directories are passed over
  set_dpath("/proc/self");
  EXPECT_EQ(readThroughPath("status", "r+b"), "<none>");

  set_dpath(dir_.path().c_str());
  writeFile(dir_.file("KJV.BIB"), "upper");
  writeFile(dir_.file("kjv.bib"), "lower");
  EXPECT_EQ(readThroughPath("kjv.bib"), "lower");  // the exact name first
  // An update through a case-differing name writes the existing file, not a second one.
  std::filesystem::remove(dir_.file("kjv.bib"));
  std::FILE* stream = _fopen("Kjv.Bib", "r+b");
  ASSERT_NE(stream, nullptr);
  std::fputs("UPPER", stream);
  _fclose(stream);
  EXPECT_EQ(readFile(dir_.file("KJV.BIB")), "UPPER");
  EXPECT_FALSE(std::filesystem::exists(dir_.file("Kjv.Bib")));
}

TEST_F(Files, SharedHandlesAndLockFile) {
  const std::string path = dir_.file("shared.dat");
  EXPECT_EQ(openSharedFile(path.c_str()), -1);
  EXPECT_EQ(errno, ENOENT);
  int handle = createSharedFile(path.c_str());
  ASSERT_EQ(::write(handle, "keep", 4), 4);
  ::close(handle);
  ::close(createSharedFile(path.c_str()));  // an existing file keeps its contents
  handle = openSharedFile(path.c_str());
  ASSERT_EQ(::write(handle, "K", 1), 1);  // open for writing too
  EXPECT_EQ(readFile(path), "Keep");

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
TEST_F(Files, StreamLocksNestAndMeetOtherProgramsLocks) {
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
  setLockWait(std::chrono::milliseconds(5000));
  std::fclose(reading);
  std::fclose(stream);
}

TEST_F(Files, PathHelpers) {
  const std::pair<std::string, std::string> results[] = {
      {changeExtension("dir/kjv.bib", "nts"), "dir/kjv.nts"},
      {changeExtension("dir/kjv.bib", ".hlt"), "dir/kjv.hlt"},
      {changeExtension("a.b/kjv", "nts"), "a.b/kjv.nts"},
      {changeExtension("c:\\x.y\\kjv.bib", "nts"), "c:\\x.y\\kjv.nts"},
      {changeExtension("kjv.old.bib", ""), "kjv.old"},
      {setDirectory("c:\\x\\kjv.bib", "/data"), "/data/kjv.bib"},
      {setDirectory("x/kjv.bib", "/data/"), "/data/kjv.bib"},
      {setDirectory("x/kjv.bib", "."), "./kjv.bib"},
      {setDirectory("x/kjv.bib", ""), "kjv.bib"},
      {setFileName("/data/kjv.bib", "deleteme.tmp"), "/data/deleteme.tmp"},
      {setFileName("kjv.bib", "deleteme.tmp"), "deleteme.tmp"},
      {std::string(bareFileName("a/b\\c.bib")), "c.bib"},
      {std::string(bareFileName("dir/")), ""}};
  for (const auto& [result, expected] : results) EXPECT_EQ(result, expected);

  // On a buffer exactly kPathMax - 1 characters fit; one more is refused, the buffer untouched.
  char path[kPathMax] = "dir/kjv.bib";
  EXPECT_EQ(setDirectory(changeExtension(path, "nts"), "/data"), path);
  EXPECT_STREQ(setFileName(path, "web.bib"), "/data/web.bib");
  const std::string full = "d/" + std::string(kPathMax - 1 - 2 - 4, 'n') + ".bib";
  std::memcpy(path, full.c_str(), full.size() + 1);
  EXPECT_EQ(changeExtension(path, "abc"), path);
  const std::string before(path);
  EXPECT_EQ(changeExtension(path, "abcd"), nullptr);
  EXPECT_EQ(setFileName(path, (std::string(bareFileName(before)) + "x").c_str()), nullptr);
  EXPECT_EQ(setDirectory(path, "dd"), nullptr);
  EXPECT_EQ(path, before);
}

TEST_F(Files, FileExistsAndReadOnlyProbes) {
  for (const char* name : {"kjv.bib", "README", "odd[1].dic"}) writeFile(dir_.file(name), "x");
  std::filesystem::create_directory(dir_.file("sub.bib"));
  // "name.*" takes a name with no extension; a directory is not a file.
  for (const char* name : {"KJV.BIB", "*.bib", "k?v.*", "readme.*", "odd[1].dic", "*.dic"})
    EXPECT_NE(fileExists(dir_.file(name).c_str()), 0) << name;
  for (const char* name : {"web.bib", "k?.bib", "sub.bib"})
    EXPECT_EQ(fileExists(dir_.file(name).c_str()), 0) << name;
  EXPECT_EQ(fileExists(""), 0);
  EXPECT_EQ(fileExists("/no/such/dir/*.*"), 0);

  EXPECT_EQ(isDirReadOnly(dir_.file("kjv.bib").c_str()), 0);
  EXPECT_FALSE(std::filesystem::exists(dir_.file("deleteme.tmp")));  // the probe is removed
  EXPECT_EQ(isDirReadOnly("/proc/self/status"), 1);
  EXPECT_EQ(isDirReadOnly(dir_.file("missing/kjv.bib").c_str()), 1);
}

// Sets an environment variable for the life of the object (unset when value is null).
struct ScopedEnvironment {
  ScopedEnvironment(const char* name, const char* value) : variable(name) {
    if (const char* old = std::getenv(name)) saved = old;
    value ? setenv(name, value, 1) : unsetenv(name);
  }
  ~ScopedEnvironment() { saved ? setenv(variable, saved->c_str(), 1) : unsetenv(variable); }
  const char* variable;
  std::optional<std::string> saved;
};

TEST_F(Files, XdgDataDirectoriesFollowTheBaseDirectoryRules) {
  // HOME, XDG_DATA_HOME and XDG_DATA_DIRS (null: unset), and the user's and the shared data
  // directories they give.
  const std::vector<std::string> defaults = {"/usr/local/share/vellum", "/usr/share/vellum"};
  const std::tuple<const char*, const char*, const char*, std::string, std::vector<std::string>>
      cases[] = {{"/h", nullptr, nullptr, "/h/.local/share/vellum", defaults},
                 {"/h", "", "", "/h/.local/share/vellum", defaults},
                 {"/h", "/d", "/a/:relative::/b", "/d/vellum", {"/a/vellum", "/b/vellum"}},
                 {"/h", "relative", "/a", "/h/.local/share/vellum", {"/a/vellum"}},
                 {nullptr, nullptr, "/a", "", {"/a/vellum"}}};
  for (const auto& [home, dataHome, dataDirs, user, shared] : cases) {
    ScopedEnvironment setHome("HOME", home), setDataHome("XDG_DATA_HOME", dataHome),
        setDataDirs("XDG_DATA_DIRS", dataDirs);
    EXPECT_EQ(xdgUserDataDirectory(), user);
    EXPECT_EQ(xdgSharedDataDirectories(), shared);
  }
  ScopedEnvironment dataHome("XDG_DATA_HOME", "/d");
  ScopedEnvironment dataDirs("XDG_DATA_DIRS", "/a;b:/c");  // ';' cannot be on the data path
  EXPECT_EQ(setStandardDataDirectories("/p/bin"),
            (std::vector<std::string>{"/d/vellum", "/c/vellum", "/p/share/vellum/data"}));
  EXPECT_EQ(userDataDirectory(), "/d/vellum");
  EXPECT_EQ(isDirReadOnly("/p/share/vellum/data/kjv.bib"), 1);
}

// A user directory (made when first needed), a shared one and a plain writable one, on the data
// path in that order: the way an installed program sees its data.
TEST_F(Files, NewFilesGoToTheUserAndSharedOnesAreCopiedBeforeAChange) {
  const std::string user = dir_.file("user"), shared = dir_.file("shared"),
                    plain = dir_.file("plain");
  std::filesystem::create_directories(shared);
  std::filesystem::create_directories(plain);
  set_dpath((user + ";" + shared + ";" + plain).c_str());
  setUserDataDirectory(user);
  setSharedDataDirectories({shared + "/"});
  writeFile(shared + "/kjv.vn", "shared notes");
  writeFile(plain + "/web.vn", "plain notes");
  EXPECT_EQ(isDirReadOnly((shared + "/kjv.vn").c_str()), 1);
  EXPECT_EQ(readThroughPath("kjv.vn", "r+b"), "<none>");  // only in a shared directory
  _fclose(_fopen("options.dic", "w+b"));
  EXPECT_TRUE(std::filesystem::exists(user + "/options.dic"));
  EXPECT_FALSE(std::filesystem::exists(plain + "/options.dic"));

  EXPECT_TRUE(prepareToChange("kjv.vn"));
  std::FILE* copy = _fopen("kjv.vn", "r+b");  // the copy, earlier on the path
  ASSERT_NE(copy, nullptr);
  std::fputs("mine", copy);
  _fclose(copy);
  EXPECT_EQ(readFile(shared + "/kjv.vn"), "shared notes");
  EXPECT_EQ(readFile(user + "/kjv.vn"), "mineed notes");
  EXPECT_TRUE(prepareToChange("web.vn"));  // changes where it is
  EXPECT_TRUE(prepareToChange("new.vn"));  // nowhere yet: made in the user's directory later
  EXPECT_FALSE(std::filesystem::exists(user + "/web.vn"));
  EXPECT_FALSE(std::filesystem::exists(user + "/new.vn"));
  setUserDataDirectory({});
  writeFile(shared + "/kjv.hil", "shared");
  EXPECT_FALSE(prepareToChange("kjv.hil"));  // nowhere to copy it to
}

TEST_F(Files, FirstOpticalMountSkipsOtherAndEmptyMounts) {
  std::filesystem::create_directories(dir_.path() / "empty drive");
  std::filesystem::create_directories(dir_.path() / "disc one");
  writeFile(dir_.file("disc one/kjv.bib"), "x");
  const std::string root = dir_.path().string();
  EXPECT_EQ(firstOpticalMount("/dev/sda1 / ext4 rw 0 0\n/dev/sr0 " + root +
                              "/empty\\040drive iso9660 ro 0 0\n/dev/sr1 " + root +
                              "/disc\\040one udf ro 0 0\n"),
            dir_.file("disc one"));
  EXPECT_EQ(firstOpticalMount("/dev/sda1 / ext4 rw 0 0\nbroken line\n"), "");
}

}  // namespace
}  // namespace vellum
