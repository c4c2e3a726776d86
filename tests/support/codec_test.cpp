// Tests the LZSS codec: exact streams of the encoder, round trips, bounds and cut streams.
#include "support/codec.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <future>
#include <random>
#include <string>
#include <string_view>
#include <vector>

namespace vellum {
namespace {

using Bytes = std::vector<std::uint8_t>;

Bytes bytesOf(std::string_view text) { return Bytes(text.begin(), text.end()); }

// Runs call on a buffer of room bytes followed by a guard that must stay untouched, and gives
// back what it wrote.
template <typename Call>
Bytes guarded(int room, Call call) {
  const auto size = static_cast<std::size_t>(std::max(room, 0));
  Bytes buffer(size + 64, 0xA5);
  int length = -1;
  call(buffer.data(), &length);
  EXPECT_TRUE(length >= 0 && length <= std::max(room, 0)) << length;
  EXPECT_EQ(std::count(buffer.begin() + size, buffer.end(), 0xA5), 64) << "wrote past " << room;
  buffer.resize(static_cast<std::size_t>(std::max(length, 0)));
  return buffer;
}

Bytes encode(const Bytes& input) {
  const int n = static_cast<int>(input.size());
  return guarded(encodeBound(n),
                 [&](std::uint8_t* out, int* length) { Encode(out, length, input.data(), n); });
}

// The stream is a copy of its exact size, so a read past it is caught by the sanitizer.
Bytes decode(const Bytes& stream, int capacity) {
  const Bytes exact(stream);
  return guarded(capacity, [&](std::uint8_t* out, int* length) {
    Decode(out, length, capacity, exact.data(), static_cast<int>(exact.size()));
  });
}

// Verse-like text from a small vocabulary (matches of every length), runs of a few byte values
// (copies that overlap their own output and reach into the space-filled ring), or noise.
Bytes sample(std::mt19937& rng, std::size_t size, int kind) {
  static const std::string kWords[] = {"In ", "the ", "beginning ", "God ", "LORD ", "430\n2 "};
  Bytes out;
  while (out.size() < size) {
    const std::string& word = kWords[rng() % std::size(kWords)];
    if (kind == 0) out.insert(out.end(), word.begin(), word.end());
    if (kind == 1) out.insert(out.end(), 1 + rng() % 300, " a\0\xFF"[rng() % 4]);
    if (kind == 2) out.push_back(static_cast<std::uint8_t>(rng()));
  }
  out.resize(size);
  return out;
}

// The encoder's streams are fixed by its tree and tie rules; these were worked out by hand
// from them, so a change to insertion order, match ties or node replacement shows here.
TEST(Encode, ProducesTheExactStreamsOfTheBinaryTreeEncoder) {
  // Strings at 4077 down to 4060 match each other over all 18 bytes, each replacing the one
  // before, so the first look-ahead finds 4060 (0xFDC): a copy of 18, then two literals.
  EXPECT_EQ(encode(Bytes(20, ' ')), (Bytes{0x06, 0xDC, 0xFF, ' ', ' '}));
  // Three literals, then a copy of 9 from 4078 (0xFEE) that overlaps its own output.
  EXPECT_EQ(encode(bytesOf("abcabcabcabc")), (Bytes{0x07, 'a', 'b', 'c', 0xEE, 0xF6}));
  // The third "abc" meets 4078 and then 4082 on its path, both matching 3 bytes: the first met
  // keeps the match. Eight items fill one group exactly, with no flag byte after it.
  EXPECT_EQ(encode(bytesOf("abcXabcYabcZ")),
            (Bytes{0xAF, 'a', 'b', 'c', 'X', 0xEE, 0xF0, 'Y', 0xEE, 0xF0, 'Z'}));
  EXPECT_TRUE(encode(Bytes{}).empty());
  EXPECT_TRUE(guarded(0, [](std::uint8_t* out, int* length) {
                Encode(out, length, out, -5);
              }).empty());  // a negative length is no input either
  // Input without a repeated three-byte string is sent as literals, one flag byte per eight of
  // them: lengths not divisible by 8 fill encodeBound to its last byte.
  for (int n : {1, 7, 8, 9, 255}) {
    Bytes input(static_cast<std::size_t>(n));
    for (int i = 0; i < n; ++i) input[static_cast<std::size_t>(i)] = static_cast<std::uint8_t>(i);
    EXPECT_EQ(static_cast<int>(encode(input).size()), n % 8 ? encodeBound(n) : n + n / 8) << n;
  }
}

// Every kind and size comes back byte for byte, and room to spare changes nothing: the stream
// ends where the input did. The codec keeps its ring and tree per call, so threads coding at once
// get what one thread gets.
TEST(Codec, RoundTripsInputsOfEveryKindAndSizeOnSeveralThreadsAtOnce) {
  std::mt19937 rng(20240611);
  std::vector<std::pair<Bytes, Bytes>> coded;  // input, stream
  for (std::size_t size : {1u, 2u, 3u, 17u, 18u, 19u, 4077u, 4078u, 4096u, 4113u, 32765u, 70000u})
    for (int kind = 0; kind < 3; ++kind) {
      const Bytes input = sample(rng, size, kind);
      const Bytes& stream = coded.emplace_back(input, encode(input)).second;
      ASSERT_EQ(decode(stream, static_cast<int>(size)), input) << size << " " << kind;
      ASSERT_EQ(decode(stream, static_cast<int>(size) + 100), input) << size << " " << kind;
    }
  EXPECT_LT(encode(Bytes(10000, 'x')).size(), 1300u);  // copies of 18 in groups of 8
  std::vector<std::future<bool>> agreed;
  for (std::size_t thread = 0; thread < 4; ++thread)
    agreed.push_back(std::async(std::launch::async, [&coded, thread] {
      bool same = true;
      // Each thread starts at another case, so different inputs are coded at the same time.
      for (std::size_t i = 0; i < 5 * coded.size(); ++i) {
        const auto& [input, stream] = coded[(i + 9 * thread) % coded.size()];
        same = same && encode(input) == stream &&
               decode(stream, static_cast<int>(input.size())) == input;
      }
      return same;
    }));
  for (auto& thread : agreed) EXPECT_TRUE(thread.get());
}

TEST(Decode, StopsAtCapacityEvenInsideACopyAndBeforeACutItem) {
  std::mt19937 rng(7);
  const Bytes input = sample(rng, 5000, 0);
  const Bytes stream = encode(input);
  for (int capacity : {1, 2, 3, 17, 18, 19, 4077, 4078, 4099, 4999}) {
    const Bytes out = decode(stream, capacity);
    ASSERT_EQ(static_cast<int>(out.size()), capacity);
    EXPECT_TRUE(std::equal(out.begin(), out.end(), input.begin())) << capacity;
  }
  const Bytes abc = encode(bytesOf("abcabcabcabc"));  // a copy of 9 from the fourth byte on
  for (int capacity = 4; capacity < 12; ++capacity)
    EXPECT_EQ(decode(abc, capacity), bytesOf(std::string("abcabcabcabc", capacity)));
  EXPECT_EQ(decode(Bytes(abc.begin(), abc.end() - 1), 100), bytesOf("abc"));
  EXPECT_TRUE(decode(Bytes{0x07}, 100).empty());
  EXPECT_TRUE(decode(abc, 0).empty());
  EXPECT_TRUE(decode(abc, -1).empty());
}

}  // namespace
}  // namespace vellum
