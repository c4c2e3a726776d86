// Tests the LZSS codec: exact streams of the encoder, round trips, bounds and cut streams.
#include "support/codec.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <random>
#include <string>
#include <string_view>
#include <thread>
#include <vector>

namespace vellum {
namespace {

using Bytes = std::vector<std::uint8_t>;

constexpr std::size_t kGuardSize = 64;
constexpr std::uint8_t kGuardByte = 0xA5;

Bytes bytesOf(std::string_view text) { return Bytes(text.begin(), text.end()); }

bool guardIntact(const Bytes& buffer, std::size_t from) {
  return std::all_of(buffer.begin() + static_cast<std::ptrdiff_t>(from), buffer.end(),
                     [](std::uint8_t b) { return b == kGuardByte; });
}

// Encodes into a buffer of exactly encodeBound bytes followed by a guard region, and checks
// that nothing past the bound was written.
Bytes encode(const Bytes& input) {
  const int n = static_cast<int>(input.size());
  const auto bound = static_cast<std::size_t>(encodeBound(n));
  Bytes buffer(bound + kGuardSize, kGuardByte);
  int length = -1;
  Encode(buffer.data(), &length, input.data(), n);
  EXPECT_GE(length, 0);
  EXPECT_LE(length, encodeBound(n));
  EXPECT_TRUE(guardIntact(buffer, bound)) << "encoder wrote past encodeBound(" << n << ")";
  buffer.resize(static_cast<std::size_t>(std::max(length, 0)));
  return buffer;
}

// Decodes with the given capacity into a buffer with a guard region past the capacity. The
// stream is copied to a buffer of its exact size, so a read past its end is caught by the
// address sanitizer.
Bytes decode(const Bytes& stream, int capacity) {
  const Bytes exact(stream);
  const auto room = static_cast<std::size_t>(std::max(capacity, 0));
  Bytes buffer(room + kGuardSize, kGuardByte);
  int length = -1;
  Decode(buffer.data(), &length, capacity, exact.data(), static_cast<int>(exact.size()));
  EXPECT_GE(length, 0);
  EXPECT_LE(length, std::max(capacity, 0));
  EXPECT_TRUE(guardIntact(buffer, room)) << "decoder wrote past capacity " << capacity;
  buffer.resize(static_cast<std::size_t>(std::max(length, 0)));
  return buffer;
}

Bytes randomBytes(std::mt19937& rng, std::size_t size) {
  std::uniform_int_distribution<int> byte(0, 255);
  Bytes out(size);
  for (auto& b : out) b = static_cast<std::uint8_t>(byte(rng));
  return out;
}

// Verse-like text: words from a small vocabulary, spaces, numbers and line feeds, so the
// encoder finds many matches of every length.
Bytes textLike(std::mt19937& rng, std::size_t size) {
  static const char* const kWords[] = {
      "In",  "the",   "beginning", "God",  "created", "heaven",   "and",  "earth",
      "And", "was",   "without",   "form", "void",    "darkness", "upon", "face",
      "of",  "deep.", "LORD",      "said", "unto",    "Moses",    "430",  "776"};
  std::uniform_int_distribution<std::size_t> word(0, std::size(kWords) - 1);
  std::uniform_int_distribution<int> lineBreak(0, 14);
  std::string text;
  int verse = 1;
  while (text.size() < size) {
    text += kWords[word(rng)];
    if (lineBreak(rng) == 0) {
      text += '\n' + std::to_string(++verse) + ' ';
    } else {
      text += ' ';
    }
  }
  text.resize(size);
  return bytesOf(text);
}

// Long runs of few byte values, spaces among them, so copies overlap their own output and
// reach back into the space-filled ring.
Bytes runs(std::mt19937& rng, std::size_t size) {
  static const std::uint8_t kValues[] = {' ', 'a', 0, 0xFF};
  std::uniform_int_distribution<std::size_t> value(0, std::size(kValues) - 1);
  std::uniform_int_distribution<std::size_t> runLength(1, 300);
  Bytes out;
  while (out.size() < size) out.insert(out.end(), runLength(rng), kValues[value(rng)]);
  out.resize(size);
  return out;
}

Bytes allByteValues(std::size_t size) {
  Bytes out(size);
  for (std::size_t i = 0; i < size; ++i)
    out[i] = static_cast<std::uint8_t>((i * 7 + i / 256) & 0xFF);
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

  EXPECT_EQ(encode(bytesOf("a")), (Bytes{0x01, 'a'}));
}

TEST(Encode, EmptyInputProducesNothing) {
  EXPECT_TRUE(encode(Bytes{}).empty());
  // A negative length is no input either.
  Bytes buffer(kGuardSize, kGuardByte);
  int length = -1;
  const std::uint8_t input[] = {'x'};
  Encode(buffer.data(), &length, input, -5);
  EXPECT_EQ(length, 0);
  EXPECT_TRUE(guardIntact(buffer, 0));
}

TEST(Encode, LeadingSpacesCopyFromTheSpaceFilledRing) {
  for (int spaces = 18; spaces <= 40; ++spaces) {
    SCOPED_TRACE(spaces);
    const Bytes input = bytesOf(std::string(static_cast<std::size_t>(spaces), ' ') + "Jesus wept.");
    const Bytes stream = encode(input);
    ASSERT_GE(stream.size(), 3u);
    EXPECT_EQ(stream[0] & 1, 0) << "the first item must be a copy";
    const int position = stream[1] | ((stream[2] & 0xF0) << 4);
    EXPECT_LT(position, 4078);
    EXPECT_EQ((stream[2] & 0x0F) + 3, 18);
    EXPECT_EQ(decode(stream, spaces + 11), input);
  }
}

// Input without any repeated three-byte string is sent as literals only: one flag byte per
// eight of them. Lengths not divisible by 8 fill encodeBound to its last byte.
TEST(Encode, IncompressibleInputFillsTheBoundExactly) {
  for (int n = 1; n <= 255; ++n) {
    SCOPED_TRACE(n);
    Bytes input(static_cast<std::size_t>(n));
    for (int i = 0; i < n; ++i) input[static_cast<std::size_t>(i)] = static_cast<std::uint8_t>(i);
    const Bytes stream = encode(input);
    EXPECT_EQ(static_cast<int>(stream.size()), n + (n + 7) / 8);
    if (n % 8 != 0) {
      EXPECT_EQ(static_cast<int>(stream.size()), encodeBound(n));
    }
    EXPECT_EQ(decode(stream, n), input);
  }
}

TEST(Codec, RoundTripsSeededInputsOfEveryKind) {
  std::mt19937 rng(20240611);
  std::vector<std::size_t> sizes = {0,    1,    2,    3,    7,    8,     9,     16,
                                    17,   18,   19,   35,   36,   4077,  4078,  4095,
                                    4096, 4097, 4113, 8192, 9000, 32765, 65536, 70000};
  std::uniform_int_distribution<std::size_t> anySize(0, 70000);
  for (int i = 0; i < 8; ++i) sizes.push_back(anySize(rng));

  for (std::size_t size : sizes) {
    const Bytes inputs[] = {randomBytes(rng, size), textLike(rng, size), runs(rng, size),
                            allByteValues(size)};
    for (const Bytes& input : inputs) {
      SCOPED_TRACE(size);
      const Bytes stream = encode(input);
      ASSERT_EQ(decode(stream, static_cast<int>(size)), input);
      // Room to spare changes nothing: the stream ends where the input did.
      ASSERT_EQ(decode(stream, static_cast<int>(size) + 100), input);
    }
  }
}

TEST(Codec, RunsCompressWell) {
  const Bytes input(10000, 'x');
  const Bytes stream = encode(input);
  // Copies of 18 in groups of 8: 17 bytes per 144 input bytes.
  EXPECT_LT(stream.size(), 1300u);
  EXPECT_EQ(decode(stream, 10000), input);
}

TEST(Decode, StopsExactlyAtCapacityEvenInsideACopy) {
  std::mt19937 rng(7);
  const Bytes input = textLike(rng, 5000);
  const Bytes stream = encode(input);
  for (int capacity : {1, 2, 3, 17, 18, 19, 20, 100, 4077, 4078, 4099, 4999}) {
    SCOPED_TRACE(capacity);
    const Bytes out = decode(stream, capacity);
    ASSERT_EQ(static_cast<int>(out.size()), capacity);
    EXPECT_TRUE(std::equal(out.begin(), out.end(), input.begin()));
  }
  // Every cut inside the copy of 9 of "abcabcabcabc".
  const Bytes abc = encode(bytesOf("abcabcabcabc"));
  for (int capacity = 4; capacity < 12; ++capacity) {
    EXPECT_EQ(decode(abc, capacity), bytesOf(std::string("abcabcabcabc", capacity)));
  }
}

TEST(Decode, WritesNothingWithoutCapacityOrInput) {
  const Bytes stream = encode(bytesOf("In the beginning"));
  EXPECT_TRUE(decode(stream, 0).empty());
  EXPECT_TRUE(decode(stream, -1).empty());
  EXPECT_TRUE(decode(Bytes{}, 100).empty());
}

TEST(Decode, StopsBeforeACopyItemCutInTheMiddle) {
  const Bytes stream{0x07, 'a', 'b', 'c', 0xEE, 0xF6};
  EXPECT_EQ(decode(Bytes(stream.begin(), stream.end() - 1), 100), bytesOf("abc"));
  EXPECT_EQ(decode(Bytes(stream.begin(), stream.end() - 2), 100), bytesOf("abc"));
  EXPECT_TRUE(decode(Bytes{0x07}, 100).empty());
}

TEST(Decode, StreamsCutAtEveryLengthGiveAPrefixOfTheInput) {
  std::mt19937 rng(99);
  for (const Bytes& input : {textLike(rng, 700), runs(rng, 700), randomBytes(rng, 300)}) {
    const Bytes stream = encode(input);
    std::size_t previous = 0;
    for (std::size_t cut = 0; cut <= stream.size(); ++cut) {
      SCOPED_TRACE(cut);
      const Bytes out =
          decode(Bytes(stream.begin(), stream.begin() + static_cast<std::ptrdiff_t>(cut)),
                 static_cast<int>(input.size()));
      ASSERT_TRUE(std::equal(out.begin(), out.end(), input.begin()));
      ASSERT_GE(out.size(), previous);
      previous = out.size();
    }
    EXPECT_EQ(previous, input.size());
  }
}

TEST(Decode, ArbitraryBytesStayWithinBounds) {
  std::mt19937 rng(1234);
  std::uniform_int_distribution<std::size_t> length(0, 600);
  std::uniform_int_distribution<int> capacity(0, 3000);
  for (int i = 0; i < 300; ++i) decode(randomBytes(rng, length(rng)), capacity(rng));
}

// The codec keeps its ring and tree per call, so threads encoding at once get the same streams
// as one thread alone.
TEST(Codec, ConcurrentCallsDoNotInterfere) {
  std::mt19937 rng(5);
  std::vector<Bytes> inputs;
  for (int i = 0; i < 4; ++i)
    inputs.push_back(textLike(rng, 20000 + 1000 * static_cast<std::size_t>(i)));
  std::vector<Bytes> expected;
  for (const Bytes& input : inputs) expected.push_back(encode(input));

  std::vector<int> mismatches(inputs.size(), 0);
  std::vector<std::thread> threads;
  for (std::size_t t = 0; t < inputs.size(); ++t) {
    threads.emplace_back([&, t] {
      const Bytes& input = inputs[t];
      for (int round = 0; round < 10; ++round) {
        Bytes stream(static_cast<std::size_t>(encodeBound(static_cast<int>(input.size()))));
        int length = 0;
        Encode(stream.data(), &length, input.data(), static_cast<int>(input.size()));
        stream.resize(static_cast<std::size_t>(length));
        Bytes out(input.size());
        int outLength = 0;
        Decode(out.data(), &outLength, static_cast<int>(out.size()), stream.data(), length);
        if (stream != expected[t] || out != input) ++mismatches[t];
      }
    });
  }
  for (auto& thread : threads) thread.join();
  EXPECT_EQ(mismatches, std::vector<int>(inputs.size(), 0));
}

}  // namespace
}  // namespace vellum
