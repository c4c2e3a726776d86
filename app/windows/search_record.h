// What the reader keeps of its searches in the options store ("options.dic"): the search
// dialog's last search and the book set. Plain data and their codecs, without Qt, so the
// fuzz targets decode the stored bytes with the code the dialogs use.
//
// Saved search record "SRCHDLG": 284 bytes, little-endian, zero where the kind searched does
// not use a field. Text fields are NUL-terminated inside their width.
//
//   offset  width  field
//        0      3  kind 0: Reference (book, chapter, verse; one byte each)
//        3      1  reserved, zero
//        4      4  scope: 10002 "Verses Found" checked, else 10005
//        8     40  kind 1: topic name
//       48    100  kind 2: phrase, or kind 4: expression
//      148     40  kind 3: word 1, trimmed
//      188     40  kind 3: word 2, trimmed
//      228     40  kind 3: word 3, trimmed
//      268      4  kind 3: checked button of the first operator group (10024..10026), or 0
//      272      4  kind 3: the same for the second group (10027..10029), or 0
//      276      4  reserved, zero
//      280      4  kind (0 to 4)
//
// Book set, stored as "WHICHBOOKS" (the current book-set command, u32: 309 to 320) and
// "SEARCHBOOKS" (2000 u32 flags, one per 0-based book index; nonzero keeps the book's verses).
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <vector>

namespace vellum {
struct DictHandle;
}

namespace vellum::ui {

// The search dialog's scope and operator buttons, as the record stores them.
inline constexpr int kVersesFoundId = 10002;
inline constexpr int kBookSetId = 10005;
inline constexpr int kAnd1 = 10024, kOr1 = 10025, kAndNot1 = 10026;
inline constexpr int kAnd2 = 10027, kOr2 = 10028, kAndNot2 = 10029;

// ---------------------------------------------------------------------------------------------
// Saved search record

enum SearchKind : std::uint32_t {
  kKindVerse = 0,
  kKindTopic = 1,
  kKindPhrase = 2,
  kKindWords = 3,
  kKindExpression = 4,
};

struct SearchRecord {
  static constexpr std::size_t kSize = 284;
  static constexpr std::size_t kTopicWidth = 40;
  static constexpr std::size_t kTextWidth = 100;
  static constexpr std::size_t kWordWidth = 40;

  std::uint8_t book = 0;
  std::uint8_t chapter = 0;
  std::uint8_t verse = 0;
  std::uint32_t scope = 0;
  std::string topic;                 // at most 39 bytes
  std::string text;                  // phrase or expression, at most 99 bytes
  std::array<std::string, 3> words;  // at most 39 bytes each
  std::uint32_t operator1 = 0;
  std::uint32_t operator2 = 0;
  std::uint32_t kind = 0;

  // Exactly kSize bytes; text fields longer than their width less one are cut.
  std::vector<std::uint8_t> encode() const;
  // None for a record of the wrong length, a kind above 4, a scope or operator that is no
  // button of its group, or a text field without its terminator.
  static std::optional<SearchRecord> decode(std::span<const std::uint8_t> bytes);
};

// The record stored as "SRCHDLG", or none when absent or damaged.
std::optional<SearchRecord> loadSearchRecord(DictHandle* options);
void storeSearchRecord(DictHandle* options, const SearchRecord& record);

// ---------------------------------------------------------------------------------------------
// Book sets

inline constexpr int kBookFlagCount = 2000;
using BookFlags = std::array<std::uint32_t, kBookFlagCount>;

struct BookSet {
  int command;       // 309 to 320
  const char* name;  // shown on the search dialog's scope button 10005
  int first;         // 0-based book range, inclusive; -1 for the sets without a fixed range
  int last;
};

// The set of a book-set command, or null for any other number.
const BookSet* findBookSet(int command);
// The flags of a named set (all 2000 for All Books). Specific Books (310) has no fixed flags.
BookFlags bookSetFlags(int command);
// "WHICHBOOKS" and "SEARCHBOOKS": both, or none when either is missing, short, names no
// book-set command or keeps no book at all.
struct StoredBookSet {
  int command;
  BookFlags flags;
};
std::optional<StoredBookSet> loadStoredBookSet(DictHandle* options);
void storeBookSet(DictHandle* options, int command, const BookFlags& flags);

}  // namespace vellum::ui
