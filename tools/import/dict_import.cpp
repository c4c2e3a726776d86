#include "tools/import/dict_import.h"

#include <unistd.h>

#include <charconv>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <map>
#include <optional>
#include <sstream>
#include <string_view>

#include "engine/stores/dict.h"
#include "engine/stores/dict_format.h"
#include "support/files.h"
#include "support/strings.h"
#include "tools/common/tool_args.h"
#include "tools/import/import_util.h"

namespace vellum::import {
namespace {

using tools::kExitRefused;

constexpr const char* kUsage =
    "usage: vellum-import dict (--json FILE --key FIELD --value FIELD | --csv FILE)\n"
    "                          --title TITLE [--table-size N] [--compress] OUT.dic\n";

// One row of the source, before it is checked.
struct SourceRow {
  int line = 0;
  std::optional<std::string> key;
  std::optional<std::string> value;
  std::string problem;  // set when the row is unusable as read (a bad field, a bad escape)
};

// ---- JSON: arrays of flat objects ----

class JsonReader {
 public:
  explicit JsonReader(std::string_view text) : text_(text) {}

  // Reads the whole document into rows; false with error set ("line N: ...") on bad syntax.
  bool readRows(const std::string& keyField, const std::string& valueField,
                std::vector<SourceRow>& rows, std::string& error) {
    skipSpace();
    if (!expect('[')) return fail(error, "expected '[' opening the array of objects");
    skipSpace();
    if (peek() == ']') {
      ++pos_;
    } else {
      for (;;) {
        SourceRow row;
        if (!readObject(keyField, valueField, row)) return fail(error, problem_);
        rows.push_back(std::move(row));
        skipSpace();
        if (peek() == ',') {
          ++pos_;
          skipSpace();
          continue;
        }
        if (peek() == ']') {
          ++pos_;
          break;
        }
        return fail(error, "expected ',' or ']' after an object");
      }
    }
    skipSpace();
    if (pos_ != text_.size()) return fail(error, "text after the closing ']'");
    return true;
  }

 private:
  bool readObject(const std::string& keyField, const std::string& valueField, SourceRow& row) {
    row.line = line_;
    if (!expect('{')) return syntax("expected '{' opening an object");
    skipSpace();
    if (peek() == '}') {
      ++pos_;
      return true;
    }
    for (;;) {
      skipSpace();
      std::string field, fieldProblem;
      if (peek() != '"') return syntax("expected a field name in quotes");
      if (!readString(field, fieldProblem)) return false;
      skipSpace();
      if (!expect(':')) return syntax("expected ':' after a field name");
      skipSpace();
      const bool wanted = field == keyField || field == valueField;
      std::optional<std::string> value;
      if (peek() == '"') {
        std::string text, textProblem;
        if (!readString(text, textProblem)) return false;
        if (!textProblem.empty() && wanted && row.problem.empty())
          row.problem = "field \"" + field + "\": " + textProblem;
        value = std::move(text);
      } else if (!skipScalar()) {
        return false;
      } else if (wanted && row.problem.empty()) {
        row.problem = "field \"" + field + "\" is not a string";
      }
      if (wanted) {
        auto& slot = field == keyField ? row.key : row.value;
        if (slot && row.problem.empty()) row.problem = "field \"" + field + "\" given twice";
        slot = std::move(value);
        if (keyField == valueField) row.value = row.key;
      }
      skipSpace();
      if (peek() == ',') {
        ++pos_;
        continue;
      }
      if (peek() == '}') {
        ++pos_;
        return true;
      }
      return syntax("expected ',' or '}' in an object");
    }
  }

