#include "tools/import/module_writer.h"

#include <algorithm>
#include <cerrno>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <memory>
#include <random>
#include <span>
#include <string_view>
#include <unordered_map>
#include <unordered_set>

#include "engine/bible/bible.h"
#include "engine/bible/module_format.h"
#include "engine/bible/strngtbl.h"
#include "support/codec.h"
#include "support/endian.h"
#include "support/files.h"
#include "support/strings.h"
#include "support/unicode.h"

namespace vellum::import {
namespace {

// Limits of the format. Verse lists hold 31200 slots and a terminator, and a phrase search's
// candidates must stay below 31200, so a module holds at most 31199 verses. Word counts are
// 16-bit and word-number lists are sized by the count, so 65535 itself is kept out too.
constexpr std::uint32_t kMaxVerses = format::kMaxVerseCount - 1;
constexpr std::size_t kMaxModuleWords = kMaxWords - 1;
constexpr int kMaxChaptersInBook = 255;  // Reference fields are 8 bits
constexpr int kMaxVersesInChapter = 255;
constexpr int kMaxDisplayName = format::kNameSize - 1;

struct Chapter {
  std::uint8_t book = 0;
  std::uint8_t number = 0;
  std::uint16_t firstVerse = 0;
  std::string text;
};

struct ModulePlan {
  std::vector<std::string> books;
  std::vector<Chapter> chapters;
  std::uint32_t verseCount = 0;
  std::unordered_map<std::string, std::vector<std::uint16_t>> postings;
};

std::string inQuotes(std::string_view s) {
  constexpr std::size_t kShown = 40;
  if (s.size() <= kShown) return "\"" + std::string(s) + "\"";
  return "\"" + std::string(s.substr(0, kShown)) + "...\"";
}

std::string at(const VerseLine& v, const std::string& what) {
  return "line " + std::to_string(v.line) + ": " + what;
}

std::string place(const VerseLine& v) {
  return v.book + " " + std::to_string(v.chapter) + ":" + std::to_string(v.verse);
}

// A name the reference parser can reach: it normalises typed text to single spaces and
// "1John" to "1 John" before comparing, so a stored name must already have that form.
bool checkBookName(const VerseLine& v, std::string& error) {
  const std::string& name = v.book;
  if (name.size() > static_cast<std::size_t>(kMaxBookNameLength)) {
    error = at(v, "book name " + inQuotes(name) + " is " + std::to_string(name.size()) +
                      " characters long; a book name holds at most 28");
    return false;
  }
  if (name.front() == ' ' || name.back() == ' ' || name.find("  ") != std::string::npos) {
    error = at(v, "book name " + inQuotes(name) +
                      " begins or ends with a space or holds two in a row; the reference "
                      "parser could never match it");
    return false;
  }
  // The module's book names end at a NUL: the engine refuses a name holding one.
  if (name.find('\0') != std::string::npos) {
    error = at(v, "book name " + inQuotes(name) + " holds a NUL byte");
    return false;
  }
  if (isDigit(name[0]) && (name.size() < 3 || name[1] != ' ')) {
    error = at(v, "book name " + inQuotes(name) +
                      " must be written as digit, space, name (for example \"1 John\")");
    return false;
  }
  return true;
}

bool addWords(const VerseLine& v, std::uint16_t verse, ModulePlan& plan, std::string& error) {
  for (std::string& word : indexWords(v.text)) {
    if (word.size() > static_cast<std::size_t>(kMaxWordLength)) {
      error = at(v, "the word " + inQuotes(word) + " is " + std::to_string(word.size()) +
                        " characters long; a word holds at most 254");
      return false;
    }
    auto [it, added] = plan.postings.try_emplace(std::move(word));
    if (added && plan.postings.size() > kMaxModuleWords) {
      error = at(v, "the word " + inQuotes(it->first) + " is the module's 65535th distinct word; " +
                        "a module holds at most 65534 words");
      return false;
    }
    if (it->second.empty() || it->second.back() != verse) it->second.push_back(verse);
  }
  return true;
}

// Checks order and limits and gathers chapters and postings; the first fault ends it.
bool planModule(const std::vector<VerseLine>& lines, ModulePlan& plan, std::string& error) {
  if (lines.empty()) {
    error = "the input holds no verses";
    return false;
  }
  std::unordered_set<std::string> seenBooks;
  int lastVerse = 0;
  for (const VerseLine& v : lines) {
    if (v.text.find('\0') != std::string::npos) {
      error = at(v, "the text of " + place(v) + " holds a NUL byte");
      return false;
    }
    bool newChapter = false;
    if (plan.books.empty() || v.book != plan.books.back()) {
      if (seenBooks.contains(v.book)) {
        error = at(v, "book " + inQuotes(v.book) + " appears again after " +
                          inQuotes(plan.books.back()) + " (each book's verses must be together)");
        return false;
      }
      if (plan.books.size() == static_cast<std::size_t>(kMaxBooks)) {
        error = at(
            v, "book " + inQuotes(v.book) + " would be book 81; a module holds at most 80 books");
        return false;
      }
      if (!checkBookName(v, error)) return false;
      if (v.chapter != 1) {
        error = at(v, "book " + v.book + " starts at chapter " + std::to_string(v.chapter) +
                          " (chapters must start at 1 and ascend without gaps)");
        return false;
      }
      seenBooks.insert(v.book);
      plan.books.push_back(v.book);
      newChapter = true;
    } else if (v.chapter != plan.chapters.back().number) {
      int previous = plan.chapters.back().number;
      if (v.chapter != previous + 1) {
        error =
            at(v, "chapter " + std::to_string(v.chapter) + " of " + v.book + " follows chapter " +
                      std::to_string(previous) + " (chapters must ascend without gaps)");
        return false;
      }
      if (v.chapter > kMaxChaptersInBook) {
        error = at(v, "chapter " + std::to_string(v.chapter) + " of " + v.book +
                          ": a book holds at most 255 chapters");
        return false;
      }
      newChapter = true;
    }
    if (newChapter) {
      if (v.verse != 1) {
        error = at(v, v.book + " " + std::to_string(v.chapter) + " starts at verse " +
                          std::to_string(v.verse) +
                          " (verses must start at 1 and ascend without gaps)");
        return false;
      }
    } else {
      if (v.verse != lastVerse + 1) {
        error = at(v, place(v) + " follows verse " + std::to_string(lastVerse) +
                          " (verses must ascend without gaps)");
        return false;
      }
      if (v.verse > kMaxVersesInChapter) {
        error = at(v, place(v) + ": a chapter holds at most 255 verses");
        return false;
      }
    }
    if (plan.verseCount == kMaxVerses) {
      error = at(v, place(v) + " would be the module's 31200th verse; a module holds at most " +
                        "31199 verses");
      return false;
    }
    if (newChapter) {
      Chapter chapter;
      chapter.book = static_cast<std::uint8_t>(plan.books.size() - 1);
      chapter.number = static_cast<std::uint8_t>(v.chapter);
      chapter.firstVerse = static_cast<std::uint16_t>(plan.verseCount);
      plan.chapters.push_back(std::move(chapter));
    }
    std::string& text = plan.chapters.back().text;
    if (!newChapter) text += '\n';
    text += std::to_string(v.verse);
    text += ' ';
    text += v.text;
    if (text.size() > static_cast<std::size_t>(kMaxChapterText)) {
      error = at(v, "the text of " + v.book + " " + std::to_string(v.chapter) + " reaches " +
                        std::to_string(text.size()) + " characters here; a chapter's text holds " +
                        "at most 32765");
      return false;
    }
    if (!addWords(v, static_cast<std::uint16_t>(plan.verseCount), plan, error)) return false;
    lastVerse = v.verse;
    ++plan.verseCount;
  }
  return true;
}

void putChapterRecord(const std::string& text, std::vector<std::uint8_t>& out) {
  const int length = static_cast<int>(text.size());
  std::vector<std::uint8_t> encoded(static_cast<std::size_t>(encodeBound(length)));
  int encodedLength = 0;
  Encode(encoded.data(), &encodedLength, reinterpret_cast<const std::uint8_t*>(text.data()),
         length);
  // Equal lengths tell the reader the text is stored as is, so a tie must not be compressed.
  const bool compress = encodedLength < length;
  le::put16(out, static_cast<std::uint16_t>(length));
  if (compress) {
    le::put16(out, static_cast<std::uint16_t>(encodedLength));
    out.insert(out.end(), encoded.begin(), encoded.begin() + encodedLength);
  } else {
    le::put16(out, static_cast<std::uint16_t>(length));
    le::putBytes(out, text);
  }
}

bool fitsOffset(const std::vector<std::uint8_t>& bytes) { return bytes.size() <= UINT32_MAX; }

// Everything before the string table, laid out as the header above says. words receives the
// module's words in byte order (the order createStrngTbl numbers them in).
bool layOutModule(const std::string& displayName, const ModulePlan& plan,
                  std::vector<std::string>& words, std::vector<std::uint8_t>& out,
                  std::string& error) {
  format::ModuleHeader header;
  std::copy(displayName.begin(), displayName.end(), header.name.begin());
  header.bookCount = static_cast<std::uint32_t>(plan.books.size());
  header.chapterCount = static_cast<std::uint32_t>(plan.chapters.size());
  header.verseCount = plan.verseCount;

  out.assign(format::kHeaderSize, 0);
  header.bookNamesOffset = static_cast<std::uint32_t>(out.size());
  for (const std::string& book : plan.books) {
    le::putBytes(out, book);
    le::put8(out, '\n');
  }
  header.chapterIndexOffset = static_cast<std::uint32_t>(out.size());
  const std::size_t indexSize = plan.chapters.size() * format::kChapterEntrySize;
  out.resize(out.size() + indexSize);
  std::vector<format::ChapterEntry> entries;
  for (const Chapter& chapter : plan.chapters) {
    entries.push_back(
        {chapter.book, chapter.number, chapter.firstVerse, static_cast<std::uint32_t>(out.size())});
    putChapterRecord(chapter.text, out);
    if (!fitsOffset(out)) break;
  }
  std::vector<std::uint8_t> index;
  for (const format::ChapterEntry& entry : entries) format::encodeChapterEntry(entry, index);
  std::copy(index.begin(), index.end(), out.begin() + header.chapterIndexOffset);

  words.clear();
  for (const auto& [word, verses] : plan.postings) words.push_back(word);
  std::sort(words.begin(), words.end(), [](const std::string& a, const std::string& b) {
    return compareInOrdering(a.c_str(), b.c_str(), kByteOrder) < 0;
  });
  header.wordCount = static_cast<std::uint32_t>(words.size());
  header.wordIndexOffset = static_cast<std::uint32_t>(out.size());
  std::size_t slot = out.size();
  out.resize(out.size() + words.size() * 4);
  for (const std::string& word : words) {
    le::store32(out.data() + slot, static_cast<std::uint32_t>(out.size()));
    slot += 4;
    const std::vector<std::uint16_t>& verses = plan.postings.at(word);
    le::put16(out, static_cast<std::uint16_t>(verses.size()));
    for (std::uint16_t verse : verses) le::put16(out, verse);
    if (!fitsOffset(out)) break;
  }
  if (!fitsOffset(out)) {
    error = "the module would exceed 4 GiB, beyond its 32-bit offsets";
    return false;
  }
  header.stringTableOffset = static_cast<std::uint32_t>(out.size());

  std::vector<std::uint8_t> headerBytes;
  format::encodeHeader(header, headerBytes);
  std::copy(headerBytes.begin(), headerBytes.end(), out.begin());
  return true;
}

// The temporary file beside the target: removed when the build fails anywhere.
class TemporaryOutput {
 public:
  ~TemporaryOutput() {
    if (stream_) std::fclose(stream_);
    if (!path_.empty() && !committed_) {
      std::error_code ignored;
      std::filesystem::remove(path_, ignored);
    }
  }

