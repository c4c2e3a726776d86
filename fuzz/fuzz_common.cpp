#include "fuzz/fuzz_common.h"

#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <sstream>
#include <vector>

#include "app/profile.h"
#include "engine/bible/bible.h"
#include "engine/search/verselist.h"
#include "engine/stores/dict.h"
#include "engine/stores/notes.h"
#include "support/files.h"
#include "tools/import/module_writer.h"
#include "tools/import/vpl.h"

namespace vellum::fuzz {

namespace fs = std::filesystem;

namespace {

std::string makeScratchDir() {
  std::error_code error;
  fs::path base =
      fs::is_directory("/dev/shm", error) ? fs::path("/dev/shm") : fs::temp_directory_path();
  fs::path dir = base / ("vellum-fuzz-" + std::to_string(getpid()));
  fs::remove_all(dir, error);
  fs::create_directories(dir, error);
  if (error) {
    std::fprintf(stderr, "cannot create the scratch directory %s\n", dir.c_str());
    std::abort();
  }
  return dir.string();
}

void removeScratchDir();

const std::string& scratchPath() {
  // Never destroyed: the exit handler that removes the directory still needs its name.
  static const std::string* dir = [] {
    auto* made = new std::string(makeScratchDir());
    std::atexit(removeScratchDir);
    return made;
  }();
  return *dir;
}

void removeScratchDir() {
  std::error_code error;
  fs::remove_all(scratchPath(), error);
}

}  // namespace

const std::string& scratchDir() {
  static const bool pathSet = [] {
    set_dpath(scratchPath().c_str());
    return true;
  }();
  (void)pathSet;
  return scratchPath();
}

bool writeScratchFile(const std::string& name, const std::uint8_t* data, std::size_t size) {
  std::FILE* out = std::fopen((scratchDir() + "/" + name).c_str(), "wb");
  if (out == nullptr) return false;
  const bool written = size == 0 || std::fwrite(data, 1, size, out) == size;
  return std::fclose(out) == 0 && written;
}

bool writeScratchFile(const std::string& name, std::string_view bytes) {
  return writeScratchFile(name, reinterpret_cast<const std::uint8_t*>(bytes.data()), bytes.size());
}

void buildScratchModule(const std::string& fileName, const std::string& displayName,
                        const std::string& vplText) {
  std::istringstream in(vplText);
  std::vector<import::VerseLine> lines;
  std::string error;
  if (!import::readVpl(in, lines, error) ||
      !import::writeModule(displayName, lines, scratchDir() + "/" + fileName, error)) {
    std::fprintf(stderr, "cannot build %s: %s\n", fileName.c_str(), error.c_str());
    std::abort();
  }
}

BibleHandle* openNotesModule() {
  const std::string sample = readSourceFile("samples/kjv-sample.vpl");
  std::size_t end = 0;
  for (int line = 0; line < 45 && end != std::string::npos; ++line)
    end = sample.find('\n', end + 1);
  buildScratchModule("notes.bib", "Notes Module",
                     end == std::string::npos ? sample : sample.substr(0, end + 1));
  bibleName name;
  std::snprintf(name.path, sizeof name.path, "notes.bib");
  BibleHandle* module = openBible(&name);
  if (module == nullptr) std::abort();
  return module;
}

BibleHandle* notesModule() {
  static BibleHandle* const module = [] {
    initBibleModule();
    return openNotesModule();
  }();
  return module;
}

int readNotesOfModule(NotesHandle* notes) {
  std::uint16_t list[kVerseListCapacity];
  std::uint16_t found = 0;
  static std::vector<char> text(32767);
  std::uint16_t length = 0;
  int withNotes = 0;
  for (std::uint8_t chapter = 1; chapter <= 2; ++chapter) {
    VNFindVersesWithNotes(list, &found, kVerseListCapacity, Reference{0, chapter, 1}, notes);
    withNotes += found;
    for (std::uint16_t i = 0; i < found; ++i)
      if (VNGetNoteByVerse(text.data(), &length, 32767, list[i], notes) == nullptr) std::abort();
  }
  VNGetNotesForChapter(text.data(), &length, 32767, "Ruth 1", notes);
  VNGetNotesForChapter(text.data(), &length, 40, "Ruth 2", notes);
  VNPhraseSearch(list, &found, 40, "the", notes);
  return withNotes;
}

void useScratchConfigDirectory() {
  setenv("XDG_CONFIG_HOME", scratchDir().c_str(), 1);
  fs::create_directories(profileDirectory());
}

std::string withCrLf(std::string_view text) {
  std::string out;
  for (char c : text) {
    if (c == '\n') out += '\r';
    out += c;
  }
  return out;
}

void expectOnlyScratchFiles(std::initializer_list<std::string_view> names) {
  for (const fs::directory_entry& entry : fs::directory_iterator(scratchDir())) {
    const std::string name = entry.path().filename().string();
    bool expected = false;
    for (std::string_view allowed : names) expected = expected || name == allowed;
    if (!expected) {
      std::fprintf(stderr, "left behind in the scratch directory: %s\n", name.c_str());
      std::abort();
    }
  }
}

void expectModuleHolds(const std::string& fileName, const std::vector<import::VerseLine>& lines) {
  bibleName name;
  std::snprintf(name.path, sizeof name.path, "%s", fileName.c_str());
  std::string why;
  BibleHandle* module = openBible(&name, &why);
  if (module == nullptr) {
    std::fprintf(stderr, "the module written does not open: %s\n", why.c_str());
    std::abort();
  }
  setStrongs(module, 1);
  static std::vector<char> text(32767);
  std::uint16_t length = 0;
  std::uint16_t verse = 0;
  for (const import::VerseLine& line : lines) {
    const std::string expected = line.book + " " + std::to_string(line.chapter) + ":" +
                                 std::to_string(line.verse) + " " + line.text;
    getVerse(text.data(), &length, static_cast<std::uint16_t>(text.size()), verse++, module);
    if (expected != std::string_view(text.data(), length)) {
      std::fprintf(stderr, "line %d reads back as \"%s\", not \"%s\"\n", line.line, text.data(),
                   expected.c_str());
      std::abort();
    }
  }
  closeBible(module);
}

DictHandle* newOptionsStore() {
  scratchDir();
  DictHandle* options = new_dict("options.dic", "Vellum Options", 241, 0);
  if (options == nullptr) std::abort();
  return options;
}

std::string readSourceFile(const std::string& relativePath) {
  std::ifstream in(std::string(VELLUM_SOURCE_ROOT) + "/" + relativePath, std::ios::binary);
  return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

std::uint32_t mix(const std::uint8_t* data, std::size_t size) {
  std::uint32_t hash = 2166136261u;
  for (std::size_t i = 0; i < size; ++i) hash = (hash ^ data[i]) * 16777619u;
  return hash;
}

}  // namespace vellum::fuzz
