#include "tools/import/osis_text.h"

#include <algorithm>
#include <charconv>
#include <cstdint>

#include "tools/import/import_util.h"

namespace vellum::import {
namespace {

bool isBlank(char c) { return c == ' ' || c == '\t' || c == '\n' || c == '\r'; }
bool isAsciiAlnum(char c) {
  return (c >= '0' && c <= '9') || (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z');
}
bool isAsciiLetter(char c) { return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z'); }

// Elements whose boundaries separate words or lines.
bool isBlockElement(std::string_view name) {
  static constexpr std::string_view kBlocks[] = {"l",    "lg",   "div",     "p",        "lb",
                                                 "item", "list", "chapter", "verse",    "table",
                                                 "row",  "head", "title",   "entryFree"};
  return std::find(std::begin(kBlocks), std::end(kBlocks), name) != std::end(kBlocks);
}

// Removes USFM character markers ("\nd ", "\+nd*", "\nd*") that some sources carry as text.
// An opening marker takes the blank after it with it.
std::string withoutUsfmMarkers(std::string_view text) {
  if (text.find('\\') == std::string_view::npos) return std::string(text);
  std::string out;
  std::size_t i = 0;
  while (i < text.size()) {
    if (text[i] != '\\') {
      out += text[i++];
      continue;
    }
    std::size_t j = i + 1;
    if (j < text.size() && text[j] == '+') ++j;
    const std::size_t letters = j;
    while (j < text.size() && isAsciiLetter(text[j])) ++j;
    if (j == letters) {  // a lone backslash is text
      out += text[i++];
      continue;
    }
    while (j < text.size() && text[j] >= '0' && text[j] <= '9') ++j;
    if (j < text.size() && text[j] == '*') {
      ++j;
    } else if (j < text.size() && text[j] == ' ') {
      ++j;
    }
    i = j;
  }
  return out;
}

// Lines with collapsed whitespace: the common output of the plain renderings.
class LineWriter {
 public:
  void text(std::string_view text) {
    for (char c : text) {
      if (isBlank(c)) {
        space_ = true;
        continue;
      }
      if (!out_.empty()) {
        if (break_)
          out_ += '\n';
        else if (space_ && out_.back() != '\n')
          out_ += ' ';
      }
      break_ = space_ = false;
      out_ += c;
    }
  }
  void lineBreak() { break_ = true; }
  void space() { space_ = true; }
  std::string take() { return std::move(out_); }

 private:
  std::string out_;
  bool break_ = false;
  bool space_ = false;
};

// The plain rendering; the lexicon rendering adds a head line of chosen elements.
class PlainTextBuilder {
 public:
  explicit PlainTextBuilder(bool lexicon) : lexicon_(lexicon) {}

  void tag(const OsisTag& tag) {
    if (tag.kind == OsisTag::kEnd) {
      auto at = std::find_if(open_.rbegin(), open_.rend(),
                             [&](const Open& o) { return o.name == tag.name; });
      if (at == open_.rend()) return;
      const std::size_t keep = open_.size() - 1 - (at - open_.rbegin());
      while (open_.size() > keep) {
        closeTop();
      }
      return;
    }
    Role role = Role::kKeep;
    if (tag.name == "note" || (tag.name == "orth" && tag.attribute("type") == "writing")) {
      role = Role::kDrop;
    } else if (lexicon_ && dropDepth_ == 0 && headTarget_ < 0) {
      if (tag.name == "orth" && tag.attribute("type").empty() && head_[0].empty() && !seen_[0])
        role = Role::kHead, headTarget_ = 0;
      else if (tag.name == "orth" && tag.attribute("type") == "trans" && !seen_[1])
        role = Role::kHead, headTarget_ = 1;
      else if (tag.name == "pron" && !seen_[2])
        role = Role::kHead, headTarget_ = 2;
    }
    if (role == Role::kKeep && isBlockElement(tag.name)) role = Role::kBlock;
    if (tag.name == "cell" && dropDepth_ == 0) body_.space();
    if (role == Role::kBlock && dropDepth_ == 0) body_.lineBreak();
    if (tag.kind == OsisTag::kEmpty) {
      if (role == Role::kHead) headTarget_ = -1;
      return;
    }
    if (role == Role::kDrop) ++dropDepth_;
    if (role == Role::kHead) seen_[headTarget_] = true;
    open_.push_back({tag.name, role});
  }

  void text(std::string_view text) {
    if (dropDepth_ > 0) return;
    if (headTarget_ >= 0) {
      head_[headTarget_] += text;
      return;
    }
    body_.text(withoutUsfmMarkers(text));
  }

  std::string finish() {
    std::string body = body_.take();
    if (!lexicon_) return body;
    LineWriter head;
    for (const std::string& part : head_) {
      head.text(part);
      head.space();
    }
    std::string out = head.take();
    if (!out.empty() && !body.empty()) out += '\n';
    return out + body;
  }

 private:
  enum class Role { kKeep, kDrop, kBlock, kHead };
  struct Open {
    std::string name;
    Role role;
  };
  void closeTop() {
    const Open& top = open_.back();
    if (top.role == Role::kDrop) --dropDepth_;
    if (top.role == Role::kHead) headTarget_ = -1;
    if (top.role == Role::kBlock && dropDepth_ == 0) body_.lineBreak();
    if (top.role == Role::kDrop && dropDepth_ == 0) body_.space();
    open_.pop_back();
  }

  bool lexicon_;
  LineWriter body_;
  std::vector<Open> open_;
  int dropDepth_ = 0;
  std::string head_[3];  // word, transliteration, pronunciation
  bool seen_[3] = {false, false, false};
  int headTarget_ = -1;
};

}  // namespace

std::string_view OsisTag::attribute(std::string_view attributeName) const {
  for (const auto& [name, value] : attributes)
    if (name == attributeName) return value;
  return {};
}

std::string decodeXmlText(std::string_view text) {
  std::string out;
  out.reserve(text.size());
  std::size_t i = 0;
  while (i < text.size()) {
    const char c = text[i];
    const std::size_t semicolon = c == '&' ? text.find(';', i) : std::string_view::npos;
    if (semicolon == std::string_view::npos || semicolon - i > 10) {
      out += c;
      ++i;
      continue;
    }
    const std::string_view entity = text.substr(i + 1, semicolon - i - 1);
    if (entity == "amp")
      out += '&';
    else if (entity == "lt")
      out += '<';
    else if (entity == "gt")
      out += '>';
    else if (entity == "quot")
      out += '"';
    else if (entity == "apos")
      out += '\'';
    else if (entity.size() > 1 && entity[0] == '#') {
      const bool hex = entity[1] == 'x' || entity[1] == 'X';
      const std::string_view digits = entity.substr(hex ? 2 : 1);
      std::uint32_t code = 0;
      auto [end, ec] =
          std::from_chars(digits.data(), digits.data() + digits.size(), code, hex ? 16 : 10);
      if (ec != std::errc() || end != digits.data() + digits.size() || code == 0 ||
          code > 0x10FFFF || (code >= 0xD800 && code <= 0xDFFF)) {
        out += c;
        ++i;
        continue;
      }
      appendUtf8(out, code);
    } else {
      out += c;  // an unknown entity stays as written
      ++i;
      continue;
    }
    i = semicolon + 1;
  }
  return out;
}

bool parseOsisTag(std::string_view inside, OsisTag& tag) {
  tag.attributes.clear();
  tag.name.clear();
  if (inside.empty() || inside[0] == '!' || inside[0] == '?') return false;
  tag.kind = OsisTag::kStart;
  if (inside[0] == '/') {
    tag.kind = OsisTag::kEnd;
    inside.remove_prefix(1);
  } else if (inside.back() == '/') {
    tag.kind = OsisTag::kEmpty;
    inside.remove_suffix(1);
  }
  std::size_t pos = 0;
  while (pos < inside.size() && !isBlank(inside[pos])) ++pos;
  tag.name = inside.substr(0, pos);
  if (tag.name.empty()) return false;
  while (pos < inside.size()) {
    while (pos < inside.size() && isBlank(inside[pos])) ++pos;
    const std::size_t nameStart = pos;
    while (pos < inside.size() && inside[pos] != '=' && !isBlank(inside[pos])) ++pos;
    std::string name(inside.substr(nameStart, pos - nameStart));
    while (pos < inside.size() && isBlank(inside[pos])) ++pos;
    if (pos >= inside.size() || inside[pos] != '=') {
      if (!name.empty()) tag.attributes.emplace_back(std::move(name), std::string());
      continue;
    }
    ++pos;
    while (pos < inside.size() && isBlank(inside[pos])) ++pos;
    if (pos >= inside.size()) break;
    const char quote = inside[pos];
    std::size_t valueEnd;
    if (quote == '"' || quote == '\'') {
      ++pos;
      valueEnd = inside.find(quote, pos);
      if (valueEnd == std::string_view::npos) valueEnd = inside.size();
    } else {
      valueEnd = pos;
      while (valueEnd < inside.size() && !isBlank(inside[valueEnd])) ++valueEnd;
    }
    tag.attributes.emplace_back(std::move(name), decodeXmlText(inside.substr(pos, valueEnd - pos)));
    pos = valueEnd + 1;
  }
  return true;
}

std::vector<std::string> strongsNumbers(std::string_view lemma) {
  std::vector<std::string> numbers;
  std::size_t pos = 0;
  while (pos < lemma.size()) {
    while (pos < lemma.size() && isBlank(lemma[pos])) ++pos;
    std::size_t end = pos;
    while (end < lemma.size() && !isBlank(lemma[end])) ++end;
    std::string_view token = lemma.substr(pos, end - pos);
    pos = end;
    if (!token.starts_with("strong:")) continue;
    token.remove_prefix(7);
    if (!token.empty() &&
        (token[0] == 'H' || token[0] == 'G' || token[0] == 'h' || token[0] == 'g'))
      token.remove_prefix(1);
    std::size_t digits = 0;
    while (digits < token.size() && token[digits] >= '0' && token[digits] <= '9') ++digits;
    token = token.substr(0, digits);
    while (!token.empty() && token[0] == '0') token.remove_prefix(1);
    if (!token.empty()) numbers.emplace_back(token);
  }
  return numbers;
}

// ---- Verse text ----

void VerseTextBuilder::tag(const OsisTag& tag) {
  if (tag.kind == OsisTag::kEnd)
    end(tag.name);
  else
    start(tag, tag.kind == OsisTag::kEmpty);
}

void VerseTextBuilder::start(const OsisTag& tag, bool empty) {
  Role role = Role::kKeep;
  const std::string_view name = tag.name;
  if (name == "note" || name == "speaker" || name == "index" || name == "figure" ||
      (name == "title" && tag.attribute("canonical") != "true")) {
    role = Role::kDrop;
  } else if (name == "transChange" && tag.attribute("type") == "added") {
    role = Role::kAdded;
  } else if (name == "w") {
    role = Role::kWord;
  } else if (name == "divineName") {
    role = Role::kDivineName;
  } else if (isBlockElement(name)) {
    role = Role::kBlock;
  }
  if (dropDepth_ > 0) {
    if (!empty) open_.push_back({tag.name, Role::kKeep, {}});
    return;
  }
  // What follows the end of a chapter or book within a verse's markup (a glossary appended
  // to the last verse, a letter's subscription) is not the verse's text.
  if (empty && (name == "chapter" || (name == "div" && tag.attribute("type") == "book"))) {
    if (!tag.attribute("eID").empty()) afterChapter_ = true;
    if (!tag.attribute("sID").empty()) afterChapter_ = false;
  }
  if (role == Role::kBlock) pendingSpace_ = true;
  if (empty) return;
  Open open{tag.name, role, {}};
  if (role == Role::kDrop) ++dropDepth_;
  if (role == Role::kDivineName) ++divineNameDepth_;
  if (role == Role::kAdded) put('[');
  if (role == Role::kWord) {
    // A word starting right after another's numbers is a new word, not a continuation.
    if (!pendingNumbers_.empty()) {
      flushNumbers();
      pendingSpace_ = true;
    }
    if (strongs_) open.numbers = strongsNumbers(tag.attribute("lemma"));
  }
  open_.push_back(std::move(open));
}

void VerseTextBuilder::end(std::string_view name) {
  auto at =
      std::find_if(open_.rbegin(), open_.rend(), [&](const Open& o) { return o.name == name; });
  if (at == open_.rend()) return;  // a stray end tag
  const std::size_t keep = open_.size() - 1 - (at - open_.rbegin());
  while (open_.size() > keep) {
    close(open_.back());
    open_.pop_back();
  }
}

void VerseTextBuilder::close(Open& open) {
  if (open.role == Role::kDrop) {
    if (--dropDepth_ == 0) softSpace_ = true;
    return;
  }
  if (dropDepth_ > 0) return;
  switch (open.role) {
    case Role::kAdded:
      put(']');
      break;
    case Role::kWord:
      for (std::string& number : open.numbers) pendingNumbers_.push_back(std::move(number));
      break;
    case Role::kBlock:
      pendingSpace_ = true;
      break;
    case Role::kDivineName:
      --divineNameDepth_;
      break;
    default:
      break;
  }
}

void VerseTextBuilder::text(std::string_view text) {
  if (dropDepth_ > 0 || afterChapter_) return;
  for (char c : withoutUsfmMarkers(text)) put(c);
}

void VerseTextBuilder::put(char c) {
  if (isBlank(c)) {
    flushNumbers();
    pendingSpace_ = true;
    return;
  }
  // Letters right after a word's end still belong to the written word ("LORD</w>’s"), unless
  // a dropped note stood between them.
  if (!pendingNumbers_.empty() && (c == '[' || (softSpace_ && isAsciiAlnum(c)))) {
    flushNumbers();
    pendingSpace_ = true;
  }
  if (!out_.empty() && out_.back() != ' ' &&
      (pendingSpace_ || (softSpace_ && (isAsciiAlnum(c) || c == '['))))
    out_ += ' ';
  pendingSpace_ = softSpace_ = false;
  // The possessive ending stays as written: "LORD’s".
  const bool possessive = out_.ends_with('\'') || out_.ends_with("\u2019");
  out_ += divineNameDepth_ > 0 && !possessive && c >= 'a' && c <= 'z'
              ? static_cast<char>(c - 'a' + 'A')
              : c;
}

void VerseTextBuilder::flushNumbers() {
  for (const std::string& number : pendingNumbers_) {
    out_ += ' ';
    out_ += number;
  }
  pendingNumbers_.clear();
}

std::string VerseTextBuilder::finish() {
  flushNumbers();
  return out_;
}

// ---- Whole fragments ----

std::string osisVerseText(std::string_view fragment, bool strongs) {
  VerseTextBuilder builder(strongs);
  readOsisFragment(
      fragment, [&](const OsisTag& tag) { builder.tag(tag); },
      [&](std::string_view text) { builder.text(text); });
  return builder.finish();
}

std::string osisPlainText(std::string_view fragment) {
  PlainTextBuilder builder(false);
  readOsisFragment(
      fragment, [&](const OsisTag& tag) { builder.tag(tag); },
      [&](std::string_view text) { builder.text(text); });
  return builder.finish();
}

std::string osisLexiconText(std::string_view fragment) {
  PlainTextBuilder builder(true);
  readOsisFragment(
      fragment, [&](const OsisTag& tag) { builder.tag(tag); },
      [&](std::string_view text) { builder.text(text); });
  return builder.finish();
}

}  // namespace vellum::import
