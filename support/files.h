// Data files: the data path, shared streams, locking and path helpers.
//
// Every data file (modules, stores, the lexicon, notes, highlights) is opened by its bare name
// through _fopen, which looks for it along the data path and hands the same stream to every
// caller asking for the same name in the same mode (both compared ignoring letter case). Since
// a stream is shared, no caller may assume it is still where it left it: seek before every read
// and write.
//
// Paths use '/'; when a bare name is taken from a path, both '/' and '\' separate
// directories. A directory that holds no file of exactly the asked name accepts one whose name
// differs only in letter case. Path buffers hold kPathMax bytes; a path is never cut silently:
// a result that would not fit is refused (null, -1 or false as the function says).
//
// All state is process-wide and used from one thread only.
#pragma once

#include <chrono>
#include <climits>
#include <cstdio>
#include <string>
#include <string_view>
#include <vector>

namespace vellum {

inline constexpr std::size_t kPathMax = PATH_MAX;  // bytes of a path buffer, terminator included
inline constexpr int kOpenFileSlots = 50;          // streams open through _fopen at once

// Sets the data path: directories separated by ';', searched left to right; empty items are
// skipped; "." and "./" mean the current directory. The initial path is ".".
void set_dpath(const char* path);
// The data path as set (for module discovery and messages).
std::string get_dpath();
// The data path split into its directories, in search order, empty items left out.
std::vector<std::string> dataPathDirectories();

// Where an installed program keeps its data, after its own directory and before the directories
// of its command line:
//   $XDG_DATA_HOME/vellum (default ~/.local/share/vellum): the user's own stores;
//   vellum under each of $XDG_DATA_DIRS (default /usr/local/share:/usr/share): shared data sets;
//   share/vellum/data of the installation the program belongs to (PREFIX/bin/../share/...).
// Relative XDG directories are ignored, as the XDG base directory rules ask.
std::string xdgUserDataDirectory();
std::vector<std::string> xdgSharedDataDirectories();
// The directory of the running program's file (symbolic links resolved), or empty.
std::string executableDirectory();
// Makes the directories above the program's: the user data directory becomes the one where
// stores are made (setUserDataDirectory) and the shared ones, with the installation's, are
// never written (setSharedDataDirectories). Returns them in search order, the user's first,
// for the caller's data path; directories whose names hold ';' cannot be on it and are left out.
std::vector<std::string> setStandardDataDirectories(const std::string& programDirectory);

// The directory where files opened through _fopen with a mode that creates them ("w...") are
// made, created when first needed, and where prepareToChange copies stores. Empty, the
// initial value, leaves a new file to the first writable directory of the data path.
void setUserDataDirectory(const std::string& directory);
std::string userDataDirectory();
// Data directories never written, though the process might be able to (a data set installed
// for every user): isDirReadOnly reports them read-only, without probing them.
void setSharedDataDirectories(std::vector<std::string> directories);

// Called before a store changes: when the first data-path directory holding the file is
// read-only or shared, copies the file into the user data directory, where the data path finds
// it before any shared directory and every update opens it from then on. True when the file
// can now change (or is in no directory, so that a change creates it); false when it is in a
// read-only directory and no user data directory is set or the copy failed (nothing is left
// half-copied).
bool prepareToChange(const char* name);

// Opens a data file by its bare name along the data path, sharing one stream per name and mode.
// A shared stream comes back rewound to offset 0. Modes with '+' skip directories where no
// file can be created. Returns null when no directory holds the file, or all 50 slots are used.
// With a user data directory set, a mode that creates ("w...") opens there and nowhere else.
std::FILE* _fopen(const char* name, const char* mode);
// Opens a store by its bare name along the data path for update ("r+b"), else for reading only
// ("rb", with readOnly set); null when no directory holds it. Another program may put a new
// file in place between the two opens, so a file found for reading is tried for update again.
std::FILE* openForUpdate(const char* name, bool& readOnly);
// Releases one use of a stream from _fopen; the last use closes it. Other streams are ignored.
void _fclose(std::FILE* stream);
// How many users hold a stream from _fopen (0 for a stream it did not open).
int sharedStreamUsers(std::FILE* stream);

// Flushes the stream's buffer and commits the file to disk (fsync). Returns 0, or -1 when
// either step failed (a store must know when its write did not land).
int flush(std::FILE* stream);

// Low-level shared handles: open read/write (creating with mode 0666 before umask, or only an
// existing file); -1 with errno set on failure.
int createSharedFile(const char* path);
int openSharedFile(const char* path);
// Advisory lock on the file's first byte: 1 when held, 0 after five attempts a second apart.
int lockFile(int handle);
// Releases that lock: 0, or -1 on failure.
int unlockFile(int handle);

// Locks between programs on a data file. A store is changed under an exclusive lock on its file
// and read under a shared one, so two programs never interleave their changes and a reader
// never sees half of one. They are fcntl record locks on the file's first byte, the byte
// lockFile takes, and like every fcntl lock they belong to the process:
// - Within the process they nest: a lock asked for while the process already holds one at
//   least as strong on the same file (through any stream of it) only counts, so an operation
//   can run inside a caller's longer change. An exclusive lock asked for under a shared one
//   upgrades it until released.
// - Closing any stream of the file drops the process's locks on it: no stream of a locked file
//   may be closed while the lock is held. A child made by fork holds none of them.
enum class LockKind { shared, exclusive };
enum class LockOutcome {
  held,         // the process holds the lock: release it with unlockStream
  busy,         // another program held the file throughout the wait
  unsupported,  // the file system keeps no locks: nothing is held, nothing to release
  failed,       // the stream cannot take this lock (an exclusive one on a read-only stream)
};

// How long a lock waits for other programs before it gives up: 5 seconds unless set (the
// tests shorten it). The wait is a series of tries a few milliseconds apart.
void setLockWait(std::chrono::milliseconds wait);
std::chrono::milliseconds lockWait();

// Takes the lock, waiting up to lockWait() (or the wait given) for other programs.
LockOutcome lockStream(std::FILE* stream, LockKind kind);
LockOutcome lockStream(std::FILE* stream, LockKind kind, std::chrono::milliseconds wait);
// Releases a lock that lockStream reported held.
void unlockStream(std::FILE* stream, LockKind kind);

// Holds a lock from lockStream for its lifetime. The stream must stay open while it does.
class StreamLock {
 public:
  StreamLock() = default;
  StreamLock(std::FILE* stream, LockKind kind);
  StreamLock(std::FILE* stream, LockKind kind, std::chrono::milliseconds wait);
  ~StreamLock();
  StreamLock(StreamLock&& other) noexcept;
  StreamLock& operator=(StreamLock&& other) noexcept;
  StreamLock(const StreamLock&) = delete;
  StreamLock& operator=(const StreamLock&) = delete;