  bool create(const std::filesystem::path& target, std::string& error) {
    std::random_device random;
    const std::filesystem::path directory =
        target.has_parent_path() ? target.parent_path() : std::filesystem::path(".");
    for (int attempt = 0; attempt < 100; ++attempt) {
      char suffix[16];
      std::snprintf(suffix, sizeof suffix, ".%08x", static_cast<unsigned>(random()));
      std::filesystem::path candidate =
          directory / ("." + target.filename().string() + suffix + ".tmp");
      // "x": never reuse a file someone else is writing.
      stream_ = std::fopen(candidate.c_str(), "wb+x");
      if (stream_) {
        path_ = candidate;
        return true;
      }
      if (errno != EEXIST) {
        error = "cannot create a file in " + directory.string() + ": " + std::strerror(errno);
        return false;
      }
    }
    error = "cannot find a free temporary name in " + directory.string();
    return false;
  }

  std::FILE* stream() const { return stream_; }

  // Closes the file after committing it to disk; false (with error) when anything failed.
  bool close(std::string& error) {
    bool ok = flush(stream_) == 0;
    ok = (std::fclose(stream_) == 0) && ok;
    stream_ = nullptr;
    if (!ok) error = "cannot write " + path_.string() + ": " + std::strerror(errno);
    return ok;
  }

