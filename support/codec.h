// The LZSS codec of chapter text, dictionary items and lexicon entries.
//
// Stream: groups of one flag byte and up to eight items, flag bits read from the least
// significant up. A 1 bit is a literal byte; a 0 bit a copy item b1, b2 taking
// (b2 & 0x0F) + 3 bytes from ring position b1 | (b2 & 0xF0) << 4. The 4096-byte ring holds
// spaces at positions 0..4077 before each call and fills from 4078. The encoder is the classic
// binary-tree encoder (longest match 18, matches of 2 or fewer sent as literals), so its
// streams are byte-identical to that encoder's. Neither function keeps state between calls,
// and both may run concurrently.
#pragma once

#include <cstdint>

namespace vellum {

// The largest stream Encode can produce for n input bytes; the output buffer needs this many.
constexpr int encodeBound(int n) { return n + n / 8 + 1; }

// Encodes inputLength bytes into out, which must hold encodeBound(inputLength) bytes, and
// never writes past that bound. No input (a length of 0 or less) gives length 0.
void Encode(std::uint8_t* out, int* outLength, const std::uint8_t* input, int inputLength);

// Decodes at most capacity bytes (no terminator) from encodedLength bytes of stream. Never
// writes past capacity nor reads past the stream; a stream cut inside an item stops before it,
// and a capacity of 0 or less writes nothing. Any byte sequence is safe to decode.
void Decode(std::uint8_t* out, int* outLength, int capacity, const std::uint8_t* encoded,
            int encodedLength);

}  // namespace vellum
