// Start-up of the reader as a whole process: from exec to the first chapter painted in its
// Bible window (the program quits there when VELLUM_QUIT_AFTER_FIRST_CHAPTER=1), on the
// imported King James Version in ./data. Reports the wall time and the peak resident memory.
//
// The program is started through a link named "vellum" inside a scratch directory that also
// links every data file, so the program's directory holds the data as an installed copy would.
#include <benchmark/benchmark.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <string>

namespace fs = std::filesystem;

namespace {

struct Scratch {
  fs::path dir;
  Scratch() {
    std::string pattern = (fs::temp_directory_path() / "vellum-startup-XXXXXX").string();
    dir = ::mkdtemp(pattern.data());
    fs::create_symlink(VELLUM_PROGRAM, dir / "vellum");
    // The shipped data only: the user's highlights, notes and options stay out of the timing.
    for (const auto& entry : fs::directory_iterator(VELLUM_DATA_DIR)) {
      const std::string extension = entry.path().extension().string();
      const bool shipped = extension == ".bib" || extension == ".lex" ||
                           (extension == ".dic" && entry.path().filename() != "options.dic");
      if (shipped && entry.is_regular_file())
        fs::create_symlink(entry.path(), dir / entry.path().filename());
    }
    fs::create_directories(dir / "config");
    fs::create_directories(dir / "runtime");
    fs::permissions(dir / "runtime", fs::perms::owner_all);
  }
  ~Scratch() {
    std::error_code ignored;
    fs::remove_all(dir, ignored);
  }
};

void BM_StartToFirstChapter(benchmark::State& state) {
  if (!fs::exists(fs::path(VELLUM_DATA_DIR) / "kjv.bib")) {
    state.SkipWithError("no data/kjv.bib: run scripts/prepare-data.sh first");
    return;
  }
  Scratch scratch;
  const std::string program = (scratch.dir / "vellum").string();
  long peakKb = 0;
  for (auto _ : state) {
    const auto start = std::chrono::steady_clock::now();
    pid_t child = ::fork();
    if (child == 0) {
      ::setenv("VELLUM_QUIT_AFTER_FIRST_CHAPTER", "1", 1);
      if (!std::getenv("DISPLAY")) ::setenv("QT_QPA_PLATFORM", "offscreen", 1);
      ::setenv("XDG_CONFIG_HOME", (scratch.dir / "config").c_str(), 1);
      ::setenv("XDG_RUNTIME_DIR", (scratch.dir / "runtime").c_str(), 1);
      ::execl(program.c_str(), program.c_str(), static_cast<char*>(nullptr));
      ::_exit(127);
    }
    int status = 0;
    rusage usage{};
    ::wait4(child, &status, 0, &usage);
    const auto elapsed = std::chrono::steady_clock::now() - start;
    state.SetIterationTime(std::chrono::duration<double>(elapsed).count());
    if (!WIFEXITED(status) || WEXITSTATUS(status) != 0) {
      state.SkipWithError("the program did not end normally");
      return;
    }
    peakKb = std::max(peakKb, usage.ru_maxrss);
  }
  state.counters["peak_MB"] = static_cast<double>(peakKb) / 1024.0;
}
BENCHMARK(BM_StartToFirstChapter)->UseManualTime()->Unit(benchmark::kMillisecond)->Iterations(10);

}  // namespace

BENCHMARK_MAIN();
