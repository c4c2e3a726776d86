// THilight: the coloured highlights of one Bible module, kept per chapter and word position in
// a dictionary store beside the module ("kjv.bib" keeps them in "kjv.hil").
//
// Store layout: one item per chapter that was ever highlighted, keyed "%d:%d" with the chapter
// first and the 0-based book index second ("1:0" is Genesis 1). Its data is an array of
// little-endian u32 codes, one per word position from 0, as long as one past the highest
// position ever set; positions past its end have no highlight.
//
// Codes: 0 red, 1 blue, 2 green, 3 yellow, 4 none. At most 4000 positions per chapter.
//
// One chapter is cached: a look-up for a Reference that differs from the cached one in any of
// its three bytes reloads the cache from the store, so a Bible window painting one chapter
// reads the store once. The window drops the cache when it shows a chapter (forget), so
// highlights set meanwhile by another program appear then; a change reads the chapter afresh
// under the store's lock, so it never undoes theirs.
#pragma once

#include <array>
#include <cstdint>
#include <string>

#include "engine/bible/bible.h"

namespace vellum {
struct DictHandle;
}

namespace vellum::ui {

inline constexpr int kHilightPositions = 4000;
inline constexpr int kHilightNone = 4;

class THilight {
 public:
  // Opens the module's store, creating it beside the module when there is none. A store that
  // exists but cannot be opened (damaged, unreadable) is left alone: highlighting is then off.
  explicit THilight(BibleHandle* module);
  ~THilight();
  THilight(const THilight&) = delete;
  THilight& operator=(const THilight&) = delete;

  // The code of a word position of the chapter (the Reference's book and chapter): 0 to 4,
  // 4 for positions that were never set or lie outside 0 to 3999.
  int getHilight(Reference chapter, int position);
  // Sets the code of every position from the smaller to the larger of first and last
  // (inclusive) and stores the chapter's array. Positions outside 0 to 3999 and codes outside
  // 0 to 4 are ignored; nothing is written when the store cannot be written. False when the
  // change was refused or failed (isBusy on the store tells whether another program held it).
  bool setHilight(Reference chapter, int first, int last, int code);
  // Drops the cached chapter: the next look-up reads the store again.
  void forget();
  // A store is open and may be written.
  bool canHilight() const;

  // The store's bare file name (the module's with the extension "hil").
  const std::string& storeName() const { return storeName_; }
  // The last change was refused because another program held the store.
  bool busy() const;
  // The key of a chapter's item: "%d:%d", chapter then book.
  static std::string chapterKey(Reference chapter);

 private:
  void loadChapter(Reference chapter);

  DictHandle* store_ = nullptr;
  BibleHandle* module_ = nullptr;
  std::string storeName_;
  Reference cachedReference_{0, 0, 0};
  std::uint16_t cachedCount_ = 0;
  std::array<std::uint32_t, kHilightPositions> cache_{};
};

}  // namespace vellum::ui
