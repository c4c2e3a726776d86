#include "support/files.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <cerrno>
#include <chrono>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <memory>
#include <random>
#include <thread>
#include <utility>

#include "support/strings.h"

namespace vellum {

namespace {

// Ticks are counted from the moment the library was loaded, as the runtime's clock did.
const std::chrono::steady_clock::time_point processStart = std::chrono::steady_clock::now();

std::string& dataPath() {
  static std::string path = ".";
  return path;
}

// One entry of the open-file table. A slot with users of 0 or less is free and holds nothing.
struct OpenFileSlot {
  std::FILE* stream = nullptr;
  std::string name;  // as the caller passed it, not the resolved path
  std::string mode;
  int users = 0;
  dev_t device = 0;  // the file's identity, for the locks (see fileIdentity)
  ino_t inode = 0;
};

std::array<OpenFileSlot, kOpenFileSlots>& openFiles() {
  static std::array<OpenFileSlot, kOpenFileSlots> slots;
  return slots;
}

bool fitsPathBuffer(std::string_view path) { return path.size() < kPathMax; }

// Copies a helper's result back into the caller's kPathMax buffer, or refuses.
char* storeInPathBuffer(char* buffer, const std::string& result) {
  if (!fitsPathBuffer(result)) return nullptr;
  std::memcpy(buffer, result.c_str(), result.size() + 1);
  return buffer;
}

bool equalIgnoringCase(std::string_view a, std::string_view b) {
  if (a.size() != b.size()) return false;
  for (std::size_t i = 0; i < a.size(); ++i) {
    if (toUpper(a[i]) != toUpper(b[i])) return false;
  }
  return true;
}

// Splits a real file-system path at its last '/': the directory to open ("." when there is
// none) and the entry name within it.
struct DirectoryAndEntry {
  std::string directory;
  std::string entry;
};

DirectoryAndEntry splitAtLastSlash(std::string_view path) {
  const std::size_t slash = path.rfind('/');
  if (slash == std::string_view::npos) return {".", std::string(path)};
  if (slash == 0) return {"/", std::string(path.substr(1))};
  return {std::string(path.substr(0, slash)), std::string(path.substr(slash + 1))};
}

struct DirectoryCloser {
  void operator()(DIR* d) const { closedir(d); }
};
using DirectoryHandle = std::unique_ptr<DIR, DirectoryCloser>;

// Calls visit(name) for every entry of the directory other than "." and ".."; stops early when
// visit returns true. Returns false when the directory cannot be read.
template <typename Visit>
bool forEachEntry(const std::string& directory, Visit visit) {
  DirectoryHandle dir(opendir(directory.c_str()));
  if (!dir) return false;
  while (const dirent* entry = readdir(dir.get())) {
    const std::string_view name(entry->d_name);
    if (name == "." || name == "..") continue;
    if (visit(name)) break;
  }
  return true;
}

// The path as given when something of that name exists; otherwise the path of an entry of the
// same directory whose name differs only in letter case (the alphabetically first, so the
// choice does not depend on directory order); otherwise the path unchanged.
std::string resolveLetterCase(const std::string& path) {
  struct stat info {};
  if (::stat(path.c_str(), &info) == 0 || errno != ENOENT) return path;
  DirectoryAndEntry parts = splitAtLastSlash(path);
  if (parts.entry.empty()) return path;
  std::string best;
  forEachEntry(parts.directory, [&](std::string_view name) {
    if (equalIgnoringCase(name, parts.entry) && (best.empty() || name < best)) best = name;
    return false;
  });
  if (best.empty()) return path;
  const std::size_t slash = path.rfind('/');
  return slash == std::string::npos ? best : path.substr(0, slash + 1) + best;
}

bool isRegularFile(const std::string& path) {
  struct stat info {};
  return ::stat(path.c_str(), &info) == 0 && S_ISREG(info.st_mode);
}

bool hasWildcards(std::string_view name) {
  return name.find_first_of("*?") != std::string_view::npos;
}

// The directory-listing wildcards: '*' any run of characters, '?' any one character, letters
// compared ignoring case. Nothing else is special, so a name holding '[' matches itself.
bool wildcardMatch(std::string_view pattern, std::string_view name) {
  std::size_t p = 0;
  std::size_t n = 0;
  std::size_t starPattern = std::string_view::npos;
  std::size_t starName = 0;
  while (n < name.size()) {
    if (p < pattern.size() && (pattern[p] == '?' || toUpper(pattern[p]) == toUpper(name[n]))) {
      ++p;
      ++n;
    } else if (p < pattern.size() && pattern[p] == '*') {
      starPattern = p++;
      starName = n;
    } else if (starPattern != std::string_view::npos) {
      p = starPattern + 1;
      n = ++starName;
    } else {
      return false;
    }
  }
  while (p < pattern.size() && pattern[p] == '*') ++p;
  return p == pattern.size();
}

// As listings always did, "name.*" also matches "name" with no extension at all ("*.*" is
// every file).
bool listingMatch(std::string_view pattern, std::string_view name) {
  if (wildcardMatch(pattern, name)) return true;
  return pattern.size() >= 2 && pattern.substr(pattern.size() - 2) == ".*" &&
         name.find('.') == std::string_view::npos &&
         wildcardMatch(pattern.substr(0, pattern.size() - 2), name);
}

std::string& userDirectory() {
  static std::string directory;
  return directory;
}

std::vector<std::string>& sharedDirectories() {
  static std::vector<std::string> directories;
  return directories;
}

// A directory's name in one form, so that "/usr/share/vellum/", a link to it and the name
// itself compare equal.
std::string comparableDirectory(const std::string& directory) {
  namespace fs = std::filesystem;
  std::error_code error;
  fs::path normal = fs::weakly_canonical(directory.empty() ? "." : directory, error);
  if (error) normal = fs::path(directory).lexically_normal();
  std::string text = normal.string();
  while (text.size() > 1 && text.back() == '/') text.pop_back();
  return text;
}

bool isSharedDirectory(const std::string& directory) {
  if (sharedDirectories().empty()) return false;
  const std::string wanted = comparableDirectory(directory);
  for (const std::string& shared : sharedDirectories()) {
    if (shared == wanted) return true;
  }
  return false;
}

// The directory part of a file path: "." when it has none.
std::string directoryOf(const std::string& path) { return splitAtLastSlash(path).directory; }

bool ensureUserDirectory() {
  std::error_code error;
  std::filesystem::create_directories(userDirectory(), error);
  return !error && std::filesystem::is_directory(userDirectory(), error);
}

// An absolute directory from the environment, or empty when the variable is unset, empty or
// relative.
std::string absoluteFromEnvironment(const char* variable) {
  const char* value = std::getenv(variable);
  return value != nullptr && value[0] == '/' ? std::string(value) : std::string();
}

// Looks for the file along the data path. Any directory part of the name is ignored: only its
// bare name is looked for in each directory. Modes that write pass over directories where no
// file can be created, so read-only media still serve readers; only directories that hold the
// file are probed. With a user data directory, a new file is made there only.
std::FILE* openOnDataPath(const char* name, const char* mode) {
  if (bareFileName(name).empty()) return nullptr;
  const bool creates = mode[0] == 'w' || mode[0] == 'a';
  const bool writes = creates || std::strchr(mode, '+') != nullptr;
  if (creates && !userDirectory().empty()) {
    const std::string path = setDirectory(name, userDirectory());
    if (!fitsPathBuffer(path) || !ensureUserDirectory()) return nullptr;
    return std::fopen(resolveLetterCase(path).c_str(), mode);
  }
  for (const std::string& directory : dataPathDirectories()) {
    const std::string path = setDirectory(name, directory);
    if (!fitsPathBuffer(path)) continue;
    const std::string resolved = resolveLetterCase(path);
    if (!creates && !isRegularFile(resolved)) continue;
    if (writes && isDirReadOnly(path.c_str()) != 0) continue;
    if (std::FILE* stream = std::fopen(resolved.c_str(), mode)) return stream;
  }
  return nullptr;
}

// Decodes the octal escapes (\040 for a space) of a mount-table field.
std::string decodeMountField(std::string_view field) {
  std::string decoded;
  for (std::size_t i = 0; i < field.size(); ++i) {
    if (field[i] == '\\' && i + 3 < field.size()) {
      const std::string_view digits = field.substr(i + 1, 3);
      if (digits.find_first_not_of("01234567") == std::string_view::npos) {
        decoded.push_back(static_cast<char>(((digits[0] - '0') << 6) | ((digits[1] - '0') << 3) |
                                            (digits[2] - '0')));
        i += 3;
        continue;
      }
    }
    decoded.push_back(field[i]);
  }
  return decoded;
}

}  // namespace

void set_dpath(const char* path) { dataPath() = path != nullptr ? path : ""; }

std::string get_dpath() { return dataPath(); }

std::vector<std::string> dataPathDirectories() {
  std::vector<std::string> directories;
  std::string_view rest(dataPath());
  while (!rest.empty()) {
    const std::size_t separator = rest.find(';');
    const std::string_view item = rest.substr(0, separator);
    if (!item.empty()) directories.emplace_back(item);
    if (separator == std::string_view::npos) break;
    rest.remove_prefix(separator + 1);
  }
  return directories;
}

std::string xdgUserDataDirectory() {
  std::string base = absoluteFromEnvironment("XDG_DATA_HOME");
  if (base.empty()) {
    const std::string home = absoluteFromEnvironment("HOME");
    if (home.empty()) return {};
    base = home + "/.local/share";
  }
  return base + "/vellum";
}

std::vector<std::string> xdgSharedDataDirectories() {
  const char* value = std::getenv("XDG_DATA_DIRS");
  const std::string list =
      value != nullptr && value[0] != '\0' ? value : "/usr/local/share:/usr/share";
  std::vector<std::string> directories;
  std::string_view rest(list);
  while (!rest.empty()) {
    const std::size_t colon = rest.find(':');
    std::string item(rest.substr(0, colon));
    while (item.size() > 1 && item.back() == '/') item.pop_back();
    if (!item.empty() && item.front() == '/') directories.push_back(item + "/vellum");
    if (colon == std::string_view::npos) break;
    rest.remove_prefix(colon + 1);
  }
  return directories;
}

std::string executableDirectory() {
  std::error_code error;
  const std::filesystem::path self = std::filesystem::read_symlink("/proc/self/exe", error);
  return error ? std::string() : self.parent_path().string();
}

std::vector<std::string> setStandardDataDirectories(const std::string& programDirectory) {
  std::vector<std::string> shared = xdgSharedDataDirectories();
  if (!programDirectory.empty()) {
    shared.push_back(
        (std::filesystem::path(programDirectory) / "../share/vellum/data").lexically_normal());
  }
  const std::string user = xdgUserDataDirectory();
  setUserDataDirectory(user);
  setSharedDataDirectories(shared);
  std::vector<std::string> directories;
  if (!user.empty()) directories.push_back(user);
  directories.insert(directories.end(), shared.begin(), shared.end());
  std::erase_if(directories, [](const std::string& directory) {
    return directory.find(';') != std::string::npos || !fitsPathBuffer(directory);
  });
  return directories;
}

void setUserDataDirectory(const std::string& directory) { userDirectory() = directory; }

std::string userDataDirectory() { return userDirectory(); }

void setSharedDataDirectories(std::vector<std::string> directories) {
  for (std::string& directory : directories) directory = comparableDirectory(directory);
  sharedDirectories() = std::move(directories);
}

bool prepareToChange(const char* name) {
  if (name == nullptr || bareFileName(name).empty()) return false;
  for (const std::string& directory : dataPathDirectories()) {
    const std::string path = setDirectory(name, directory);
    if (!fitsPathBuffer(path)) continue;
    const std::string found = resolveLetterCase(path);
    if (!isRegularFile(found)) continue;
    if (isDirReadOnly(path.c_str()) == 0) return true;
    if (userDirectory().empty() || !ensureUserDirectory()) return false;
    // Copied under a temporary name and renamed into place once whole: the data path never
    // finds half a copy.
    const std::string target = setDirectory(std::string_view(found), userDirectory());
    const std::string partial = target + ".copying";
    namespace fs = std::filesystem;
    std::error_code error;
    fs::copy_file(found, partial, fs::copy_options::overwrite_existing, error);
    if (!error) {
      fs::permissions(partial, fs::perms::owner_read | fs::perms::owner_write,
                      fs::perm_options::add, error);
    }
    if (!error) fs::rename(partial, target, error);
    if (error) fs::remove(partial, error);
    return isRegularFile(target) && isDirReadOnly(target.c_str()) == 0;
  }
  return true;
}

std::FILE* _fopen(const char* name, const char* mode) {
  if (name == nullptr || mode == nullptr) return nullptr;
  auto& slots = openFiles();
  for (OpenFileSlot& slot : slots) {
    if (slot.users > 0 && equalIgnoringCase(slot.name, name) &&
        equalIgnoringCase(slot.mode, mode)) {
      ++slot.users;
      std::fseek(slot.stream, 0, SEEK_SET);
      return slot.stream;
    }
  }
  OpenFileSlot* freeSlot = nullptr;
  for (OpenFileSlot& slot : slots) {
    if (slot.users <= 0) {
      freeSlot = &slot;
      break;
    }
  }
  if (freeSlot == nullptr) return nullptr;
  std::string nameCopy(name);
  std::string modeCopy(mode);
  std::FILE* stream = openOnDataPath(name, mode);
  if (stream == nullptr) return nullptr;
  struct stat info {};
  fstat(fileno(stream), &info);
  *freeSlot =
      OpenFileSlot{stream, std::move(nameCopy), std::move(modeCopy), 1, info.st_dev, info.st_ino};
  return stream;
}

std::FILE* openForUpdate(const char* name, bool& readOnly) {
  readOnly = false;
  if (std::FILE* stream = _fopen(name, "r+b")) return stream;
  std::FILE* reading = _fopen(name, "rb");
  if (reading == nullptr) return nullptr;
  if (std::FILE* stream = _fopen(name, "r+b")) {
    _fclose(reading);
    return stream;
  }
  readOnly = true;
  return reading;
}

void _fclose(std::FILE* stream) {
  if (stream == nullptr) return;
  for (OpenFileSlot& slot : openFiles()) {
    if (slot.users > 0 && slot.stream == stream) {
      if (--slot.users <= 0) {
        std::fclose(slot.stream);
        slot = OpenFileSlot{};
      }
      return;
    }
  }
}

int sharedStreamUsers(std::FILE* stream) {
  if (stream == nullptr) return 0;
  for (const OpenFileSlot& slot : openFiles()) {
    if (slot.users > 0 && slot.stream == stream) return slot.users;
  }
  return 0;
}

int flush(std::FILE* stream) {
  // A null stream would make fflush flush every stream: not what a caller of this meant.
  if (stream == nullptr) return -1;
  const bool flushed = std::fflush(stream) == 0;
  const int descriptor = fileno(stream);
  const bool committed = descriptor >= 0 && fsync(descriptor) == 0;
  return flushed && committed ? 0 : -1;
}

int createSharedFile(const char* path) {
  if (path == nullptr) {
    errno = EINVAL;
    return -1;
  }
  return ::open(resolveLetterCase(path).c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0666);
}

int openSharedFile(const char* path) {
  if (path == nullptr) {
    errno = EINVAL;
    return -1;
  }
  return ::open(resolveLetterCase(path).c_str(), O_RDWR | O_CLOEXEC);
}

namespace {

std::chrono::milliseconds& configuredLockWait() {
  static std::chrono::milliseconds wait{5000};
  return wait;
}

// The locks this process holds, per file: fcntl locks belong to the process and do not nest, so
// the counts decide when the file's lock really changes.
struct HeldLock {
  dev_t device = 0;
  ino_t inode = 0;
  int shared = 0;
  int exclusive = 0;
  short type() const {
    return exclusive > 0 ? static_cast<short>(F_WRLCK)
           : shared > 0  ? static_cast<short>(F_RDLCK)
                         : static_cast<short>(F_UNLCK);
  }
};

std::vector<HeldLock>& heldLocks() {
  static std::vector<HeldLock> locks;
  return locks;
}

// The entry of the stream's file. A shared stream's identity was noted when it was opened,
// which spares the store operations a system call on every lock.
HeldLock* findHeld(std::FILE* stream) {
  struct stat info {};
  const auto& slots = openFiles();
  const auto slot = std::find_if(slots.begin(), slots.end(), [&](const OpenFileSlot& s) {
    return s.users > 0 && s.stream == stream;
  });
  if (slot != slots.end()) {
    info.st_dev = slot->device;
    info.st_ino = slot->inode;
  } else if (fstat(fileno(stream), &info) != 0) {
    return nullptr;
  }
  auto& locks = heldLocks();
  for (HeldLock& held : locks)
    if (held.device == info.st_dev && held.inode == info.st_ino) return &held;
  locks.push_back(HeldLock{info.st_dev, info.st_ino});
  return &locks.back();
}

void forgetIfFree(HeldLock* held) {
  if (held->type() != F_UNLCK) return;
  auto& locks = heldLocks();
  locks.erase(locks.begin() + (held - locks.data()));
}

int setFirstByteLock(int descriptor, short type) {
  struct flock firstByte {};
  firstByte.l_type = type;
  firstByte.l_whence = SEEK_SET;
  firstByte.l_start = 0;
  firstByte.l_len = 1;
  return fcntl(descriptor, F_SETLK, &firstByte);
}

// Tries the lock until it is had or the wait is over. The pauses grow from about 1 ms to about
// 16 ms and are jittered, so that programs waiting together do not keep colliding.
LockOutcome waitForLock(int descriptor, short type, std::chrono::milliseconds wait) {
  using namespace std::chrono;
  static std::minstd_rand jitter(
      static_cast<unsigned>(getpid()) ^
      static_cast<unsigned>(steady_clock::now().time_since_epoch().count()));
  const auto deadline = steady_clock::now() + wait;
  microseconds pause{1000};
  for (;;) {
    if (setFirstByteLock(descriptor, type) == 0) return LockOutcome::held;
    if (errno == EINTR) continue;
    if (errno == ENOLCK || errno == EINVAL || errno == EOPNOTSUPP) return LockOutcome::unsupported;
    if (errno != EACCES && errno != EAGAIN) return LockOutcome::failed;
    const auto now = steady_clock::now();
    if (now >= deadline) return LockOutcome::busy;
    const microseconds jittered{pause.count() / 2 +
                                static_cast<long>(jitter() % static_cast<unsigned>(pause.count()))};
    std::this_thread::sleep_for(std::min<steady_clock::duration>(jittered, deadline - now));
    pause = std::min(pause * 2, microseconds{16000});
  }
}

}  // namespace

int lockFile(int handle) {
  for (int attempt = 0; attempt < 5; ++attempt) {
    if (setFirstByteLock(handle, F_WRLCK) == 0) return 1;
    // Only a lock held elsewhere can go away by waiting; a bad handle never will.
    if (errno != EACCES && errno != EAGAIN) return 0;
    delaySeconds(1);
  }
  return 0;
}

int unlockFile(int handle) { return setFirstByteLock(handle, F_UNLCK) == 0 ? 0 : -1; }

void setLockWait(std::chrono::milliseconds wait) {
  configuredLockWait() = std::max(wait, std::chrono::milliseconds{0});
}

std::chrono::milliseconds lockWait() { return configuredLockWait(); }

LockOutcome lockStream(std::FILE* stream, LockKind kind) {
  return lockStream(stream, kind, configuredLockWait());
}

LockOutcome lockStream(std::FILE* stream, LockKind kind, std::chrono::milliseconds wait) {
  const int descriptor = stream != nullptr ? fileno(stream) : -1;
  HeldLock* held = descriptor >= 0 ? findHeld(stream) : nullptr;
  if (held == nullptr) return LockOutcome::failed;
  HeldLock wanted = *held;
  (kind == LockKind::exclusive ? wanted.exclusive : wanted.shared)++;
  if (wanted.type() != held->type()) {
    const LockOutcome outcome = waitForLock(descriptor, wanted.type(), wait);
    if (outcome != LockOutcome::held) {
      forgetIfFree(held);
      return outcome;
    }
  }
  *held = wanted;
  return LockOutcome::held;
}

void unlockStream(std::FILE* stream, LockKind kind) {
  const int descriptor = stream != nullptr ? fileno(stream) : -1;
  HeldLock* held = descriptor >= 0 ? findHeld(stream) : nullptr;
  if (held == nullptr) return;
  const short before = held->type();
  int& count = kind == LockKind::exclusive ? held->exclusive : held->shared;
  if (count > 0) --count;
  // Going down (to shared, or to none) never has to wait.
  if (held->type() != before) setFirstByteLock(descriptor, held->type());
  forgetIfFree(held);
}

StreamLock::StreamLock(std::FILE* stream, LockKind kind)
    : stream_(stream), kind_(kind), outcome_(lockStream(stream, kind)) {}

StreamLock::StreamLock(std::FILE* stream, LockKind kind, std::chrono::milliseconds wait)
    : stream_(stream), kind_(kind), outcome_(lockStream(stream, kind, wait)) {}

StreamLock::~StreamLock() {
  if (outcome_ == LockOutcome::held) unlockStream(stream_, kind_);
}

StreamLock::StreamLock(StreamLock&& other) noexcept
    : stream_(other.stream_), kind_(other.kind_), outcome_(other.outcome_) {
  other.outcome_ = LockOutcome::failed;
}

StreamLock& StreamLock::operator=(StreamLock&& other) noexcept {
  if (this != &other) {
    if (outcome_ == LockOutcome::held) unlockStream(stream_, kind_);
    stream_ = other.stream_;
    kind_ = other.kind_;
    outcome_ = other.outcome_;
    other.outcome_ = LockOutcome::failed;
  }
  return *this;
}

std::string changeRefusedMessage(std::string_view fileName) {
  return std::string(fileName) + " is being changed by another program; try again.";
}

void syncDirectory(const std::string& directory) {
  const int descriptor = ::open(directory.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (descriptor < 0) return;
  ::fsync(descriptor);
  ::close(descriptor);
}

bool renameDurably(const std::string& from, const std::string& to) {
  if (std::rename(from.c_str(), to.c_str()) != 0) return false;
  const std::size_t slash = to.rfind('/');
  syncDirectory(slash == std::string::npos ? "." : slash == 0 ? "/" : to.substr(0, slash));
  return true;
}

std::FILE* _tmpfile() {
  if (std::FILE* anonymous = std::tmpfile()) return anonymous;
  const char* directory = std::getenv("TEMP");
  if (directory == nullptr) directory = std::getenv("TMP");
  if (directory == nullptr) directory = std::getenv("TMPNAME");
  if (directory == nullptr) directory = ".";
  // This fallback file stays behind when closed; it is reused (truncated) the next time.
  const std::string path = std::string(directory) + "/deleteme.dat";
  if (!fitsPathBuffer(path)) return nullptr;
  return std::fopen(path.c_str(), "w+b");
}

std::string_view bareFileName(std::string_view path) {
  const std::size_t separator = path.find_last_of("/\\");
  return separator == std::string_view::npos ? path : path.substr(separator + 1);
}

std::string changeExtension(std::string_view path, std::string_view extension) {
  const std::string_view bare = bareFileName(path);
  const std::string_view directory = path.substr(0, path.size() - bare.size());
  const std::size_t dot = bare.rfind('.');
  std::string result(directory);
  result.append(bare.substr(0, dot));
  if (!extension.empty()) {
    if (extension.front() != '.') result.push_back('.');
    result.append(extension);
  }
  return result;
}

std::string setDirectory(std::string_view path, std::string_view directory) {
  std::string result(directory);
  if (!result.empty() && result.back() != '/') result.push_back('/');
  result.append(bareFileName(path));
  return result;
}

std::string setFileName(std::string_view path, std::string_view fileName) {
  std::string result(path.substr(0, path.size() - bareFileName(path).size()));
  result.append(fileName);
  return result;
}

std::string changeExtension(const char* path, const char* extension) {
  return changeExtension(std::string_view(path), std::string_view(extension));
}

std::string setDirectory(const char* path, const char* directory) {
  return setDirectory(std::string_view(path), std::string_view(directory));
}

std::string setFileName(const char* path, const char* fileName) {
  return setFileName(std::string_view(path), std::string_view(fileName));
}

char* changeExtension(char* path, const char* extension) {
  return storeInPathBuffer(path,
                           changeExtension(std::string_view(path), std::string_view(extension)));
}

char* setDirectory(char* path, const char* directory) {
  return storeInPathBuffer(path, setDirectory(std::string_view(path), std::string_view(directory)));
}

char* setFileName(char* path, const char* fileName) {
  return storeInPathBuffer(path, setFileName(std::string_view(path), std::string_view(fileName)));
}

int fileExists(const char* path) {
  if (path == nullptr || *path == '\0') return 0;
  const DirectoryAndEntry parts = splitAtLastSlash(path);
  if (parts.entry.empty()) return 0;
  if (!hasWildcards(parts.entry) && isRegularFile(path)) return 1;
  const std::string prefix = std::strchr(path, '/') != nullptr ? parts.directory + "/" : "";
  bool found = false;
  forEachEntry(parts.directory, [&](std::string_view name) {
    found = listingMatch(parts.entry, name) && isRegularFile(prefix + std::string(name));
    return found;
  });
  return found ? 1 : 0;
}

int isDirReadOnly(const char* path) {
  if (path != nullptr && isSharedDirectory(directoryOf(path))) return 1;
  const std::string probe = setFileName(path != nullptr ? path : "", "deleteme.tmp");
  if (!fitsPathBuffer(probe)) return 1;
  std::FILE* file = std::fopen(probe.c_str(), "w");
  if (file == nullptr) return 1;
  std::fclose(file);
  std::remove(probe.c_str());
  return 0;
}

std::string firstOpticalMount(std::string_view mountTable) {
  while (!mountTable.empty()) {
    const std::size_t end = mountTable.find('\n');
    std::string_view line = mountTable.substr(0, end);
    mountTable.remove_prefix(end == std::string_view::npos ? mountTable.size() : end + 1);

    // Fields: device, mount point, file-system type, options, ...
    std::array<std::string_view, 3> fields;
    std::size_t count = 0;
    while (count < fields.size() && !line.empty()) {
      const std::size_t start = line.find_first_not_of(" \t");
      if (start == std::string_view::npos) break;
      line.remove_prefix(start);
      const std::size_t stop = line.find_first_of(" \t");
      fields[count++] = line.substr(0, stop);
      line.remove_prefix(stop == std::string_view::npos ? line.size() : stop);
    }
    if (count < 3 || (fields[2] != "iso9660" && fields[2] != "udf")) continue;
    // A drive with no disc in it (or one that cannot be read) lists nothing: pass it over.
    const std::string mountPoint = decodeMountField(fields[1]);
    bool hasEntry = false;
    forEachEntry(mountPoint, [&](std::string_view) { return hasEntry = true; });
    if (hasEntry) return mountPoint;
  }
  return {};
}

char* findCdromDataDrive(char* buffer) {
  // The mount table is a pseudo-file with no size of its own: read it to a fixed cap.
  constexpr std::size_t kMountTableLimit = 1 << 20;
  std::FILE* table = std::fopen("/proc/self/mounts", "r");
  if (table == nullptr) return nullptr;
  std::string text;
  std::array<char, 4096> chunk;
  std::size_t got = 0;
  while (text.size() < kMountTableLimit &&
         (got = std::fread(chunk.data(), 1, chunk.size(), table)) > 0) {
    text.append(chunk.data(), got);
  }
  std::fclose(table);
  const std::string mountPoint = firstOpticalMount(text);
  if (mountPoint.empty()) return nullptr;
  return storeInPathBuffer(buffer, mountPoint);
}

void delaySeconds(int seconds) {
  // The target is a whole second of the tick count, so the wait is between n-1 and n seconds.
  using std::chrono::duration_cast;
  const auto elapsed =
      duration_cast<std::chrono::seconds>(std::chrono::steady_clock::now() - processStart);
  const auto target = processStart + elapsed + std::chrono::seconds(seconds);
  std::this_thread::sleep_until(target);
}

}  // namespace vellum
