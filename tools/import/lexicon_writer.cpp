// Reading lexicon sources and writing the lexicon file; the rules are in lexicon_writer.h.
#include "tools/import/lexicon_writer.h"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <memory>
#include <optional>

#include "engine/stores/lexicon_format.h"
#include "engine/stores/store_io.h"
#include "support/codec.h"
#include "support/files.h"

namespace vellum::import {
namespace {

constexpr char kLabel[] = "Vellum lexicon 1";
static_assert(sizeof kLabel - 1 == format::kLexiconLabelSize);

// The number of a number line ("H7225", "7225"), with the letter it carried (0 for none);
// none when the line is not a number line. Numbers too large keep their digits' value capped.
struct NumberLine {
  char letter = 0;
  std::uint32_t value = 0;
};

std::optional<NumberLine> numberLine(const std::string& line) {
  std::size_t end = line.find_last_not_of(" \t");
  if (end == std::string::npos) return std::nullopt;
  NumberLine result;
  std::size_t i = 0;
  const char first = line[0];
  if (first == 'H' || first == 'h' || first == 'G' || first == 'g') {
    result.letter = static_cast<char>(first & ~0x20);
    i = 1;
  }
  if (i > end) return std::nullopt;
  for (; i <= end; ++i) {
    if (line[i] < '0' || line[i] > '9') return std::nullopt;
    result.value = std::min<std::uint32_t>(result.value * 10 + (line[i] - '0'), 1000000);
  }
  return result;
}

std::string at(int line, const std::string& message) {
  return "line " + std::to_string(line) + ": " + message;
}

void finishDefinition(std::string& definition) {
  // Blank lines around the definition are dropped; lines inside it are kept.
  while (!definition.empty() && definition.back() == '\n') definition.pop_back();
  std::size_t start = 0;
  while (start < definition.size()) {
    const std::size_t lineEnd = definition.find('\n', start);
    const std::string_view line(
        definition.data() + start,
        (lineEnd == std::string::npos ? definition.size() : lineEnd) - start);
    if (line.find_first_not_of(" \t") != std::string_view::npos || lineEnd == std::string::npos)
      break;
    start = lineEnd + 1;
  }
  definition.erase(0, start);
  if (definition.find_first_not_of(" \t\n") == std::string::npos) definition.clear();
}

struct FileCloser {
  void operator()(std::FILE* f) const { std::fclose(f); }
};

}  // namespace

bool readLexiconSource(std::istream& in, char letter, std::vector<LexiconEntry>& entries,
                       std::string& error) {
  const char other = letter == 'H' ? 'G' : 'H';
  const char* table = letter == 'H' ? "Hebrew" : "Greek";
  const std::size_t firstNew = entries.size();
  std::string line;
  int lineNumber = 0;
  bool inEntry = false;
  const auto close = [&]() -> bool {
    if (!inEntry) return true;
    LexiconEntry& entry = entries.back();
    finishDefinition(entry.definition);
    if (entry.definition.size() > kMaxDefinitionLength) {
      error = at(entry.line, "the definition of " + std::string(1, letter) +
                                 std::to_string(entry.number) + " is longer than " +
                                 std::to_string(kMaxDefinitionLength) + " bytes");
      return false;
    }
    return true;
  };
  while (std::getline(in, line)) {
    ++lineNumber;
    if (!line.empty() && line.back() == '\r') line.pop_back();
    if (lineNumber == 1 && line.starts_with("\xEF\xBB\xBF")) line.erase(0, 3);
    // The lexicon's texts end at a NUL: one inside a definition would cut it short.
    if (line.find('\0') != std::string::npos) {
      error = at(lineNumber, "a NUL byte");
      return false;
    }
    const std::optional<NumberLine> number = numberLine(line);
    if (!number) {
      if (inEntry) {
        entries.back().definition += line;
        entries.back().definition += '\n';
      } else if (line.find_first_not_of(" \t") != std::string::npos) {
        error = at(lineNumber, "text before the first entry number");
        return false;
      }
      continue;
    }
    if (!close()) return false;
    if (number->letter == other) {
      error = at(lineNumber, line + " is not a " + std::string(table) + " number");
      return false;
    }
    if (number->value == 0 || number->value > 65535) {
      error = at(lineNumber, "number " + std::to_string(number->value) + " is outside 1 to 65535");
      return false;
    }
    if (entries.size() > firstNew && number->value <= entries.back().number) {
      error =
          at(lineNumber, number->value == entries.back().number
                             ? "number " + std::to_string(number->value) + " repeats line " +
                                   std::to_string(entries.back().line)
                             : "number " + std::to_string(number->value) + " comes after " +
                                   std::to_string(entries.back().number) + "; numbers must ascend");
      return false;
    }
    entries.push_back({static_cast<std::uint16_t>(number->value), std::string(), lineNumber});
    inEntry = true;
  }
  if (!close()) return false;
  if (entries.size() == firstNew) {
    error = "no entries (an entry starts with a line holding only its number)";
    return false;
  }
  return true;
}

bool writeLexicon(const std::vector<LexiconEntry>& hebrew, const std::vector<LexiconEntry>& greek,
                  const std::string& outPath, std::string& error) {
  const std::uint16_t hebrewCount = hebrew.empty() ? 0 : hebrew.back().number;
  const std::uint16_t greekCount = greek.empty() ? 0 : greek.back().number;
  format::LexiconHeader header;
  std::memcpy(header.label.data(), kLabel, header.label.size());
  header.hebrewIndexOffset = format::kLexiconHeaderSize;
  header.hebrewCount = hebrewCount;
  header.greekIndexOffset = header.hebrewIndexOffset + (hebrewCount + 1u) * 4;
  header.greekCount = greekCount;
  const std::uint64_t emptyRecord = header.greekIndexOffset + (greekCount + 1u) * 4;

  std::vector<std::uint8_t> records;
  format::encodeDefinitionRecord({}, records);  // the shared empty definition
  std::vector<std::uint32_t> hebrewIndex(hebrewCount + 1u), greekIndex(greekCount + 1u);
  for (auto [entries, index] : {std::pair{&hebrew, &hebrewIndex}, std::pair{&greek, &greekIndex}}) {
    for (std::uint32_t& slot : *index) slot = static_cast<std::uint32_t>(emptyRecord);
    std::vector<std::uint8_t> encoded;
    for (const LexiconEntry& entry : *entries) {
      if (entry.definition.size() > kMaxDefinitionLength) {
        error = at(entry.line, "definition too long");
        return false;
      }
      const std::uint64_t offset = emptyRecord + records.size();
      if (offset > 0xFFFFFFF0u) {
        error = "the lexicon would exceed 4 GiB";
        return false;
      }
      (*index)[entry.number] = static_cast<std::uint32_t>(offset);
      const int length = static_cast<int>(entry.definition.size());
      encoded.resize(static_cast<std::size_t>(encodeBound(length)));
      int encodedLength = 0;
      Encode(encoded.data(), &encodedLength,
             reinterpret_cast<const std::uint8_t*>(entry.definition.data()), length);
      format::encodeDefinitionRecord(
          std::span(encoded.data(), static_cast<std::size_t>(encodedLength)), records);
    }
  }

  std::vector<std::uint8_t> bytes = format::encodeLexiconHeader(header);
  for (std::uint32_t slot : hebrewIndex) le::put32(bytes, slot);
  for (std::uint32_t slot : greekIndex) le::put32(bytes, slot);
  bytes.insert(bytes.end(), records.begin(), records.end());

  const std::string tempPath = outPath + ".tmp";
  std::unique_ptr<std::FILE, FileCloser> out(std::fopen(tempPath.c_str(), "wb"));
  if (!out) {
    error = "cannot create " + tempPath + ": " + std::strerror(errno);
    return false;
  }
  const bool written = storeio::writeAt(out.get(), 0, bytes) && storeio::commit(out.get());
  const bool closed = std::fclose(out.release()) == 0;
  if (!written || !closed || !renameDurably(tempPath, outPath)) {
    error = "cannot write " + outPath + ": " + std::strerror(errno);
    std::remove(tempPath.c_str());
    return false;
  }
  return true;
}

}  // namespace vellum::import
