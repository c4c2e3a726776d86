// Turning OSIS markup into the texts the data files hold.
//
// Three renderings share one reader:
// - Verse text (Bible modules): the words of Scripture on one line, whitespace collapsed.
//   * Each Strong's number of a word (`<w lemma="strong:H7225">`, several lemmas separated by
//     blanks) follows the word and the punctuation that closes it, as a space and the number
//     without leading zeros: "the earth. 776", "the world, 2889". A number waits for the next
//     blank, opening bracket or word element, or the verse's end; what comes before that
//     (punctuation, closing quotes, which are not ASCII, a possessive "’s") stays attached to
//     its word first.
//   * Added words (`<transChange type="added">`) stand in square brackets, as printed Bibles
//     set them in italics.
//   * The divine name (`<divineName>Lord</divineName>`), which printed Bibles set in small
//     capitals, is written in capitals ("LORD"); a possessive ending stays ("LORD’s").
//   * Notes and titles that are not Scripture (section headings, Psalm 119's stanza names) are
//     left out; canonical titles (`<title canonical="true">`, the psalm titles) stay where the
//     verse holds them.
//   * Block boundaries (lines of poetry, paragraphs, line breaks) read as a blank; a dropped
//     note between two words (`God</w><note>...</note><w>created`) leaves a blank between them,
//     so the words do not run together.
//   * Text after a chapter's or book's end milestone (`<chapter eID="..."/>`) is not the
//     verse's: a glossary appended to a Bible's last verse, an epistle's subscription.
//   * Stray USFM character markers left in a source's text ("the \nd LORD\+nd*") are removed.
// - Plain text (commentary entries): the text with line feeds at block boundaries (titles,
//   paragraphs, line breaks, table rows), each line's whitespace collapsed, blank lines and
//   notes dropped.
// - Lexicon entries: the original word, its transliteration and its pronunciation on the first
//   line, then the rest of the entry as plain text; the Beta Code spelling
//   (`<orth type="writing">`) is left out.
//
// The reader takes fragments as SWORD modules store them: one verse's markup, which need not
// be well-formed on its own (containers that open in one verse and close in another, a source
// with a stray end tag). An end tag closes the nearest open element of its name and those
// opened inside it; an end tag with no open element of its name is ignored. Character
// references and the five XML entities are decoded.
#pragma once

#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace vellum::import {

// One start, empty or end tag.
struct OsisTag {
  enum Kind { kStart, kEmpty, kEnd };
  Kind kind = kStart;
  std::string name;
  std::vector<std::pair<std::string, std::string>> attributes;

  // The attribute's value, or "" when the tag has none of that name.
  std::string_view attribute(std::string_view attributeName) const;
};

// Builds one verse's text from the events of its markup (the fragment reader below, or a
// well-formed file's walker).
class VerseTextBuilder {
 public:
  explicit VerseTextBuilder(bool strongs = true) : strongs_(strongs) {}

  void tag(const OsisTag& tag);
  void text(std::string_view text);
  // The text so far with pending numbers written; the builder may go on afterwards.
  std::string finish();
  bool empty() const { return out_.empty() && pendingNumbers_.empty(); }

 private:
  enum class Role { kKeep, kDrop, kAdded, kWord, kBlock, kDivineName };
  struct Open {
    std::string name;
    Role role;
    std::vector<std::string> numbers;  // a word's Strong's numbers
  };
  void start(const OsisTag& tag, bool empty);
  void end(std::string_view name);
  void close(Open& open);
  void put(char c);
  void flushNumbers();

  bool strongs_;
  std::string out_;
  std::vector<Open> open_;
  int dropDepth_ = 0;
  int divineNameDepth_ = 0;
  bool afterChapter_ = false;  // past a chapter's or book's end milestone
  std::vector<std::string> pendingNumbers_;
  bool pendingSpace_ = false;  // a blank before the next character
  bool softSpace_ = false;     // a blank before the next character if it is a letter or digit
};

// Calls onTag and onText for each tag and each run of text of a fragment, in order. Text is
// decoded; malformed markup ('<' without '>') is taken as text.
template <typename OnTag, typename OnText>
void readOsisFragment(std::string_view fragment, OnTag&& onTag, OnText&& onText);

// The verse text of one fragment of OSIS markup.
std::string osisVerseText(std::string_view fragment, bool strongs = true);

// The plain text of a fragment, lines separated by line feeds.
std::string osisPlainText(std::string_view fragment);

// A lexicon entry's text: "WORD TRANSLITERATION PRONUNCIATION", then the definition's lines.
std::string osisLexiconText(std::string_view fragment);

// Decodes the XML entities and character references of text.
std::string decodeXmlText(std::string_view text);

// The Strong's numbers of a lemma attribute ("strong:H0430 strong:H853" gives 430 and 853),
// without leading zeros; lemmas of other kinds and the number 0 are skipped.
std::vector<std::string> strongsNumbers(std::string_view lemma);

// Parses one tag's inside (between '<' and '>'). False when it is not a tag (a comment, a
// processing instruction, an empty name).
bool parseOsisTag(std::string_view inside, OsisTag& tag);

template <typename OnTag, typename OnText>
void readOsisFragment(std::string_view fragment, OnTag&& onTag, OnText&& onText) {
  std::size_t pos = 0;
  OsisTag tag;
  while (pos < fragment.size()) {
    const std::size_t open = fragment.find('<', pos);
    const std::size_t close = open == std::string_view::npos ? open : fragment.find('>', open);
    if (open == std::string_view::npos || close == std::string_view::npos) {
      onText(decodeXmlText(fragment.substr(pos)));
      return;
    }
    if (open > pos) onText(decodeXmlText(fragment.substr(pos, open - pos)));
    if (parseOsisTag(fragment.substr(open + 1, close - open - 1), tag)) onTag(tag);
    pos = close + 1;
  }
}

}  // namespace vellum::import
