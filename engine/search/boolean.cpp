// Boolean expression search: keyword rewriting, a recursive-descent parser to postfix, and a
// stack evaluator over verse lists.
//
// All parser and evaluator state lives in objects of one call, so searches never share state.
#include "engine/search/boolean.h"

#include <cstring>
#include <memory>
#include <vector>

#include "engine/search/search.h"
#include "engine/search/verselist.h"
#include "support/strings.h"

namespace vellum {
namespace {

// Rule frames active at once. Any chain deep enough to reach it would push more than the
// evaluator's 64 lists anyway; only parentheses nested over 300 deep are refused for it alone.
constexpr int kMaxParseDepth = 1024;
constexpr std::size_t kEvaluatedListSlots = kVerseListCapacity + 1;

bool isOperator(char c) { return c == '!' || c == '&' || c == '(' || c == ')' || c == '|'; }

// Upper-cases and rewrites the keywords; the result still holds its spaces.
std::string rewriteKeywords(const char* expression) {
  std::string upper = expression;
  _strupr(upper.data());
  // The rewrites only shrink the text, so the expression's length is a sufficient limit.
  const auto limit = static_cast<unsigned short>(std::min<std::size_t>(upper.size(), 65535));
  std::vector<char> text(std::size_t{limit} + 1, '\0');
  std::memcpy(text.data(), upper.data(), limit);
  replStr(text.data(), " AND ", " & ", limit);
  replStr(text.data(), " OR ", " | ", limit);
  replStr(text.data(), " NOT ", " ! ", limit);
  return std::string(text.data());
}

// Converts the rewritten expression to postfix.
class Parser {
 public:
  explicit Parser(const std::string& rewritten) {
    for (char c : rewritten)
      if (c != ' ') text_.push_back(c);
    text_.push_back('#');
  }

  // The postfix text, or "" when the expression does not parse or exceeds a limit.
  std::string convert() {
    if (!next() || !expression() || !token_.empty()) return {};
    return postfix_;
  }

 private:
  // Reads the next token into token_; false when it would exceed the token limit. At the end
  // mark the token is empty; reading again there stays there.
  bool next() {
    token_.clear();
    if (position_ + 1 < static_cast<long>(text_.size())) ++position_;
    for (;;) {
      const char c = text_[static_cast<std::size_t>(position_)];
      if (c == '#' || c == '\n' || c == '\0') return true;
      if (isOperator(c)) {
        if (!token_.empty()) {
          --position_;  // the operator is read next time
        } else {
          token_.push_back(c);
        }
        return true;
      }
      if (token_.size() == kMaxBooleanToken) return false;
      token_.push_back(c);
      ++position_;
    }
  }

  // Counts the rule frames active; every rule holds one for its lifetime.
  struct Frame {
    explicit Frame(int& depth) : depth_(depth) { ++depth_; }
    ~Frame() { --depth_; }
    int& depth_;
  };

  bool expression() {
    Frame frame(depth_);
    if (depth_ > kMaxParseDepth || !term()) return false;
    if (token_ == "|") {
      if (!next() || !expression()) return false;
      postfix_ += "| ";
    }
    return true;
  }

  bool term() {
    Frame frame(depth_);
    if (depth_ > kMaxParseDepth || !factor()) return false;
    if (token_ == "&" || token_ == "!") {
      const std::string op = token_;
      if (!next() || !term()) return false;
      postfix_ += op + " ";
    }
    return true;
  }

  bool factor() {
    Frame frame(depth_);
    if (depth_ > kMaxParseDepth || token_.empty()) return false;
    if (token_ == "(") {
      if (!next() || !expression() || token_ != ")") return false;
      return next();
    }
    // A lone ")" is accepted as an operand, as the grammar reads it.
    if (token_.find_first_of(" &!|") != std::string::npos) return false;
    postfix_ += token_ + " ";
    return next();
  }

  std::string text_;
  long position_ = -1;
  std::string token_;
  std::string postfix_;
  int depth_ = 0;
};

using VerseList = std::unique_ptr<std::uint16_t[]>;

VerseList newList() {
  auto list = std::make_unique_for_overwrite<std::uint16_t[]>(kEvaluatedListSlots);
  list[0] = kVerseListEnd;
  return list;
}

}  // namespace

std::string booleanPostfix(const char* expression) {
  if (expression == nullptr) return {};
  return Parser(rewriteKeywords(expression)).convert();
}

std::uint16_t* booleanSearch(std::uint16_t* out, std::uint16_t* count, std::uint16_t capacity,
                             std::string* words, std::uint16_t* wordCount,
                             std::uint16_t wordCapacity, const char* expression, int caseSensitive,
                             BibleHandle* module) {
  *count = 0;
  *wordCount = 0;
  if (capacity > 0) out[0] = kVerseListEnd;
  if (expression == nullptr || module == nullptr || capacity == 0) return out;

  std::string postfix = booleanPostfix(expression);
  if (postfix.empty()) return out;

  SearchReader reader(module);
  std::vector<VerseList> stack;
  stack.reserve(kMaxBooleanStack);
  std::uint16_t stored = 0;
  unsigned int position = 0;
  while (char* token = _strtok(postfix.data(), " ", &position)) {
    const char kind = token[0];
    if (kind == '&' || kind == '|' || kind == '!') {
      if (stack.size() < 2) return out;  // cannot happen after a successful parse
      VerseList right = std::move(stack.back());
      stack.pop_back();
      VerseList left = std::move(stack.back());
      stack.pop_back();
      VerseList result = newList();
      std::uint16_t n = 0;
      if (kind == '&') {
        andOp(result.get(), &n, kVerseListCapacity, left.get(), right.get());
      } else if (kind == '|') {
        orOp(result.get(), &n, kVerseListCapacity, left.get(), right.get());
      } else {
        // The right operand is subtracted from the left one.
        andNotOp(result.get(), &n, kVerseListCapacity, right.get(), left.get());
      }
      stack.push_back(std::move(result));
      continue;
    }
    // The evaluation stack holds 64 lists; an expression needing more is refused.
    if (stack.size() == kMaxBooleanStack) {
      for (std::uint16_t i = 0; i < stored; ++i) words[i].clear();
      *wordCount = 0;
      return out;
    }
    VerseList list = newList();
    std::uint16_t n = 0;
    wordSearch(list.get(), &n, kVerseListCapacity, token, caseSensitive, reader);
    if (stored < wordCapacity && n > 0) words[stored++] = token;
    stack.push_back(std::move(list));
  }
  if (stack.size() != 1) return out;

  const std::uint16_t* result = stack.back().get();
  std::uint16_t n = 0;
  while (n < capacity - 1 && result[n] != kVerseListEnd) {
    out[n] = result[n];
    ++n;
  }
  out[n] = kVerseListEnd;
  *count = n;
  *wordCount = stored;
  return out;
}

}  // namespace vellum
