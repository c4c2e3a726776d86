#include "tools/import/osis_file.h"

#include <algorithm>
#include <cerrno>
#include <charconv>
#include <cstring>
#include <fstream>
#include <iterator>
#include <optional>
#include <pugixml.hpp>

#include "tools/import/osis_books.h"
#include "tools/import/osis_text.h"

namespace vellum::import {
namespace {

struct VerseId {
  std::string book;
  int chapter = 0;
  int verse = 0;
};

// "Gen.1.1" (an optional work prefix "Bible:" and a grain "!a" are allowed and ignored).
std::optional<VerseId> parseVerseId(std::string_view id) {
  if (const auto colon = id.find(':'); colon != std::string_view::npos) id.remove_prefix(colon + 1);
  if (const auto bang = id.find('!'); bang != std::string_view::npos) id = id.substr(0, bang);
  const auto dot1 = id.find('.');
  const auto dot2 = dot1 == std::string_view::npos ? dot1 : id.find('.', dot1 + 1);
  if (dot2 == std::string_view::npos) return std::nullopt;
  VerseId v;
  v.book = id.substr(0, dot1);
  const std::string_view c = id.substr(dot1 + 1, dot2 - dot1 - 1), n = id.substr(dot2 + 1);
  auto [ce, cerr] = std::from_chars(c.data(), c.data() + c.size(), v.chapter);
  auto [ne, nerr] = std::from_chars(n.data(), n.data() + n.size(), v.verse);
  if (cerr != std::errc() || ce != c.data() + c.size() || nerr != std::errc() ||
      ne != n.data() + n.size() || v.book.empty() || v.chapter < 1 || v.verse < 1)
    return std::nullopt;
  return v;
}

std::vector<std::string_view> splitBlanks(std::string_view text) {
  std::vector<std::string_view> parts;
  std::size_t pos = 0;
  while (pos < text.size()) {
    while (pos < text.size() && text[pos] == ' ') ++pos;
    std::size_t end = text.find(' ', pos);
    if (end == std::string_view::npos) end = text.size();
    if (end > pos) parts.push_back(text.substr(pos, end - pos));
    pos = end;
  }
  return parts;
}

class OsisWalker {
 public:
  OsisWalker(const std::string& text, const OsisReadOptions& options,
             std::vector<VerseLine>& verses)
      : options_(options), verses_(verses) {
    for (std::size_t i = 0; i < text.size(); ++i)
      if (text[i] == '\n') lineStarts_.push_back(i + 1);
  }

  bool walk(const pugi::xml_node& node) {
    for (pugi::xml_node child : node.children()) {
      if (child.type() == pugi::node_pcdata || child.type() == pugi::node_cdata) {
        if (current_)
          current_->text(child.value());
        else if (title_)
          title_->text(child.value());
        continue;
      }
      if (child.type() != pugi::node_element) continue;
      const std::string_view name = child.name();
      if (name == "verse") {
        if (!verse(child)) return false;
        continue;
      }
      OsisTag tag;
      tag.name = name;
      for (pugi::xml_attribute a : child.attributes())
        tag.attributes.emplace_back(a.name(), a.value());
      const bool empty = !child.first_child();
      tag.kind = empty ? OsisTag::kEmpty : OsisTag::kStart;
      // A canonical title outside a verse belongs to the verse after it.
      const bool outsideTitle =
          !current_ && !title_ && name == "title" && tag.attribute("canonical") == "true";
      if (outsideTitle) title_.emplace(options_.strongs);
      if (current_)
        current_->tag(tag);
      else if (title_ && !outsideTitle)
        title_->tag(tag);
      if (!empty) {
        if (!walk(child)) return false;
        OsisTag end;
        end.kind = OsisTag::kEnd;
        end.name = name;
        if (current_)
          current_->tag(end);
        else if (title_ && !outsideTitle)
          title_->tag(end);
      }
      if (outsideTitle) {
        pendingTitle_ += (pendingTitle_.empty() ? "" : " ") + title_->finish();
        title_.reset();
      }
    }
    return true;
  }

  bool finish() {
    if (current_) endVerse();
    return error_.empty();
  }
  const std::string& error() const { return error_; }

