// The options store's search items (search_record.h).
#include "app/windows/search_record.h"

#include <algorithm>

#include "engine/stores/dict.h"
#include "support/endian.h"

namespace vellum::ui {
namespace {

const char* const kSearchRecordName = "SRCHDLG";
const char* const kWhichBooksName = "WHICHBOOKS";
const char* const kSearchBooksName = "SEARCHBOOKS";

// A NUL-terminated field of the record: false when the field holds no terminator.
bool readTextField(le::ByteReader& reader, std::size_t width, std::string& out) {
  std::vector<std::uint8_t> field(width);
  if (!reader.getBytes(field)) return false;
  const auto end = std::find(field.begin(), field.end(), std::uint8_t{0});
  if (end == field.end()) return false;
  out.assign(field.begin(), end);
  return true;
}

void putTextField(std::vector<std::uint8_t>& out, const std::string& text, std::size_t width) {
  const std::size_t length = std::min(text.size(), width - 1);
  out.insert(out.end(), text.begin(), text.begin() + static_cast<std::ptrdiff_t>(length));
  out.insert(out.end(), width - length, 0);
}

bool isOperatorOf(std::uint32_t id, int first) {
  return id == 0 ||
         (id >= static_cast<std::uint32_t>(first) && id <= static_cast<std::uint32_t>(first + 2));
}

const BookSet kBookSets[] = {
    {309, "All Books", 0, kBookFlagCount - 1},
    {310, "Specific Books", -1, -1},
    {311, "Old Testament", 0, 38},
    {312, "New Testament", 39, 65},
    {313, "Pentateuch", 0, 4},
    {314, "Old Testament History", 5, 16},
    {315, "Poetry", 17, 21},
    {316, "Major Prophets", 22, 26},
    {317, "Minor Prophets", 27, 38},
    {318, "New Testament History", 39, 43},
    {319, "Pauls Letters", 44, 56},
    {320, "General Epistles", 57, 64},
};

}  // namespace

// ---------------------------------------------------------------------------------------------
// SearchRecord

std::vector<std::uint8_t> SearchRecord::encode() const {
  std::vector<std::uint8_t> out;
  out.reserve(kSize);
  le::put8(out, book);
  le::put8(out, chapter);
  le::put8(out, verse);
  le::put8(out, 0);
  le::put32(out, scope);
  putTextField(out, topic, kTopicWidth);
  putTextField(out, text, kTextWidth);
  for (const std::string& word : words) putTextField(out, word, kWordWidth);
  le::put32(out, operator1);
  le::put32(out, operator2);
  le::put32(out, 0);
  le::put32(out, kind);
  return out;
}

std::optional<SearchRecord> SearchRecord::decode(std::span<const std::uint8_t> bytes) {
  if (bytes.size() != kSize) return std::nullopt;
  le::ByteReader reader(bytes);
  SearchRecord record;
  std::uint8_t reserved8 = 0;
  std::uint32_t reserved32 = 0;
  reader.get8(record.book);
  reader.get8(record.chapter);
  reader.get8(record.verse);
  reader.get8(reserved8);
  reader.get32(record.scope);
  if (!readTextField(reader, kTopicWidth, record.topic)) return std::nullopt;
  if (!readTextField(reader, kTextWidth, record.text)) return std::nullopt;
  for (std::string& word : record.words)
    if (!readTextField(reader, kWordWidth, word)) return std::nullopt;
  reader.get32(record.operator1);
  reader.get32(record.operator2);
  reader.get32(reserved32);
  reader.get32(record.kind);
  if (!reader.ok() || record.kind > kKindExpression) return std::nullopt;
  if (record.scope != static_cast<std::uint32_t>(kVersesFoundId) &&
      record.scope != static_cast<std::uint32_t>(kBookSetId))
    return std::nullopt;
  if (!isOperatorOf(record.operator1, kAnd1) || !isOperatorOf(record.operator2, kAnd2))
    return std::nullopt;
  return record;
}

std::optional<SearchRecord> loadSearchRecord(DictHandle* options) {
  if (!options) return std::nullopt;
  // One byte more than a sound record, so that a longer item is seen as damaged.
  std::array<std::uint8_t, SearchRecord::kSize + 1> buffer{};
  std::uint16_t length = 0;
  if (!find_binary_item(buffer.data(), &length, static_cast<std::uint16_t>(buffer.size()),
                        kSearchRecordName, options))
    return std::nullopt;
  return SearchRecord::decode(std::span<const std::uint8_t>(buffer.data(), length));
}

void storeSearchRecord(DictHandle* options, const SearchRecord& record) {
  if (!options) return;
  const std::vector<std::uint8_t> bytes = record.encode();
  add_binary_item(options, kSearchRecordName, bytes.data(),
                  static_cast<std::uint16_t>(bytes.size()));
}

// ---------------------------------------------------------------------------------------------
// Book sets

const BookSet* findBookSet(int command) {
  for (const BookSet& set : kBookSets)
    if (set.command == command) return &set;
  return nullptr;
}

BookFlags bookSetFlags(int command) {
  BookFlags flags{};
  const BookSet* set = findBookSet(command);
  if (!set || set->first < 0) return flags;
  for (int book = set->first; book <= set->last; ++book) flags[static_cast<std::size_t>(book)] = 1;
  return flags;
}

std::optional<StoredBookSet> loadStoredBookSet(DictHandle* options) {
  if (!options) return std::nullopt;
  std::array<std::uint8_t, 5> which{};
  std::uint16_t length = 0;
  if (!find_binary_item(which.data(), &length, static_cast<std::uint16_t>(which.size()),
                        kWhichBooksName, options) ||
      length != 4)
    return std::nullopt;
  const auto command = static_cast<int>(le::load32(which.data()));
  const BookSet* set = findBookSet(command);
  if (!set) return std::nullopt;

  std::vector<std::uint8_t> bytes(kBookFlagCount * 4 + 1);
  if (!find_binary_item(bytes.data(), &length, static_cast<std::uint16_t>(bytes.size()),
                        kSearchBooksName, options) ||
      length != kBookFlagCount * 4)
    return std::nullopt;
  StoredBookSet stored{command, {}};
  // A named set is its range whatever the flags say; only Specific Books keeps its own choice.
  if (set->first >= 0) {
    stored.flags = bookSetFlags(command);
    return stored;
  }
  bool any = false;
  for (std::size_t book = 0; book < kBookFlagCount; ++book) {
    stored.flags[book] = le::load32(bytes.data() + book * 4);
    any = any || stored.flags[book] != 0;
  }
  // A choice of no book would make every search find nothing without saying why.
  if (!any) return std::nullopt;
  return stored;
}

void storeBookSet(DictHandle* options, int command, const BookFlags& flags) {
  if (!options) return;
  std::vector<std::uint8_t> which;
  le::put32(which, static_cast<std::uint32_t>(command));
  std::vector<std::uint8_t> bytes;
  bytes.reserve(kBookFlagCount * 4);
  for (std::uint32_t flag : flags) le::put32(bytes, flag);
  add_binary_item(options, kWhichBooksName, which.data(), static_cast<std::uint16_t>(which.size()));
  add_binary_item(options, kSearchBooksName, bytes.data(),
                  static_cast<std::uint16_t>(bytes.size()));
}

}  // namespace vellum::ui
