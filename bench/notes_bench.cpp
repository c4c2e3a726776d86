// Verse notes: getting one note, searching every note of a store holding 2000 notes, and
// setting a note (each set commits to disk twice).
//
// The store is built once in a scratch directory from a generated module (two books of 25
// chapters of 50 verses), with a note of about 80 characters on 2000 of its 2500 verses and a
// second version on every tenth, so some reads follow a two-record chain.
#include <benchmark/benchmark.h>
#include <unistd.h>

#include <cstdio>
#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include "engine/bible/bible.h"
#include "engine/stores/notes.h"
#include "support/files.h"
#include "tools/import/module_writer.h"

namespace {

namespace fs = std::filesystem;
constexpr int kVerses = 2500;
constexpr int kNotes = 2000;

struct Store {
  fs::path directory;
  vellum::BibleHandle* module = nullptr;
  vellum::NotesHandle* notes = nullptr;

  Store() {
    directory = fs::temp_directory_path() / ("vellum-notes-bench-" + std::to_string(::getpid()));
    fs::create_directories(directory);
    std::vector<vellum::import::VerseLine> lines;
    for (const char* book : {"Genesis", "Exodus"})
      for (int chapter = 1; chapter <= 25; ++chapter)
        for (int verse = 1; verse <= 50; ++verse)
          lines.push_back({book, chapter, verse, "In the beginning was the word", 0});
    std::string error;
    if (!vellum::import::writeModule("Bench Bible", lines, (directory / "bench.bib").string(),
                                     error))
      std::fprintf(stderr, "notes_bench: %s\n", error.c_str());
    vellum::set_dpath(directory.c_str());
    vellum::bibleName name;
    std::snprintf(name.path, sizeof name.path, "bench.bib");
    module = vellum::openBible(&name);
    notes = vellum::VNOpen(module);
    for (int i = 0; i < kNotes; ++i) {
      const auto verse = static_cast<std::uint16_t>(i * kVerses / kNotes);
      const std::string text = "Note " + std::to_string(i) +
                               ": the shepherds kept watch over their flock by night; grace.";
      vellum::VNSetNoteByVerse(verse, text.c_str(), notes);
      if (i % 10 == 0) vellum::VNSetNoteByVerse(verse, (text + " Revised.").c_str(), notes);
    }
    vellum::VNSetNoteByVerse(kVerses - 1, "the good shepherd", notes);
  }
  ~Store() {
    vellum::VNClose(notes);
    vellum::closeBible(module);
    std::error_code ignored;
    fs::remove_all(directory, ignored);
  }
};

Store& store() {
  static Store instance;
  return instance;
}

void BM_GetNoteByVerse(benchmark::State& state) {
  Store& s = store();
  std::vector<char> buffer(32767);
  std::uint16_t length = 0;
  std::uint16_t verse = 0;
  for (auto _ : state) {
    benchmark::DoNotOptimize(
        vellum::VNGetNoteByVerse(buffer.data(), &length, 32767, verse, s.notes));
    verse = static_cast<std::uint16_t>((verse + 5) % kVerses);
  }
}
BENCHMARK(BM_GetNoteByVerse);

void BM_PhraseSearch(benchmark::State& state) {
  Store& s = store();
  std::vector<std::uint16_t> list(31201);
  std::uint16_t count = 0;
  // "shepherd" occurs only inside "shepherds" except in the last note, so every note is tested.
  for (auto _ : state) {
    vellum::VNPhraseSearch(list.data(), &count, 31200, "shepherd", s.notes);
    benchmark::DoNotOptimize(count);
  }
  state.counters["found"] = count;
}
BENCHMARK(BM_PhraseSearch)->Unit(benchmark::kMillisecond);

void BM_SetNote(benchmark::State& state) {
  Store& s = store();
  std::uint16_t verse = 0;
  for (auto _ : state) {
    benchmark::DoNotOptimize(
        vellum::VNSetNoteByVerse(verse, "A note of about forty characters, set.", s.notes));
    verse = static_cast<std::uint16_t>((verse + 7) % kVerses);
  }
  state.SetItemsProcessed(state.iterations());
}
BENCHMARK(BM_SetNote)->Unit(benchmark::kMicrosecond);

}  // namespace