 private:
  int lineOf(const pugi::xml_node& node) const {
    const auto offset = static_cast<std::size_t>(std::max<std::ptrdiff_t>(0, node.offset_debug()));
    return static_cast<int>(std::upper_bound(lineStarts_.begin(), lineStarts_.end(), offset) -
                            lineStarts_.begin()) +
           1;
  }

  bool fail(const pugi::xml_node& node, const std::string& what) {
    error_ = "line " + std::to_string(lineOf(node)) + ": " + what;
    return false;
  }

  bool verse(const pugi::xml_node& node) {
    // A verse of either form inside a container verse would end the container's text while
    // its walk goes on.
    if (inContainer_) return fail(node, "a verse inside another verse");
    if (node.attribute("eID")) {
      if (current_) endVerse();
      return true;
    }
    if (current_) endVerse();  // a milestone verse closes the one before it
    const std::string_view ids = node.attribute("osisID").value();
    const auto parts = splitBlanks(ids);
    if (parts.empty()) return fail(node, "a verse without an osisID");
    const int line = lineOf(node);
    bool first = true;
    for (std::string_view part : parts) {
      const auto id = parseVerseId(part);
      if (!id)
        return fail(node, "\"" + std::string(part) + "\" is not a verse reference (Book.C.V)");
      const int book = canonBookIndex(id->book);
      if (book < 0) {
        if (options_.canonOnly) continue;
        return fail(node, "the book \"" + id->book +
                              "\" is not one of the 66 books the module can name (use --books 66 "
                              "to leave such books out)");
      }
      if (book == lastBook_ &&
          (id->chapter < lastChapter_ || (id->chapter == lastChapter_ && id->verse <= lastVerse_)))
        return fail(node, std::string(part) + " does not follow " + id->book + "." +
                              std::to_string(lastChapter_) + "." + std::to_string(lastVerse_) +
                              " (verses out of order)");
      lastBook_ = book;
      lastChapter_ = id->chapter;
      lastVerse_ = id->verse;
      verses_.push_back({std::string(canonBooks()[book].displayName), id->chapter, id->verse,
                         std::string(), line});
      if (first) {
        first = false;
        index_ = verses_.size() - 1;
      }
    }
    if (first) {  // every verse it names is left out
      pendingTitle_.clear();
      return true;
    }
    current_.emplace(options_.strongs);
    if (!pendingTitle_.empty()) {
      current_->text(pendingTitle_);
      current_->text(" ");
      pendingTitle_.clear();
    }
    if (node.first_child()) {  // a container verse
      inContainer_ = true;
      if (!walk(node)) return false;
      inContainer_ = false;
      endVerse();
    }
    return true;
  }

  void endVerse() {
    verses_[index_].text = current_->finish();
    current_.reset();
  }

  const OsisReadOptions& options_;
  std::vector<VerseLine>& verses_;
  std::vector<std::size_t> lineStarts_;
  std::optional<VerseTextBuilder> current_;
  std::optional<VerseTextBuilder> title_;
  std::string pendingTitle_;
  std::size_t index_ = 0;
  int lastBook_ = -1, lastChapter_ = 0, lastVerse_ = 0;
  bool inContainer_ = false;
  std::string error_;
};

}  // namespace

bool readOsisFile(const std::string& path, const OsisReadOptions& options,
                  std::vector<VerseLine>& verses, std::string& error) {
  std::ifstream in(path, std::ios::binary);
  if (!in) {
    error = std::string("cannot open: ") + std::strerror(errno);
    return false;
  }
  const std::string text((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  if (in.bad()) {
    error = "cannot read the file";
    return false;
  }
  pugi::xml_document document;
  const pugi::xml_parse_result parsed =
      document.load_buffer(text.data(), text.size(), pugi::parse_default | pugi::parse_ws_pcdata);
  if (!parsed) {
    const auto offset = static_cast<std::size_t>(std::max<std::ptrdiff_t>(0, parsed.offset));
    const auto line =
        1 + std::count(text.begin(), text.begin() + std::min(offset, text.size()), '\n');
    error = "line " + std::to_string(line) + ": not well-formed XML: " + parsed.description();
    return false;
  }
  OsisWalker walker(text, options, verses);
  if (!walker.walk(document) || !walker.finish()) {
    error = walker.error();
    return false;
  }
  if (verses.empty()) {
    error = "no verses (<verse osisID=...>) found";
    return false;
  }
  return true;
}

}  // namespace vellum::import
