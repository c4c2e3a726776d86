// Boolean expression search: words joined by AND, OR and NOT with parentheses.
//
// The expression is upper-cased, the keywords " AND ", " OR " and " NOT " (each with a space
// on both sides) become "&", "|" and "!", every space is removed ("love god" is the single
// word LOVEGOD), and the rest is parsed by this grammar, whose binary rules recurse on their
// right side (so "a ! b ! c" is a NOT (b NOT c), and AND and NOT bind tighter than OR):
//
//   expression := term [ "|" expression ]
//   term       := factor [ ("&" | "!") term ]
//   factor     := "(" expression ")" | operand
//
// NOT means "and not": "a ! b" is the verses of a without those of b. An operand ends at an
// operator character, "#", a line feed or the end of the text.
//
// Limits: an operand holds at most 255 characters, at most 64 verse lists are pending at once
// during evaluation, and the parser's rules are active at most 1024 frames deep (parentheses
// nested a few hundred deep). An expression
// beyond them is refused like a syntax error: an empty list. The search keeps no state between
// calls and may run on several modules at once.
#pragma once

#include <cstdint>
#include <string>

#include "engine/bible/bible.h"

namespace vellum {

inline constexpr int kMaxBooleanToken = 255;
inline constexpr int kMaxBooleanStack = 64;

// Fills out with the verses satisfying the expression (at most capacity - 1 of them) and
// returns it. Each operand is looked up with wordSearch, or csWordSearch when caseSensitive is
// non-zero (in its upper-cased form either way). words[0 .. wordCapacity) receives, in
// evaluation order, the operands that found at least one verse, each as often as it occurs,
// up to wordCapacity of them; *wordCount says how many. A syntax error finds nothing.
std::uint16_t* booleanSearch(std::uint16_t* out, std::uint16_t* count, std::uint16_t capacity,
                             std::string* words, std::uint16_t* wordCount,
                             std::uint16_t wordCapacity, const char* expression, int caseSensitive,
                             BibleHandle* module);

// Internal, for tests: the postfix form of an expression as the parser writes it (operands and
// operators in evaluation order, each followed by one space), or "" when it does not parse.
std::string booleanPostfix(const char* expression);

}  // namespace vellum
