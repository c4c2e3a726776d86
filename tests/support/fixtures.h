// Test helpers shared by every test: scratch directories, handles that close themselves, file
// damage, program runners, store readers, and fixture modules built at test time by the
// importer's own writer, so a test always reads a module laid out as the importer writes it.
#pragma once

#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <functional>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "engine/bible/bible.h"
#include "engine/stores/dict.h"
#include "engine/stores/lexicon.h"
#include "engine/stores/notes.h"
#include "support/files.h"

namespace vellum::test {

// A fresh directory under the system's temporary directory, removed with all it holds when the
// object goes. The data path is not touched.
class TempDir {
 public:
  TempDir();
  ~TempDir();
  TempDir(const TempDir&) = delete;
  TempDir& operator=(const TempDir&) = delete;
  const std::filesystem::path& path() const { return path_; }
  std::string file(const std::string& name) const { return (path_ / name).string(); }

 private:
  std::filesystem::path path_;
};

// Handles that close themselves.
template <auto close>
struct Closer {
  void operator()(auto* handle) const { close(handle); }
};
using Module = std::unique_ptr<BibleHandle, Closer<closeBible>>;
using Dict = std::unique_ptr<DictHandle, Closer<deinit_dict>>;
using Lexicon = std::unique_ptr<LexiconHandle, Closer<deinitLexicon>>;
using Notes = std::unique_ptr<NotesHandle, Closer<VNClose>>;

// A whole file's bytes ("" when it cannot be read), and a file made to hold exactly these bytes.
std::string readFile(const std::filesystem::path& path);
void writeFile(const std::filesystem::path& path, std::string_view bytes);

// Writes path as good with one fault at offset: width 4 or 2 sets the little-endian field there
// to value, width 1 flips value bytes (each XOR 0xFF), width 0 cuts the file there.
void damage(const std::filesystem::path& path, std::string good, std::uint64_t offset,
            std::uint32_t value, int width);
// The file in place with count bytes from offset flipped; check(length) run with the file cut
// to each length short of its size, the whole file put back after the last.
void corrupt(const std::filesystem::path& path, std::uint64_t offset, std::uint32_t count = 1);
void everyCut(const std::filesystem::path& path, const std::function<void(std::size_t)>& check);

// A string quoted for the shell.
std::string shellQuote(std::string_view text);

// What a program or command run by runProgram or runCommand did.
struct Ran {
  int exitCode = -1;  // -1 when it did not exit normally
  std::string out;
  std::string err;
};
// Runs program with arguments (already quoted for the shell), its XDG_DATA_HOME and
// XDG_DATA_DIRS scratch's "home" and "shared".
Ran runProgram(const std::string& program, const std::string& arguments, const TempDir& scratch);
// Runs a command of the tools in-process, a function writing to out and err.
Ran runCommand(const std::function<int(std::ostream& out, std::ostream& err)>& command);

// Sets the data path to dir and opens fileName there; null when it cannot be opened (why, when
// given, says why). The data path stays set to dir.
Module openModule(const std::filesystem::path& dir, const std::string& fileName,
                  std::string* why = nullptr);

// The text of a verse (numbered over the module) as getVerse gives it, or of its chapter.
std::string textOf(BibleHandle* module, std::uint16_t verse, bool chapter = false);

// Builds dir/fileName from VPL text (BOOK<TAB>CHAPTER<TAB>VERSE<TAB>TEXT lines) with the
// importer's writer; a build error fails the calling test. Returns the module's full path.
std::string buildModule(const std::filesystem::path& dir, const std::string& fileName,
                        const std::string& displayName, const std::string& vplText);

// VPL text of the 66 books in the King James versification (tests/data/kjv-versification.txt),
// all 31102 verses. The name "King James Version" turns on Strong's numbers, so generated text
// holds no digits. Verse n (0-based over the module) of book B reads
//   NAME saith W1.              when n % 3 is 0 or 1
//   NAME saith W1, and W2.      when n % 3 == 2
// where NAME is B's name without words holding a digit ("1 Samuel" gives "Samuel", "Song of
// Solomon" stays), W1 = V[n % 10], W2 = V[(n / 3) % 10] and V is the rotating vocabulary
//   0 love, 1 Love, 2 LOVE, 3 loved, 4 glove, 5 live, 6 seeth, 7 teeth, 8 Lord's, 9 Beth-el.
// So Genesis 1:2 (n = 1) reads "Genesis saith Love." and Genesis 1:3 (n = 2) "Genesis saith LOVE,
// and love.". Two verses carry real text instead: Genesis 1:1 "In the beginning 7225 God 430
// created 1254 the heaven 8064 and 853 the earth. 776" and John 3:16 as in
// samples/kjv-sample.vpl ("For 1063 God 2316 so 3779 loved 25 the world, 2889 ...").
std::string kjvVersificationVpl();
// Builds the 66-book fixture as dir/kjv.bib named "King James Version".
std::string buildKjvFixture(const std::filesystem::path& dir);

// Another program holding a lock on a file: a child process that takes the fcntl lock on the
// file's first byte (the stores' lock and lockFile's) and keeps it until the object goes.
class ForeignLock {
 public:
  ForeignLock(const std::string& path, LockKind kind);
  ~ForeignLock();
  ForeignLock(const ForeignLock&) = delete;
  ForeignLock& operator=(const ForeignLock&) = delete;
  bool held() const { return held_; }  // the child has the lock

 private:
  int child_ = -1;
  int release_ = -1;  // the child lets go when this pipe closes
  bool held_ = false;
};

// What the stores hold, as a test reads it; "<none>" when nothing is found. The text getters
// check that they wrote nothing past size bytes and that the length they gave is the text's.
std::string itemText(DictHandle* store, const std::string& name, std::uint16_t size = 65535);
std::string itemBytes(DictHandle* store, const std::string& name);  // find_binary_item
std::vector<std::string> itemNames(DictHandle* store);              // get_item_list
std::string noteText(NotesHandle* notes, std::uint16_t verse, std::uint16_t size = 32767);

// Makes a directory one where no file can be created, for root too (the immutable attribute
// where the file system has it, else the permissions), until the object goes.
class UnwritableDirectory {
 public:
  explicit UnwritableDirectory(const std::filesystem::path& path);
  ~UnwritableDirectory();
  UnwritableDirectory(const UnwritableDirectory&) = delete;
  UnwritableDirectory& operator=(const UnwritableDirectory&) = delete;
  bool effective() const;  // the data path's own check finds the directory read-only

 private:
  std::filesystem::path path_;
  int fd_ = -1;
  int originalFlags_ = 0;
  bool immutable_ = false;
};

}  // namespace vellum::test
