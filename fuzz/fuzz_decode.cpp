// Decode on any byte stream and any capacity: it must never write past the capacity nor read
// past the stream. The first two bytes of the input choose the capacity (up to 65535), the
// rest is the stream; the output buffer is exactly the capacity, so ASan sees any overrun.
#include <cstdint>
#include <cstdlib>
#include <memory>

#include "support/codec.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (size < 2) return 0;
  const int capacity = data[0] | data[1] << 8;
  const std::uint8_t* stream = data + 2;
  const int streamLength = static_cast<int>(size - 2);
  // A stream copied into a buffer of its own exact size, so a read past it is caught too.
  std::unique_ptr<std::uint8_t[]> encoded(new std::uint8_t[streamLength > 0 ? streamLength : 1]);
  for (int i = 0; i < streamLength; ++i) encoded[i] = stream[i];
  std::unique_ptr<std::uint8_t[]> out(new std::uint8_t[capacity > 0 ? capacity : 1]);
  int length = -1;
  vellum::Decode(out.get(), &length, capacity, encoded.get(), streamLength);
  // What Decode reports is what it wrote: never more than the capacity, never negative.
  if (length < 0 || length > capacity) std::abort();
  // A capacity of zero or less writes nothing.
  vellum::Decode(out.get(), &length, 0, encoded.get(), streamLength);
  if (length != 0) std::abort();
  return 0;
}
