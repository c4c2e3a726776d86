// Composing the text that Copy, Append and Print hand on: the selection of a Bible window (as
// it stands, as a quotation with its reference, or with book and chapter before every line),
// the window's whole chapter, the verses found by the last search, or the clipboard's text.
//
// Everything here works on plain strings and an open module, so it runs without any window.
// Texts are UTF-8 bytes with line feeds between lines. A composed text holds at most
// kMaxChapterText bytes (the chapter buffer less its terminator); anything beyond is cut, and
// never inside a character.
#pragma once

#include <optional>
#include <string>
#include <vector>

#include "engine/bible/bible.h"

namespace vellum::ui {

// What the Bible window puts between a chapter and the notes it shows below it; the notes'
// lines ("16. text") follow.
inline constexpr const char* kNotesHeading = "\n\nNotes:\n-----------------------\n";

// Where the text comes from; the values are the identifiers of the dialogs' radio buttons.
enum class PassageSource : int {
  Selection = 10000,
  Chapter = 10001,
  VersesFound = 10002,
  Clipboard = 11072,  // printing only
};

// What composePassage reads. Only the field of the chosen source needs to be filled.
struct PassageInputs {
  PassageSource source = PassageSource::Selection;
  bool quotation = false;       // the selection as a quotation (check box 10006)
  bool bookAndChapter = false;  // book and chapter in front (check box 10004)
  std::string caption;          // the Bible window's caption: "John 3:16 - King James Version"
  std::string selection;        // the window's selected text, separators included
  std::string chapterText;      // the window's whole displayed text
  std::vector<std::string> versesFound;  // the verses-found box's entries, in box order
  std::optional<std::string> clipboard;  // the clipboard's text; none when it holds no text
  BibleHandle* module = nullptr;         // the window's module
};

// The composed text, with every '[' and ']' removed. An empty selection, chapter, box or
// clipboard gives the empty text; an entry of the box that the module cannot parse is passed
// over.
std::string composePassage(const PassageInputs& inputs);

// Rewrites lines as the Bible window shows them ("16 For God so loved...") into one quoted
// paragraph: `"For God so loved... He that believeth..."`, headed with bookAndChapter by the
// reference of the whole verses it holds ("John 3:16-18, "). Lines that do not begin with a
// verse number and a blank are dropped, as is everything from the notes' heading on; when none
// does, the head is the reference's book and chapter and the quotation is the first line after
// three dots ("John 3, "...loved the world"").
void formatQuotation(std::string& text, Reference reference, bool bookAndChapter,
                     BibleHandle* module);

// The clipboard's form of a composed text: every line feed becomes carriage return and line
// feed.
std::string clipboardLineEnds(const std::string& text);

// Append's new clipboard text: the old text, one line feed, and the new text.
std::string appendedClipboardText(const std::string& oldText, const std::string& newText);

}  // namespace vellum::ui