  // Reads a string at the opening quote. Bad escapes of content (a lone surrogate, \u0000)
  // are reported through contentProblem and leave the syntax intact; broken syntax fails.
  bool readString(std::string& out, std::string& contentProblem) {
    ++pos_;  // the opening quote
    for (;;) {
      if (pos_ >= text_.size()) return syntax("a string is not closed");
      const char c = text_[pos_++];
      if (c == '"') return true;
      if (static_cast<unsigned char>(c) < 0x20) return syntax("a control character in a string");
      if (c != '\\') {
        out += c;
        continue;
      }
      if (pos_ >= text_.size()) return syntax("a string is not closed");
      const char escape = text_[pos_++];
      switch (escape) {
        case '"':
          out += '"';
          break;
        case '\\':
          out += '\\';
          break;
        case '/':
          out += '/';
          break;
        case 'b':
          out += '\b';
          break;
        case 'f':
          out += '\f';
          break;
        case 'n':
          out += '\n';
          break;
        case 'r':
          out += '\r';
          break;
        case 't':
          out += '\t';
          break;
        case 'u': {
          std::uint32_t unit = 0;
          if (!readHex4(unit)) return false;
          std::uint32_t codePoint = unit;
          if (unit >= 0xD800 && unit <= 0xDBFF) {
            std::uint32_t low = 0;
            if (text_.substr(pos_, 2) == "\\u") {
              pos_ += 2;
              if (!readHex4(low)) return false;
            }
            if (low >= 0xDC00 && low <= 0xDFFF) {
              codePoint = 0x10000 + ((unit - 0xD800) << 10) + (low - 0xDC00);
            } else {
              contentProblem = "a high surrogate without its low half";
              continue;
            }
          } else if (unit >= 0xDC00 && unit <= 0xDFFF) {
            contentProblem = "a low surrogate without its high half";
            continue;
          } else if (unit == 0) {
            contentProblem = "a NUL character (\\u0000)";
            continue;
          }
          appendUtf8(out, codePoint);
          break;
        }
        default:
          return syntax(std::string("an unknown escape \\") + escape);
      }
    }
  }

  bool readHex4(std::uint32_t& value) {
    if (text_.size() - pos_ < 4) return syntax("a \\u escape needs four hex digits");
    const char* first = text_.data() + pos_;
    auto [end, ec] = std::from_chars(first, first + 4, value, 16);
    if (ec != std::errc() || end != first + 4) return syntax("a \\u escape needs four hex digits");
    pos_ += 4;
    return true;
  }

  // A number, true, false or null (objects hold no nested arrays or objects).
  bool skipScalar() {
    for (std::string_view word : {"true", "false", "null"}) {
      if (text_.substr(pos_, word.size()) == word) {
        pos_ += word.size();
        return true;
      }
    }
    const std::size_t start = pos_;
    if (peek() == '-') ++pos_;
    while (pos_ < text_.size() &&
           std::string_view("0123456789.eE+-").find(text_[pos_]) != std::string_view::npos)
      ++pos_;
    if (pos_ == start || !isDigit(text_[pos_ - 1])) return syntax("expected a string or number");
    return true;
  }

  void skipSpace() {
    while (pos_ < text_.size()) {
      const char c = text_[pos_];
      if (c == '\n') ++line_;
      if (c != ' ' && c != '\t' && c != '\n' && c != '\r') break;
      ++pos_;
    }
  }
  char peek() const { return pos_ < text_.size() ? text_[pos_] : '\0'; }
  bool expect(char c) {
    if (peek() != c) return false;
    ++pos_;
    return true;
  }
  bool syntax(const std::string& what) {
    problem_ = what;
    return false;
  }
  bool fail(std::string& error, const std::string& what) {
    error = "line " + std::to_string(line_) + ": " + what;
    return false;
  }