  LockOutcome outcome() const { return outcome_; }
  // A change may go on: the lock is held, or the file system keeps none.
  bool allowsChange() const {
    return outcome_ == LockOutcome::held || outcome_ == LockOutcome::unsupported;
  }

 private:
  std::FILE* stream_ = nullptr;
  LockKind kind_ = LockKind::shared;
  LockOutcome outcome_ = LockOutcome::failed;
};

// What a program shows when a change was refused because another program held the file:
// "<fileName> is being changed by another program; try again."
std::string changeRefusedMessage(std::string_view fileName);

// Renames a finished file into place and commits the rename to disk (the directory holding
// `to` is synced), so that after a crash the name holds either the old file or the new one.
// False, with errno set, when the rename failed.
bool renameDurably(const std::string& from, const std::string& to);
// Commits the entries of a directory (renames and new files in it) to disk.
void syncDirectory(const std::string& directory);

// A stream open for update on an anonymous temporary file, removed when closed; or null.
std::FILE* _tmpfile();

// Path helpers on a caller's buffer of kPathMax bytes; each returns the buffer, or null (buffer
// unchanged) when the result would not fit.
char* changeExtension(char* path, const char* extension);  // extension with or without its dot
char* setDirectory(char* path, const char* directory);     // directory + '/' + bare name
char* setFileName(char* path, const char* fileName);       // the path's directory + fileName
// The same on strings. The const char* forms exist so that a literal or a const text never
// binds to the in-place forms above (which compilers may otherwise pick for a literal).
std::string changeExtension(std::string_view path, std::string_view extension);
std::string setDirectory(std::string_view path, std::string_view directory);
std::string setFileName(std::string_view path, std::string_view fileName);
std::string changeExtension(const char* path, const char* extension);
std::string setDirectory(const char* path, const char* directory);
std::string setFileName(const char* path, const char* fileName);
// The bare file name of a path ('/' and '\' both separate directories).
std::string_view bareFileName(std::string_view path);

// Non-zero when at least one file matches the path (wildcards allowed in the name part).
int fileExists(const char* path);
// 1 when no file can be created in the directory of the given file path, 0 when one can.
int isDirReadOnly(const char* path);
// Fills buffer (kPathMax bytes) with the mount point of the first mounted optical file system
// (iso9660, udf) and returns it, or returns null when none is mounted.
char* findCdromDataDrive(char* buffer);
// The search behind it, on a mount table given as text (the format of /proc/self/mounts): the
// first iso9660 or udf mount point whose root lists at least one entry, or empty.
std::string firstOpticalMount(std::string_view mountTable);

// Returns after the given whole seconds have passed (between n-1 and n seconds).
void delaySeconds(int seconds);

}  // namespace vellum
