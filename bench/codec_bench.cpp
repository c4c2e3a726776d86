// Throughput of the LZSS codec on chapter texts built from the sample Bible text.
#include <benchmark/benchmark.h>

#include <cstdint>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "support/codec.h"

namespace {

using Bytes = std::vector<std::uint8_t>;

// Chapters in the stored form: one line per verse, "<verse> <text>", joined by line feeds.
// The sample file holds tab-separated lines "<book>\t<chapter>\t<verse>\t<text>".
std::vector<Bytes> loadChapters() {
  std::ifstream in(VELLUM_SAMPLES_DIR "/kjv-sample.vpl");
  std::vector<Bytes> chapters;
  std::string line;
  std::string key;
  std::string chapter;
  auto flush = [&] {
    if (!chapter.empty()) chapters.emplace_back(chapter.begin(), chapter.end());
    chapter.clear();
  };
  while (std::getline(in, line)) {
    std::istringstream fields(line);
    std::string book, chapterNumber, verse, text;
    if (!std::getline(fields, book, '\t') || !std::getline(fields, chapterNumber, '\t') ||
        !std::getline(fields, verse, '\t') || !std::getline(fields, text)) {
      continue;
    }
    if (book + ' ' + chapterNumber != key) {
      flush();
      key = book + ' ' + chapterNumber;
    } else {
      chapter += '\n';
    }
    chapter += verse + ' ' + text;
  }
  flush();
  if (chapters.empty()) {
    // Without the sample, a synthetic chapter keeps the benchmark meaningful.
    std::string text;
    for (int verse = 1; text.size() < 4000; ++verse) {
      text += std::to_string(verse) +
              " And God 430 said, 559 Let there be light: 216 and there was light.\n";
    }
    chapters.emplace_back(text.begin(), text.end());
  }
  return chapters;
}

const std::vector<Bytes>& chapters() {
  static const std::vector<Bytes> loaded = loadChapters();
  return loaded;
}

std::int64_t totalBytes(const std::vector<Bytes>& texts) {
  std::int64_t total = 0;
  for (const Bytes& text : texts) total += static_cast<std::int64_t>(text.size());
  return total;
}

void BM_EncodeChapters(benchmark::State& state) {
  const auto& texts = chapters();
  Bytes out;
  std::int64_t encoded = 0;
  for (auto _ : state) {
    encoded = 0;
    for (const Bytes& text : texts) {
      const int n = static_cast<int>(text.size());
      out.resize(static_cast<std::size_t>(vellum::encodeBound(n)));
      int length = 0;
      vellum::Encode(out.data(), &length, text.data(), n);
      encoded += length;
      benchmark::DoNotOptimize(out.data());
    }
  }
  state.SetBytesProcessed(state.iterations() * totalBytes(texts));
  state.counters["chapters"] = static_cast<double>(texts.size());
  state.counters["ratio"] = static_cast<double>(encoded) / static_cast<double>(totalBytes(texts));
}
BENCHMARK(BM_EncodeChapters);

void BM_DecodeChapters(benchmark::State& state) {
  const auto& texts = chapters();
  std::vector<Bytes> streams;
  for (const Bytes& text : texts) {
    const int n = static_cast<int>(text.size());
    Bytes stream(static_cast<std::size_t>(vellum::encodeBound(n)));
    int length = 0;
    vellum::Encode(stream.data(), &length, text.data(), n);
    stream.resize(static_cast<std::size_t>(length));
    streams.push_back(std::move(stream));
  }
  Bytes out(32766);
  for (auto _ : state) {
    for (const Bytes& stream : streams) {
      int length = 0;
      vellum::Decode(out.data(), &length, static_cast<int>(out.size()) - 1, stream.data(),
                     static_cast<int>(stream.size()));
      benchmark::DoNotOptimize(out.data());
    }
  }
  state.SetBytesProcessed(state.iterations() * totalBytes(texts));
}
BENCHMARK(BM_DecodeChapters);

// The worst case for the tree: one long run, where every insertion walks to a full match.
void BM_EncodeRun(benchmark::State& state) {
  const Bytes text(static_cast<std::size_t>(state.range(0)), ' ');
  Bytes out(static_cast<std::size_t>(vellum::encodeBound(static_cast<int>(text.size()))));
  for (auto _ : state) {
    int length = 0;
    vellum::Encode(out.data(), &length, text.data(), static_cast<int>(text.size()));
    benchmark::DoNotOptimize(out.data());
  }
  state.SetBytesProcessed(state.iterations() * state.range(0));
}
BENCHMARK(BM_EncodeRun)->Arg(32765);

}  // namespace
