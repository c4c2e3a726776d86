// Helpers shared by the fuzz targets: a scratch data directory per process and small file and
// module builders.
//
// The targets that take a whole file (a module, a store, a lexicon) write the input into the
// scratch directory and open it by its bare name along the data path, exactly as the programs
// do, so the run stays in-process. Every handle opened in a run is closed in that run, so no
// shared stream (support/files.h) outlives the file it was opened on.
#pragma once

#include <cstddef>
#include <cstdint>
#include <initializer_list>
#include <string>
#include <string_view>
#include <vector>

#include "tools/import/vpl.h"

namespace vellum {
struct BibleHandle;
struct DictHandle;
struct NotesHandle;
}  // namespace vellum

namespace vellum::fuzz {

// The process's scratch directory (on a memory file system when there is one, so the stores'
// commits to disk cost little), created on first use and set as the only data directory.
const std::string& scratchDir();

// Writes the bytes to scratchDir()/name, replacing the file; false when it cannot.
bool writeScratchFile(const std::string& name, const std::uint8_t* data, std::size_t size);
bool writeScratchFile(const std::string& name, std::string_view bytes);

// Builds scratchDir()/fileName from verse-per-line text with the importer's writer; aborts the
// process when that fails (a target cannot run without its module).
void buildScratchModule(const std::string& fileName, const std::string& displayName,
                        const std::string& vplText);

// Builds and opens "notes.bib", Ruth 1-2 of the sample text (two chapters, real verse counts),
// the module of the notes targets; aborts when that fails.
BibleHandle* openNotesModule();
// The module of the notes targets: openNotesModule's, made and opened at the first call and kept
// open for the process.
BibleHandle* notesModule();
// Reads a store of notesModule() as the reader shows it: the verses with notes of each chapter,
// every one of which must read back (else aborts), the chapters' listings and a phrase search.
// Returns the number of verses with notes.
int readNotesOfModule(NotesHandle* notes);

// Points the configuration directory ($XDG_CONFIG_HOME/vellum, where "VLMR20.INI" lives) into
// the scratch directory and creates it.
void useScratchConfigDirectory();

// The text with a carriage return before each line feed.
std::string withCrLf(std::string_view text);

// Aborts, naming what it found, when the scratch directory holds anything but the named files:
// an importer that refused its input must leave neither its output nor a temporary behind.
void expectOnlyScratchFiles(std::initializer_list<std::string_view> names);

// Opens the module scratchDir()/fileName by its bare name and aborts unless it holds exactly
// the verses the importer read, each as getVerse gives it back.
void expectModuleHolds(const std::string& fileName, const std::vector<import::VerseLine>& lines);

// A new, empty options store "options.dic" in the scratch directory, made as the reader makes
// it at its first start; aborts when that fails.
DictHandle* newOptionsStore();

// The text of a file of the source tree (path relative to its top), or "" when unreadable.
std::string readSourceFile(const std::string& relativePath);

// A small 32-bit hash of the input, for choosing the parameters of the operations of a run.
std::uint32_t mix(const std::uint8_t* data, std::size_t size);

}  // namespace vellum::fuzz
