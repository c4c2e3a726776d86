// The Strong's lexicon reader. The file is never written, so its size is taken once at open;
// every index entry and record is checked against it before it is read.
#include "engine/stores/lexicon.h"

#include <cstdio>
#include <cstring>
#include <memory>
#include <vector>

#include "engine/stores/lexicon_format.h"
#include "engine/stores/store_io.h"
#include "support/codec.h"
#include "support/files.h"
#include "support/strings.h"

namespace vellum {
namespace {

struct SharedStreamRelease {
  void operator()(std::FILE* stream) const { _fclose(stream); }
};

bool indexFits(std::uint32_t offset, std::uint16_t count, std::uint64_t fileSize) {
  const std::uint64_t bytes = (std::uint64_t{count} + 1) * 4;
  return offset >= format::kLexiconHeaderSize && offset <= fileSize && bytes <= fileSize - offset;
}

}  // namespace

struct LexiconHandle {
  std::unique_ptr<std::FILE, SharedStreamRelease> stream;
  format::LexiconHeader header;
  std::uint64_t fileSize = 0;
};

LexiconHandle* initLexicon(const char* fileName) {
  if (fileName == nullptr) return nullptr;
  auto lexicon = std::make_unique<LexiconHandle>();
  lexicon->stream.reset(_fopen(fileName, "rb"));
  if (!lexicon->stream) return nullptr;
  lexicon->fileSize = storeio::fileSize(lexicon->stream.get());
  std::vector<std::uint8_t> bytes(format::kLexiconHeaderSize);
  if (!storeio::readAt(lexicon->stream.get(), 0, bytes) ||
      !format::decodeLexiconHeader(bytes, lexicon->header))
    return nullptr;
  const format::LexiconHeader& h = lexicon->header;
  // An empty table (count 0) needs no index; any other must lie wholly within the file.
  if ((h.hebrewCount > 0 && !indexFits(h.hebrewIndexOffset, h.hebrewCount, lexicon->fileSize)) ||
      (h.greekCount > 0 && !indexFits(h.greekIndexOffset, h.greekCount, lexicon->fileSize)))
    return nullptr;
  return lexicon.release();
}

char* lookupLexicon(char* out, std::uint16_t* length, std::uint16_t size, std::uint16_t number,
                    int hebrew, LexiconHandle* lexicon) {
  if (lexicon == nullptr || out == nullptr || length == nullptr || size == 0) return nullptr;
  const format::LexiconHeader& h = lexicon->header;
  const std::uint16_t count = hebrew != 0 ? h.hebrewCount : h.greekCount;
  const std::uint32_t index = hebrew != 0 ? h.hebrewIndexOffset : h.greekIndexOffset;
  if (number < 1 || number > count) return nullptr;

  std::FILE* stream = lexicon->stream.get();
  std::uint8_t entry[4];
  if (!storeio::readAt(stream, index + std::uint64_t{4} * number, entry)) return nullptr;
  const std::uint32_t record = le::load32(entry);
  std::uint8_t head[format::kDefinitionRecordHeaderSize];
  std::uint16_t encodedLength = 0;
  if (record < format::kLexiconHeaderSize ||
      std::uint64_t{record} + sizeof head > lexicon->fileSize ||
      !storeio::readAt(stream, record, head) ||
      !format::decodeDefinitionLength(head, encodedLength) ||
      std::uint64_t{record} + sizeof head + encodedLength > lexicon->fileSize)
    return nullptr;
  std::vector<std::uint8_t> encoded(encodedLength);
  if (!storeio::readAt(stream, record + sizeof head, encoded)) return nullptr;

  std::vector<std::uint8_t> decoded(size);
  int decodedLength = 0;
  Decode(decoded.data(), &decodedLength, size - 1, encoded.data(), encodedLength);
  std::memcpy(out, decoded.data(), static_cast<std::size_t>(decodedLength));
  out[decodedLength] = '\0';
  replStr(out, "\n", "\r\n", static_cast<unsigned short>(size - 1));
  *length = static_cast<std::uint16_t>(std::strlen(out));
  return out;
}

void deinitLexicon(LexiconHandle* lexicon) { std::unique_ptr<LexiconHandle> release(lexicon); }

}  // namespace vellum
