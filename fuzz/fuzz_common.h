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
#include <string>
#include <string_view>

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

// The text of a file of the source tree (path relative to its top), or "" when unreadable.
std::string readSourceFile(const std::string& relativePath);

// A small 32-bit hash of the input, for choosing the parameters of the operations of a run.
std::uint32_t mix(const std::uint8_t* data, std::size_t size);

}  // namespace vellum::fuzz