  bool renameTo(const std::filesystem::path& target, std::string& error) {
    if (!renameDurably(path_.string(), target.string())) {
      error = "cannot replace " + target.string() + ": " + std::strerror(errno);
      return false;
    }
    committed_ = true;
    return true;
  }

 private:
  std::filesystem::path path_;
  std::FILE* stream_ = nullptr;
  bool committed_ = false;
};

struct StrngTblCloser {
  void operator()(StrngTbl* table) const { deinitStrngTbl(table); }
};

}  // namespace

std::vector<std::string> indexWords(const std::string& text) {
  // Each blank-separated token gives its trimmed self and, when the word delimiters cut it
  // ("Beth-el", "said—and"), its pieces too, so that a phrase split the same way finds every
  // one of its words. Words are kept in their exact search form: apostrophes as '.
  std::vector<std::string> words;
  auto add = [&words](std::string word) {
    if (!word.empty()) words.push_back(unicode::exact(word));
  };
  std::size_t i = 0;
  while (i < text.size()) {
    unicode::Character c = unicode::decode(text, i);
    if (unicode::isBlank(c.code)) {
      i += c.length;
      continue;
    }
    std::size_t end = i;
    bool delimited = false;
    while (end < text.size()) {
      c = unicode::decode(text, end);
      if (unicode::isBlank(c.code)) break;
      delimited = delimited || unicode::isWordDelimiter(c.code);
      end += c.length;
    }
    const std::string_view token(text.data() + i, end - i);
    i = end;

    std::string word(token);
    trim(word);
    add(std::move(word));
    if (delimited)
      for (std::string& piece : splitWords(token)) add(std::move(piece));
  }
  return words;
}

bool writeModule(const std::string& displayName, const std::vector<VerseLine>& lines,
                 const std::string& outPath, std::string& error) {
  if (displayName.empty() || displayName.size() > static_cast<std::size_t>(kMaxDisplayName) ||
      displayName.find('\0') != std::string::npos) {
    error = "the display name " + inQuotes(displayName) + " is " +
            std::to_string(displayName.size()) +
            " characters long; a display name holds 1 to 79 characters";
    return false;
  }
  ModulePlan plan;
  if (!planModule(lines, plan, error)) return false;
  std::vector<std::string> words;
  std::vector<std::uint8_t> bytes;
  if (!layOutModule(displayName, plan, words, bytes, error)) return false;

  const std::filesystem::path target(outPath);
  TemporaryOutput output;
  if (!output.create(target, error)) return false;
  if (std::fwrite(bytes.data(), 1, bytes.size(), output.stream()) != bytes.size()) {
    error = "cannot write " + outPath + ": " + std::strerror(errno);
    return false;
  }
  std::vector<const char*> wordPointers;
  for (const std::string& word : words) wordPointers.push_back(word.c_str());
  std::unique_ptr<StrngTbl, StrngTblCloser> table(createStrngTbl(
      output.stream(), wordPointers.data(), static_cast<std::uint16_t>(wordPointers.size())));
  if (!table || table->hdrofs != bytes.size() || table->nWords != words.size()) {
    error = "cannot write the string table of " + outPath;
    return false;
  }
  table.reset();
  if (!output.close(error)) return false;
  return output.renameTo(target, error);
}

}  // namespace vellum::import