  std::string_view text_;
  std::size_t pos_ = 0;
  int line_ = 1;  // strings hold no raw line feeds, so only the space between counts lines
  std::string problem_;
};

// ---- CSV (RFC 4180) ----

// Reads records after the header line. Each record keeps its first line. A quote left open at
// the end of the text fails with error set.
bool readCsvRows(std::string_view text, std::vector<SourceRow>& rows, std::string& error) {
  std::size_t pos = 0;
  int line = 1;
  bool header = true;
  while (pos < text.size()) {
    const int recordLine = line;
    std::vector<std::string> fields(1);
    bool quotedError = false;
    for (;;) {
      if (pos >= text.size()) break;
      char c = text[pos];
      if (c == '"' && fields.back().empty()) {
        // A quoted field: up to the lone closing quote; "" stands for one quote.
        ++pos;
        for (;;) {
          if (pos >= text.size()) {
            error = "line " + std::to_string(recordLine) + ": a quoted field is not closed";
            return false;
          }
          c = text[pos++];
          if (c == '"') {
            if (pos < text.size() && text[pos] == '"') {
              fields.back() += '"';
              ++pos;
              continue;
            }
            break;
          }
          if (c == '\n') ++line;
          fields.back() += c;
        }
        if (pos < text.size() && text[pos] != ',' && text[pos] != '\n' && text[pos] != '\r')
          quotedError = true;  // text after a closing quote: reported below, kept to the line
        continue;
      }
      if (c == ',') {
        fields.emplace_back();
        ++pos;
        continue;
      }
      if (c == '\r' && pos + 1 < text.size() && text[pos + 1] == '\n') ++pos;
      if (c == '\n' || c == '\r') {
        ++pos;
        ++line;
        break;
      }
      fields.back() += c;
      ++pos;
    }
    if (header) {
      header = false;
      continue;
    }
    if (fields.size() == 1 && fields[0].empty()) continue;  // a blank line
    SourceRow row;
    row.line = recordLine;
    if (quotedError) {
      row.problem = "text after the closing quote of a field";
    } else if (fields.size() != 2) {
      row.problem = "expected 2 columns, found " + std::to_string(fields.size());
    } else {
      row.key = std::move(fields[0]);
      row.value = std::move(fields[1]);
    }
    rows.push_back(std::move(row));
  }
  return true;
}

// ---- Building ----

std::string normaliseLineEnds(std::string_view text) {
  std::string out;
  out.reserve(text.size());
  for (std::size_t i = 0; i < text.size(); ++i) {
    if (text[i] == '\r') {
      out += '\n';
      if (i + 1 < text.size() && text[i + 1] == '\n') ++i;
    } else {
      out += text[i];
    }
  }
  return out;
}

struct Item {
  std::string key;
  std::string value;
  int line = 0;
};

// Checks the rows and keeps the last of each name (ignoring case), reporting what it skips.
std::vector<Item> usableItems(std::vector<SourceRow>& rows, const std::string& source,
                              std::ostream& err, int& skipped, int& replaced) {
  std::vector<Item> items;
  std::map<std::string, std::size_t> byName;  // upper-cased name -> index in items
  for (SourceRow& row : rows) {
    std::string problem = row.problem;
    if (problem.empty() && !row.key) problem = "no name field";
    if (problem.empty() && !row.value) problem = "no text field";
    if (problem.empty()) {
      if (trimmedLength(*row.key) == 0)
        problem = "a blank name";
      else if (row.key->size() > dict::kMaxNameLength)
        problem = "a name of more than 65534 bytes";
      else if (row.key->find_first_of(std::string_view("\n\r\0", 3)) != std::string::npos)
        problem = "a name holding a line end or NUL";
      else if (row.value->find('\0') != std::string::npos)
        problem = "a text holding a NUL";
    }
    std::string text;
    if (problem.empty()) {
      text = normaliseLineEnds(*row.value);
      if (text.size() + 1 > dict::kMaxItemLength) problem = "a text of more than 65534 bytes";
    }
    if (!problem.empty()) {
      err << source << ": line " << row.line << ": skipped: " << problem << '\n';
      ++skipped;
      continue;
    }
    std::string upper = *row.key;
    _strupr(upper.data());
    auto [at, inserted] = byName.try_emplace(upper, items.size());
    if (inserted) {
      items.push_back({std::move(*row.key), std::move(text), row.line});
    } else {
      Item& earlier = items[at->second];
      err << source << ": line " << row.line << ": \"" << *row.key << "\" replaces line "
          << earlier.line << '\n';
      earlier = {std::move(*row.key), std::move(text), row.line};
      ++replaced;
    }
  }
  return items;
}

int usage(std::ostream& err, const std::string& problem) {
  return tools::usageError(err, "vellum-import", problem, kUsage);
}

// The table size --table-size gives, within the largest table the format holds.
std::optional<std::uint16_t> tableSizeOf(std::string_view value) {
  unsigned n = 0;
  auto [end, ec] = std::from_chars(value.data(), value.data() + value.size(), n);
  if (ec != std::errc() || end != value.data() + value.size() || n == 0 ||
      n >= dict::kTableSizeLimit)
    return std::nullopt;
  return static_cast<std::uint16_t>(n);
}

std::string checkTableSize(std::string_view value) {
  return tableSizeOf(value) ? "" : "--table-size must be a number from 1 to 16383";
}

}  // namespace

int runDictImport(const std::vector<std::string>& args, std::ostream& out, std::ostream& err) {
  static constexpr tools::Option kOptions[] = {
      {"--json"},
      {"--csv"},
      {"--key"},
      {"--value"},
      {"--title"},
      {"--table-size", true, checkTableSize},
      {"--compress", false},
  };
  tools::ParsedOptions a;
  if (auto problem = tools::parseOptions(args, kOptions, "more than one output file", a))
    return usage(err, *problem);
  const std::string& json = a.values["--json"];
  const std::string& csv = a.values["--csv"];
  const std::string& keyField = a.values["--key"];
  const std::string& valueField = a.values["--value"];
  const bool compress = a.flags.contains("--compress");
  const std::string& outFile = a.file;
  const std::optional<std::uint16_t> tableSizeGiven =
      a.values.contains("--table-size") ? tableSizeOf(a.values["--table-size"]) : std::nullopt;
  if (json.empty() == csv.empty()) return usage(err, "dict needs one of --json or --csv");
  if (!json.empty() && (keyField.empty() || valueField.empty()))
    return usage(err, "--json needs --key FIELD and --value FIELD");
  if (!a.values.contains("--title")) return usage(err, "dict needs --title TITLE");
  if (outFile.empty()) return usage(err, "dict needs the output file OUT.dic");

  const std::string& source = json.empty() ? csv : json;
  std::ifstream in(source, std::ios::binary);
  if (!in) {
    err << "vellum-import: " << source << ": cannot open\n";
    return kExitRefused;
  }
  std::string text((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  if (in.bad()) {
    err << "vellum-import: " << source << ": cannot read\n";
    return kExitRefused;
  }
  std::string_view body(text);
  if (body.starts_with("\xEF\xBB\xBF")) body.remove_prefix(3);

  std::vector<SourceRow> rows;
  std::string error;
  const bool parsed = json.empty() ? readCsvRows(body, rows, error)
                                   : JsonReader(body).readRows(keyField, valueField, rows, error);
  if (!parsed) {
    err << "vellum-import: " << source << ": " << error << '\n';
    return kExitRefused;
  }
  int skipped = 0, replaced = 0;
  const std::vector<Item> items = usableItems(rows, source, err, skipped, replaced);
  if (items.size() > dict::kMaxItems) {
    err << "vellum-import: " << source << ": " << items.size()
        << " items, more than a store holds (65535)\n";
    return kExitRefused;
  }

  // The store is built under a temporary name in OUT's directory (the data path is pointed
  // there, since stores are created along it), then renamed over OUT.
  namespace fs = std::filesystem;
  const fs::path outPath(outFile);
  const fs::path directory = outPath.has_parent_path() ? outPath.parent_path() : fs::path(".");
  const std::string tempName =
      "." + outPath.filename().string() + ".tmp" + std::to_string(::getpid());
  const fs::path tempPath = directory / tempName;
  const std::uint16_t tableSize = tableSizeGiven.value_or(defaultTableSize(items.size()));
  bool written = false;
  {
    DataPathGuard restore;
    set_dpath(directory.string().c_str());
    DictHandle* store =
        new_dict(tempName.c_str(), a.values["--title"].c_str(), tableSize, compress ? 1 : 0);
    if (store != nullptr) {
      written = true;
      deferDictCommits(store, true);  // a temporary file: one commit at the close will do
      for (const Item& item : items) {
        if (!add_string_item(store, item.key.c_str(), item.value.c_str())) {
          err << "vellum-import: " << source << ": line " << item.line << ": could not store \""
              << item.key << "\"\n";
          written = false;
          break;
        }
      }
      deinit_dict(store);
    }
  }
  std::error_code ec;
  if (written) written = renameDurably(tempPath.string(), outPath.string());
  if (!written) {
    fs::remove(tempPath, ec);
    err << "vellum-import: " << outFile << ": cannot write the store\n";
    return kExitRefused;
  }
  out << outFile << ": " << items.size() << " items, table size " << tableSize
      << (compress ? ", compressed" : "") << "; " << skipped << " rows skipped, " << replaced
      << " replaced\n";
  return 0;
}

}  // namespace vellum::import
