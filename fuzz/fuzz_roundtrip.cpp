// Encode then Decode: any input comes back byte for byte, and the encoder stays within
// encodeBound. A capacity smaller than the text gives exactly its leading bytes.
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <memory>

#include "support/codec.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (size > 1 << 20) return 0;
  const int n = static_cast<int>(size);
  const int bound = vellum::encodeBound(n);
  std::unique_ptr<std::uint8_t[]> encoded(new std::uint8_t[bound > 0 ? bound : 1]);
  int encodedLength = -1;
  vellum::Encode(encoded.get(), &encodedLength, data, n);
  if (encodedLength < 0 || encodedLength > bound) std::abort();
  if (n == 0 && encodedLength != 0) std::abort();

  std::unique_ptr<std::uint8_t[]> decoded(new std::uint8_t[n > 0 ? n : 1]);
  int decodedLength = -1;
  vellum::Decode(decoded.get(), &decodedLength, n, encoded.get(), encodedLength);
  if (decodedLength != n || (n > 0 && std::memcmp(decoded.get(), data, size) != 0)) std::abort();

  // A cut capacity: the leading bytes, and nothing past them.
  const int cut = n / 2;
  std::unique_ptr<std::uint8_t[]> part(new std::uint8_t[cut > 0 ? cut : 1]);
  vellum::Decode(part.get(), &decodedLength, cut, encoded.get(), encodedLength);
  if (decodedLength != cut || (cut > 0 && std::memcmp(part.get(), data, cut) != 0)) std::abort();
  return 0;
}
