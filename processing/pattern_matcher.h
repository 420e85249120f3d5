#pragma once
// The feed cleanup's own regular-expression dialect for UTF-16 text.
//
// Syntax, read from left to right (anything else stands for itself):
//   .        any one character (line feed and U+0000 included)
//   [..]     one character of a set of single characters and ranges x-y; [^..] one character not
//            in it; inside a set a backslash takes the next character literally, \t is a tab
//   * + ?    greedy repetition of the item before; *? +? ?? the same, fewest repetitions first
//   (..)     grouping only;  {..} match group, numbered from 0 by opening brace
//   X|Y      alternation of the single items on either side (with their repetition operators);
//            a|b|c nests to the right.  ab|cd means a, then b or c, then d.
//   !X       succeeds, consuming nothing, when the item X does not match here
//   \n..     (decimal) the text last matched by group n; \a \b \c \d \h \n \q \w \z abbreviations;
//            a backslash before any other character takes it literally (\t outside a set is t)
//   ^ first, $ last character of the whole pattern: anchors; anywhere else ordinary characters
// An unmatched ), ] or } ends the pattern. Case-insensitive compiling lower-cases A-Z in the
// pattern text and in the input before matching, and nothing else.
//
// Choices this dialect leaves open, made here:
//   - The end of input is the end of the given range: a U+0000 inside it is an ordinary character,
//     and $ matches only at the end of the range.
//   - A missing item (a repetition operator or bar with nothing before it, a bar or ! with nothing
//     after it) is the empty item: "*a" is error 9, "a|" matches a or nothing, "a!" never matches.
//   - Repetition operators stack: "a+*" repeats "a+". The ! prefix binds one item, so "!a*" is
//     "(!a)*" (error 9).
//   - A back-reference to a group that has not matched yet matches the empty string, so it counts
//     as an item that can match the empty string. Inside its own group it refers to the group's
//     previous complete match.
//   - A lone backslash at the end of the pattern is a literal backslash. A match that ends in $
//     ends at the end of input.
//   - Groups inside a ! item never report a match (the ! item consumes nothing and keeps nothing).
// Start positions run from the beginning of the input up to its last character (the empty input
// is tried once): a pattern that can only match the empty string at the end never matches a
// non-empty input.

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string_view>
#include <vector>

namespace tidewire {

// Results of PatternMatcher::Compile; the numbers are part of the interface.
enum class PatternError : int {
  Ok = 0,
  OutOfMemory = 1,
  UnclosedBrace = 2,        // "{" without "}"
  UnclosedParenthesis = 3,  // "(" without ")"
  UnclosedBracket = 4,      // "[" without "]", or a range without upper bound: "[a-]"
  BadAbbreviation = 5,      // an abbreviation whose expansion fails to compile
  EmptySet = 6,             // "[]" or "[^]"
  UnknownGroup = 7,         // a back-reference to a group not opened before it
  ReversedRange = 8,        // "[z-a]"
  EmptyRepetition = 9,      // *, +, *? or +? after an item that can match nothing
  Missing = 10,             // null pattern
};

inline constexpr std::size_t NoPosition = ~std::size_t{0};

// Position of the first occurrence of `literal` in `text` at or after `from`, or NoPosition.
// Scans for the first code unit several units at a time, which is several times faster than
// comparing unit by unit on long texts; the matcher uses it for pattern prefixes.
std::size_t FindLiteral(std::u16string_view text, std::u16string_view literal, std::size_t from);

// Start and end (exclusive) of a match or match group, as offsets into the caller's input;
// both NoPosition for a group that took no part in the match.
struct MatchSpan {
  std::size_t start = NoPosition;
  std::size_t end = NoPosition;
  bool Matched() const { return start != NoPosition; }
};

namespace pattern_internal {
struct Program;
struct Frame {
  std::uint32_t kind;
  std::uint32_t index;
  std::size_t x;
  std::size_t y;
};
class Search;
}  // namespace pattern_internal

// The result of a match and the matcher's working memory, reusable across matches.
class MatchContext {
 public:
  std::size_t Start() const { return match_.start; }
  std::size_t End() const { return match_.end; }
  std::size_t GroupCount() const { return groups_.size(); }
  MatchSpan Group(std::size_t k) const { return k < groups_.size() ? groups_[k] : MatchSpan{}; }

  // Bounds the work of each following match (instructions executed plus steps back); a match that
  // reaches the bound reports no match and StepLimitReached(). Unbounded by default.
  void SetStepLimit(std::uint64_t steps) { stepLimit_ = steps; }
  bool StepLimitReached() const { return stepLimitReached_; }

 private:
  friend class PatternMatcher;
  friend class pattern_internal::Search;
  MatchSpan match_;
  std::vector<MatchSpan> groups_;
  std::vector<std::size_t> pendingStarts_;
  std::vector<std::size_t> registers_;
  std::vector<pattern_internal::Frame> frames_;
  std::uint64_t stepLimit_ = ~std::uint64_t{0};
  bool stepLimitReached_ = false;
};

// Failures learnt while searching one text, kept for the next search in the same text.
class SearchMemo {
 public:
  SearchMemo() = default;

 private:
  friend class pattern_internal::Search;
  // The text and program the bits belong to; a search in anything else starts afresh.
  const char16_t* text_ = nullptr;
  std::size_t size_ = 0;
  std::uint64_t programId_ = 0;
  std::vector<std::uint64_t> bits_;
  std::size_t stride_ = 0;
  bool unusable_ = false;
};

class PatternMatcher {
 public:
  PatternMatcher();
  ~PatternMatcher();
  PatternMatcher(PatternMatcher&&) noexcept;
  PatternMatcher& operator=(PatternMatcher&&) noexcept;

  // Compiles a zero-terminated pattern, discarding the previous program; returns the error.
  // After an error the matcher holds no program and matches nothing.
  PatternError Compile(const char16_t* pattern, bool caseSensitive);
  PatternError Error() const { return error_; }
  std::size_t GroupCount() const;
  // Code units that every match contains (as compared: lower-cased when compiled case-
  // insensitively), each once; a text that lacks one of them holds no match. Not necessarily all
  // such units: alternatives and optional items contribute none.
  std::u16string_view RequiredUnits() const;

  // Finds the leftmost match in a zero-terminated input.
  bool Match(const char16_t* input, MatchContext* context) const;
  // Finds the leftmost match in input[0, length); the end of the range is the end of input.
  bool Match(const char16_t* input, std::size_t length, MatchContext* context) const;
  // Searches text[from, size) as an input of its own (^ anchors at `from`) and reports positions
  // in `text`. `memo` carries what earlier searches in the same unchanged text learnt, which makes
  // searching a text match after match linear in its length; give each text a fresh memo.
  bool MatchFrom(std::u16string_view text, std::size_t from, SearchMemo* memo,
                 MatchContext* context) const;

 private:
  PatternError error_ = PatternError::Missing;
  std::unique_ptr<pattern_internal::Program> program_;
};

}  // namespace tidewire
