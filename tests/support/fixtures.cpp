#include "tests/support/fixtures.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <linux/fs.h>
#include <sys/ioctl.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cctype>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <iterator>
#include <map>
#include <sstream>
#include <system_error>

#include "support/endian.h"
#include "tools/import/module_writer.h"
#include "tools/import/vpl.h"

namespace vellum::test {
namespace {

// The rotating vocabulary of the 66-book fixture (documented in fixtures.h).
constexpr const char* kVocabulary[] = {"love", "Love",  "LOVE",  "loved",  "glove",
                                       "live", "seeth", "teeth", "Lord's", "Beth-el"};

// The two verses that carry real text, by their place in the VPL text.
const std::map<std::string, std::string> kRealVerses = {
    {"Genesis\t1\t1",
     "In the beginning 7225 God 430 created 1254 the heaven 8064 and 853 the earth. 776"},
    {"John\t3\t16",
     "For 1063 God 2316 so 3779 loved 25 the world, 2889 that 5620 he gave 1325 his 846 only "
     "begotten 3439 Son, 5207 that 2443 whosoever 3956 believeth 4100 in 1519 him 846 should 622 "
     "not 3361 perish, 622 but 235 have 2192 everlasting 166 life. 2222"},
};

std::string buildKjvVpl() {
  const std::string path = VELLUM_TEST_DATA_DIR "/kjv-versification.txt";
  std::istringstream table(readFile(path));
  if (table.str().empty()) ADD_FAILURE() << "cannot read " << path;
  std::string out, line;
  int n = 0;  // the verse's number over the module
  while (std::getline(table, line)) {
    if (line.empty() || line[0] == '#') continue;
    const std::size_t tab = line.find('\t');
    if (tab == std::string::npos) return ADD_FAILURE() << "no tab in " << line, std::string();
    const std::string book = line.substr(0, tab);
    // Only the numbered books hold a digit: "1 Samuel" gives "Samuel".
    const std::string name = book.substr(std::isdigit(static_cast<unsigned char>(book[0])) ? 2 : 0);
    std::istringstream counts(line.substr(tab + 1));
    int chapter = 0, verses = 0;
    while (counts >> verses) {
      ++chapter;
      for (int verse = 1; verse <= verses; ++verse, ++n) {
        const std::string place =
            book + '\t' + std::to_string(chapter) + '\t' + std::to_string(verse);
        std::string text = name + " saith " + kVocabulary[n % 10];
        if (n % 3 == 2) text += std::string(", and ") + kVocabulary[(n / 3) % 10];
        const auto real = kRealVerses.find(place);
        out += place + '\t' + (real == kRealVerses.end() ? text + "." : real->second) + '\n';
      }
    }
  }
  return out;
}

}  // namespace

TempDir::TempDir() {
  std::string name = (std::filesystem::temp_directory_path() / "vellum-test-XXXXXX").string();
  if (mkdtemp(name.data()) != nullptr) path_ = name;
  EXPECT_FALSE(path_.empty()) << "cannot create " << name;
}

TempDir::~TempDir() {
  if (path_.empty()) return;
  std::error_code ignored;
  std::filesystem::remove_all(path_, ignored);
}

Module openModule(const std::filesystem::path& dir, const std::string& fileName, std::string* why) {
  set_dpath(dir.string().c_str());
  bibleName name;
  if (fileName.size() >= sizeof name.path) {
    if (why != nullptr) *why = "file name too long";
    return nullptr;
  }
  std::snprintf(name.path, sizeof name.path, "%s", fileName.c_str());
  return Module(openBible(&name, why));
}

std::string textOf(BibleHandle* module, std::uint16_t verse, bool chapter) {
  if (module == nullptr) return "(the module does not open)";
  std::vector<char> text(kChapterBufferSize);
  const auto size = static_cast<std::uint16_t>(text.size());
  std::uint16_t length = 0, first = 0;
  std::uint32_t offset = 0;
  if (chapter) {
    refLookup(&offset, &first, verseToReference(verse, module), module);
    getChapter(text.data(), &length, size, offset, module);
  } else {
    getVerse(text.data(), &length, size, verse, module);
  }
  return std::string(text.data(), length);
}

std::string buildModule(const std::filesystem::path& dir, const std::string& fileName,
                        const std::string& displayName, const std::string& vplText) {
  const std::string path = (dir / fileName).string();
  std::istringstream in(vplText);
  std::vector<import::VerseLine> lines;
  std::string error;
  if (!import::readVpl(in, lines, error) || !import::writeModule(displayName, lines, path, error))
    ADD_FAILURE() << "building " << path << " failed: " << error;
  return path;
}

std::string kjvVersificationVpl() {
  static const std::string text = buildKjvVpl();
  return text;
}

std::string buildKjvFixture(const std::filesystem::path& dir) {
  return buildModule(dir, "kjv.bib", "King James Version", kjvVersificationVpl());
}

ForeignLock::ForeignLock(const std::string& path, LockKind kind) {
  int ready[2], release[2];
  if (pipe(ready) != 0 || pipe(release) != 0) {
    ADD_FAILURE() << "no pipe for the lock holder";
    return;
  }
  child_ = fork();
  if (child_ == 0) {
    const int file = ::open(path.c_str(), O_RDWR);
    struct flock firstByte {};
    firstByte.l_type = static_cast<short>(kind == LockKind::exclusive ? F_WRLCK : F_RDLCK);
    firstByte.l_whence = SEEK_SET;
    firstByte.l_len = 1;
    const char held = file >= 0 && fcntl(file, F_SETLK, &firstByte) == 0 ? 'y' : 'n';
    char end = 0;
    ::close(release[1]);
    if (::write(ready[1], &held, 1) != 1) _exit(2);
    while (::read(release[0], &end, 1) > 0) continue;
    _exit(0);
  }
  char held = 'n';
  held_ = child_ > 0 && ::read(ready[0], &held, 1) == 1 && held == 'y';
  release_ = release[1];
  for (int end : {ready[0], ready[1], release[0]}) ::close(end);
}

ForeignLock::~ForeignLock() {
  if (release_ >= 0) ::close(release_);
  if (child_ > 0) waitpid(child_, nullptr, 0);
}

std::string readFile(const std::filesystem::path& path) {
  std::ifstream in(path, std::ios::binary);
  return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

void writeFile(const std::filesystem::path& path, std::string_view bytes) {
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
  if (!out) ADD_FAILURE() << "cannot write " << path;
}

void damage(const std::filesystem::path& path, std::string good, std::uint64_t offset,
            std::uint32_t value, int width) {
  if (offset + (width == 1 ? value : width) > good.size())
    return ADD_FAILURE() << "damage: " << path << " holds only " << good.size() << " bytes", void();
  auto* field = reinterpret_cast<std::uint8_t*>(good.data()) + offset;
  if (width == 4) le::store32(field, value);
  if (width == 2) le::store16(field, static_cast<std::uint16_t>(value));
  for (std::uint32_t i = 0; width == 1 && i < value; ++i)
    field[i] = static_cast<std::uint8_t>(~field[i]);
  writeFile(path, std::string_view(good).substr(0, width == 0 ? offset : good.size()));
}

void corrupt(const std::filesystem::path& path, std::uint64_t offset, std::uint32_t count) {
  damage(path, readFile(path), offset, count, 1);
}

void everyCut(const std::filesystem::path& path, const std::function<void(std::size_t)>& check) {
  const std::string whole = readFile(path);
  for (std::size_t length = 0; length < whole.size(); ++length) {
    writeFile(path, std::string_view(whole).substr(0, length));
    check(length);
  }
  writeFile(path, whole);
}

std::string shellQuote(std::string_view text) {
  std::string quoted = "'";
  for (char c : text) quoted += c == '\'' ? std::string("'\\''") : std::string(1, c);
  return quoted + "'";
}

Ran runProgram(const std::string& program, const std::string& arguments, const TempDir& scratch) {
  const std::string errorFile = scratch.file("stderr.txt");
  const std::string command = "XDG_DATA_HOME=" + shellQuote(scratch.file("home")) +
                              " XDG_DATA_DIRS=" + shellQuote(scratch.file("shared")) + " " +
                              shellQuote(program) + " " + arguments + " 2>" + shellQuote(errorFile);
  Ran ran;
  std::FILE* pipe = popen(command.c_str(), "r");
  if (pipe == nullptr) return ADD_FAILURE() << "cannot run " << command, ran;
  char buffer[4096];
  for (std::size_t n; (n = std::fread(buffer, 1, sizeof buffer, pipe)) > 0;)
    ran.out.append(buffer, n);
  const int status = pclose(pipe);
  ran.exitCode = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
  ran.err = readFile(errorFile);
  std::filesystem::remove(errorFile);
  return ran;
}

Ran runCommand(const std::function<int(std::ostream& out, std::ostream& err)>& command) {
  std::ostringstream out, err;
  Ran ran;
  ran.exitCode = command(out, err);
  ran.out = out.str();
  ran.err = err.str();
  return ran;
}

namespace {

// Calls get(buffer, &length) on a buffer of size bytes followed by a guard; the text when get
// finds it, else "<none>".
template <typename Get>
std::string guardedText(std::uint16_t size, Get get) {
  std::vector<char> buffer(size + 16u, '#');
  std::uint16_t length = 0;
  if (get(buffer.data(), &length) == nullptr) return "<none>";
  EXPECT_EQ(std::string(buffer.data() + size, 16), std::string(16, '#')) << "past the buffer";
  EXPECT_EQ(length, std::strlen(buffer.data()));
  return std::string(buffer.data(), length);
}

}  // namespace

std::string itemText(DictHandle* store, const std::string& name, std::uint16_t size) {
  return guardedText(size, [&](char* buffer, std::uint16_t* length) {
    return find_string_item(buffer, length, size, name.c_str(), store);
  });
}

std::string itemBytes(DictHandle* store, const std::string& name) {
  std::vector<std::uint8_t> buffer(65535);
  std::uint16_t length = 0;
  if (find_binary_item(buffer.data(), &length, 65535, name.c_str(), store) == nullptr)
    return "<none>";
  return std::string(reinterpret_cast<const char*>(buffer.data()), length);
}

std::vector<std::string> itemNames(DictHandle* store) {
  std::span<const std::string> list;
  std::uint16_t count = 0;
  get_item_list(&list, &count, store);
  EXPECT_EQ(count, list.size());
  return {list.begin(), list.end()};
}

std::string noteText(NotesHandle* notes, std::uint16_t verse, std::uint16_t size) {
  return guardedText(size, [&](char* buffer, std::uint16_t* length) {
    return VNGetNoteByVerse(buffer, length, size, verse, notes);
  });
}

UnwritableDirectory::UnwritableDirectory(const std::filesystem::path& path) : path_(path) {
  fd_ = ::open(path.c_str(), O_RDONLY | O_DIRECTORY);
  int flags = 0;
  if (fd_ >= 0 && ::ioctl(fd_, FS_IOC_GETFLAGS, &flags) == 0) {
    originalFlags_ = flags;
    flags |= FS_IMMUTABLE_FL;
    immutable_ = ::ioctl(fd_, FS_IOC_SETFLAGS, &flags) == 0;
  }
  if (!immutable_)
    std::filesystem::permissions(
        path, std::filesystem::perms::owner_read | std::filesystem::perms::owner_exec);
}

UnwritableDirectory::~UnwritableDirectory() {
  if (immutable_) ::ioctl(fd_, FS_IOC_SETFLAGS, &originalFlags_);
  if (fd_ >= 0) ::close(fd_);
  std::filesystem::permissions(path_, std::filesystem::perms::owner_all);
}

bool UnwritableDirectory::effective() const {
  return isDirReadOnly((path_ / "probe").c_str()) == 1;
}

}  // namespace vellum::test
