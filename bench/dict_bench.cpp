// Dictionary stores: lookups per second on the whole Easton's dictionary, hits and misses, and
// the cost of a change.
//
// The store (3961 articles, table size 1987) is built once in a scratch directory by the
// importer from the shared eastons.json. Hits cycle through every headword; misses look up
// names absent from the store, each walking its bucket's whole chain. Changes replace one
// option-sized item (284 bytes) of a small store of the options' shape, committed to disk
// each time (/1) or with the commits deferred (/0), which leaves the work of the change itself;
// BM_ChangeLock times the lock every change takes.
#include <benchmark/benchmark.h>
#include <unistd.h>

#include <cstdio>
#include <filesystem>
#include <iostream>
#include <sstream>
#include <string>
#include <vector>

#include "engine/stores/dict.h"
#include "support/files.h"
#include "tools/import/dict_import.h"

namespace {

namespace fs = std::filesystem;

struct Store {
  fs::path directory;
  vellum::DictHandle* handle = nullptr;
  std::vector<std::string> names;

  Store() {
    directory = fs::temp_directory_path() / ("vellum-dict-bench-" + std::to_string(::getpid()));
    fs::create_directories(directory);
    std::ostringstream out, err;
    if (runDictImport({"--json", VELLUM_SHARED_DATA_DIR "/eastons.json", "--key", "mot", "--value",
                       "definition", "--title", "Easton's Bible Dictionary",
                       (directory / "eastons.dic").string()},
                      out, err) != 0)
      std::cerr << "dict_bench: " << err.str();
    vellum::set_dpath(directory.c_str());
    handle = vellum::open_dict("eastons.dic");
    std::span<const std::string> list;
    std::uint16_t count = 0;
    vellum::get_item_list(&list, &count, handle);
    names.assign(list.begin(), list.end());
  }
  ~Store() {
    vellum::deinit_dict(handle);
    std::error_code ignored;
    fs::remove_all(directory, ignored);
  }
};

Store& store() {
  static Store instance;
  return instance;
}

void BM_FindHit(benchmark::State& state) {
  Store& s = store();
  std::vector<char> buffer(65535);
  std::uint16_t length = 0;
  std::size_t next = 0;
  for (auto _ : state) {
    benchmark::DoNotOptimize(
        vellum::find_string_item(buffer.data(), &length, 65535, s.names[next].c_str(), s.handle));
    next = (next + 1) % s.names.size();
  }
  state.SetItemsProcessed(state.iterations());
  state.counters["items"] = static_cast<double>(s.names.size());
}
BENCHMARK(BM_FindHit);

void BM_FindMiss(benchmark::State& state) {
  Store& s = store();
  std::vector<std::string> absent;
  for (const std::string& name : s.names) absent.push_back(name + "qz");
  std::vector<char> buffer(65535);
  std::uint16_t length = 0;
  std::size_t next = 0;
  for (auto _ : state) {
    benchmark::DoNotOptimize(
        vellum::find_string_item(buffer.data(), &length, 65535, absent[next].c_str(), s.handle));
    next = (next + 1) % absent.size();
  }
  state.SetItemsProcessed(state.iterations());
}
BENCHMARK(BM_FindMiss);

void BM_FuzzyFindPossessive(benchmark::State& state) {
  Store& s = store();
  std::vector<char> buffer(65535);
  std::uint16_t length = 0;
  for (auto _ : state) {
    std::string name = "Abraham's";
    benchmark::DoNotOptimize(
        vellum::fuzzy_find_string_item(buffer.data(), &length, 65535, name, s.handle));
  }
  state.SetItemsProcessed(state.iterations());
}
BENCHMARK(BM_FuzzyFindPossessive);

void BM_ReplaceItem(benchmark::State& state) {
  Store& s = store();
  const bool commit = state.range(0) != 0;
  vellum::DictHandle* options = vellum::new_dict("bench-options.dic", "Bench Options", 241, 0);
  vellum::deferDictCommits(options, !commit);
  std::vector<std::uint8_t> record(284, 7);
  for (auto _ : state) {
    record[0]++;
    benchmark::DoNotOptimize(vellum::add_binary_item(options, "SRCHDLG", record.data(),
                                                     static_cast<std::uint16_t>(record.size())));
  }
  vellum::deinit_dict(options);
  std::error_code ignored;
  fs::remove(s.directory / "bench-options.dic", ignored);
  state.SetItemsProcessed(state.iterations());
}
BENCHMARK(BM_ReplaceItem)->Arg(0)->Arg(1);

// The lock alone, as a change takes and releases it when no other program holds the file.
void BM_ChangeLock(benchmark::State& state) {
  store();
  std::FILE* stream = vellum::_fopen("eastons.dic", "r+b");  // the store's own stream
  for (auto _ : state) {
    const vellum::StreamLock lock(stream, vellum::LockKind::exclusive);
    benchmark::DoNotOptimize(lock.outcome());
  }
  vellum::_fclose(stream);
  state.SetItemsProcessed(state.iterations());
}
BENCHMARK(BM_ChangeLock);

}  // namespace

BENCHMARK_MAIN();
