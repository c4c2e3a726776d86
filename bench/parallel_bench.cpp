// The parallel view on the data set: opening a view of four translations at a chapter (each
// module opened, the chapter read in each, the rows laid out and painted) and stepping to the
// next chapter (read, laid out, painted). Four translations: the King James Version, the World
// English Bible, the Reina-Valera 1909 and the King James Version again in a fourth column.
// Runs on Qt's offscreen platform at 1200 by 800 pixels, on links to the modules in a scratch
// directory, so the highlight stores a view opens are made there and not beside the data.
#include <benchmark/benchmark.h>

#include <QApplication>
#include <QImage>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <vector>

#include "app/windows/parallel.h"
#include "engine/bible/bible.h"
#include "support/files.h"

namespace fs = std::filesystem;
using vellum::bibleName;
using vellum::Reference;
using vellum::ui::TParallelView;

namespace {

std::vector<bibleName> translations() {
  std::vector<bibleName> bibles;
  for (const char* file : {"kjv.bib", "web.bib", "sparv.bib", "kjv.bib"}) {
    bibleName name{};
    std::strcpy(name.path, file);
    bibles.push_back(name);
  }
  return bibles;
}

bool haveData(benchmark::State& state) {
  for (const char* file : {"kjv.bib", "web.bib", "sparv.bib"})
    if (!fs::exists(fs::path(VELLUM_DATA_DIR) / file)) {
      state.SkipWithError("the data set is missing: run scripts/prepare-data.sh first");
      return false;
    }
  return true;
}

// What the user waits for: the view's pixels, painted.
void paint(TParallelView& view) {
  QImage image(view.size(), QImage::Format_RGB32);
  view.render(&image);
  benchmark::DoNotOptimize(image.bits());
}

// John 3 to start with, as people compare it; Psalm 119, the longest chapter, as the worst case.
void BM_OpenAtChapter(benchmark::State& state) {
  if (!haveData(state)) return;
  const Reference at{static_cast<std::uint8_t>(state.range(0)),
                     static_cast<std::uint8_t>(state.range(1)), 1};
  for (auto _ : state) {
    TParallelView view(translations());
    view.resize(1200, 800);
    view.show();
    view.showReference(at);
    paint(view);
  }
}
BENCHMARK(BM_OpenAtChapter)->Args({42, 3})->Args({18, 119})->Unit(benchmark::kMillisecond);

void BM_NextChapter(benchmark::State& state) {
  if (!haveData(state)) return;
  TParallelView view(translations());
  view.resize(1200, 800);
  view.show();
  Reference at{42, 1, 1};
  view.showReference(at);
  for (auto _ : state) {
    if (!vellum::nextChapter(&at, view.module(0))) at = Reference{0, 1, 1};
    view.showReference(at);
    paint(view);
  }
}
BENCHMARK(BM_NextChapter)->Unit(benchmark::kMillisecond);

}  // namespace

int main(int argc, char** argv) {
  if (!qEnvironmentVariableIsSet("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
  QApplication app(argc, argv);
  vellum::initBibleModule();
  std::string pattern = (fs::temp_directory_path() / "vellum-parallel-XXXXXX").string();
  const fs::path scratch = ::mkdtemp(pattern.data());
  for (const char* file : {"kjv.bib", "web.bib", "sparv.bib"})
    if (fs::exists(fs::path(VELLUM_DATA_DIR) / file))
      fs::create_symlink(fs::path(VELLUM_DATA_DIR) / file, scratch / file);
  vellum::set_dpath(scratch.c_str());
  benchmark::Initialize(&argc, argv);
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  std::error_code ignored;
  fs::remove_all(scratch, ignored);
  return 0;
}
