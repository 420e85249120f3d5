#pragma once
// The matcher's stages and what passes between them, for processing/pattern_*.cpp and the
// matcher's reference in the tests; nothing else includes this header.
//
//   pattern_parse.cpp    pattern text -> SyntaxTree (errors are found here)
//   pattern_compile.cpp  SyntaxTree -> Program, with the optimisations that keep searches fast
//   pattern_search.cpp   Program + text -> leftmost match, by backtracking
//   pattern_matcher.cpp  the public PatternMatcher, which runs the three

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "processing/pattern_matcher.h"

namespace tidewire::pattern_internal {

inline constexpr std::uint32_t NoIndex = ~std::uint32_t{0};
// Longest run of single-character tests that a repetition handles as one tight loop.
inline constexpr std::uint32_t MaxRunWidth = 64;
// Known failures are kept as one bit per (loop or choice instruction, position); beyond this many
// bits (32 MB) the search goes without them.
inline constexpr std::uint64_t MaxMemoBits = std::uint64_t{1} << 28;
// Longer patterns are refused as out of memory: instruction indices are 32 bits.
inline constexpr std::size_t MaxPatternLength = std::size_t{1} << 26;

template <bool Folded>
inline char16_t Fold(char16_t c) {
  return Folded && c >= u'A' && c <= u'Z' ? static_cast<char16_t>(c + (u'a' - u'A')) : c;
}

struct Range {
  char16_t low;
  char16_t high;
};

// A set of code units: a bitmap for the first 256, sorted disjoint ranges for the rest.
class CharClass {
 public:
  explicit CharClass(std::vector<Range> ranges) : ranges_(Normalize(std::move(ranges))) {
    for (const Range& r : ranges_) {
      for (unsigned c = r.low; c <= r.high && c < 256; ++c)
        bitmap_[c >> 6] |= std::uint64_t{1} << (c & 63);
    }
  }

  bool Contains(char16_t c) const {
    if (c < 256) return (bitmap_[c >> 6] >> (c & 63)) & 1;
    const auto after = std::upper_bound(ranges_.begin(), ranges_.end(), c,
                                        [](char16_t v, const Range& r) { return v < r.low; });
    return after != ranges_.begin() && c <= (after - 1)->high;
  }

  const std::vector<Range>& ranges() const { return ranges_; }

  CharClass Complement() const {
    std::vector<Range> gaps;
    unsigned next = 0;
    for (const Range& r : ranges_) {
      if (r.low > next)
        gaps.push_back({static_cast<char16_t>(next), static_cast<char16_t>(r.low - 1)});
      next = r.high + 1u;
    }
    if (next <= 0xFFFF) gaps.push_back({static_cast<char16_t>(next), u'\xFFFF'});
    return CharClass(std::move(gaps));
  }

 private:
  static std::vector<Range> Normalize(std::vector<Range> ranges) {
    std::sort(ranges.begin(), ranges.end(),
              [](const Range& a, const Range& b) { return a.low < b.low; });
    std::vector<Range> merged;
    for (const Range& r : ranges) {
      if (!merged.empty() && r.low <= merged.back().high + 1u) {
        merged.back().high = std::max(merged.back().high, r.high);
      } else {
        merged.push_back(r);
      }
    }
    return merged;
  }

  std::vector<Range> ranges_;
  std::uint64_t bitmap_[4] = {};
};

// ---- Syntax tree: what the pattern says, nothing optimised -------------------------------------

enum class NodeKind : std::uint8_t {
  Empty,
  Char,
  Class,
  Any,
  End,
  Seq,
  Alt,
  Group,
  Not,
  Repeat,
  BackRef
};

struct Node {
  NodeKind kind = NodeKind::Empty;
  bool nullable = true;     // can match the empty string
  bool greedy = true;       // Repeat
  bool atLeastOne = false;  // Repeat: + rather than * or ?
  bool many = false;        // Repeat: * or + rather than ?
  // For a run of single-character tests the number of tests, 0 for anything else. A single test
  // is a character, set or dot, or an alternation of single tests (which match one character
  // each, whichever alternative takes it); a run is one of them or a sequence of them.
  std::uint32_t width = 0;
  std::uint32_t value = 0;         // code unit (folded when case does not matter), set or group
  std::uint32_t first = NoIndex;   // the child; for Seq the first index into SyntaxTree::items
  std::uint32_t second = NoIndex;  // Alt: the right child; Seq: the end index into items
};

inline bool IsSingleTest(const Node& n) {
  return n.kind == NodeKind::Char || n.kind == NodeKind::Class || n.kind == NodeKind::Any ||
         (n.kind == NodeKind::Alt && n.width == 1);
}

struct SyntaxTree {
  std::vector<Node> nodes;
  std::vector<std::uint32_t> items;
  std::vector<CharClass> classes;
  std::uint32_t groupCount = 0;
  std::uint32_t root = NoIndex;
  bool anchored = false;  // the pattern began with ^
  bool caseSensitive = true;
};

// Reads a zero-terminated pattern; when case does not matter, A-Z in it are lower-cased first.
// Throws std::bad_alloc.
PatternError ParsePattern(const char16_t* pattern, bool caseSensitive, SyntaxTree* tree);

// ---- Program: what the search runs -------------------------------------------------------------

enum class Op : std::uint8_t {
  Char,   // x: code unit
  Class,  // x: set
  Any,
  End,            // succeeds only at the end of input
  Split,          // a choice: x first, y on failure
  Jump,           // x
  GroupStart,     // x: group
  GroupEnd,       // x: group
  SaveEntry,      // x: register to hold the position
  CheckProgress,  // x: register; fails when the position has not moved since SaveEntry
  LookNeg,        // the ! item follows; x: the instruction after it
  LookSucceed,    // the item of a ! matched
  BackRef,        // x: group
  SimpleLoop,     // a repetition of the y single-character tests that follow; x: exit
  Match,
};

struct Instruction {
  Op op;
  bool greedy = true;
  bool atLeastOne = false;
  std::uint32_t x = 0;
  std::uint32_t y = 0;
  std::uint32_t memo = NoIndex;  // row of the known-failure bits, for Split and SimpleLoop
};

struct Program {
  std::uint64_t id = 0;  // tells apart the programs that a SearchMemo may have seen
  std::vector<Instruction> code;
  std::vector<CharClass> classes;
  std::uint32_t groupCount = 0;
  std::uint32_t registerCount = 0;
  std::uint32_t memoRows = 0;  // 0 when the search keeps no known failures
  bool anchored = false;
  bool caseSensitive = true;
  // Code units (after folding) that can begin a match; empty when any position can.
  std::vector<std::uint64_t> firstUnits;
  // Text that every match begins with, when FindLiteral can look for it: the leading characters
  // of the pattern, or else the one code unit that can begin a match (none that folding changes).
  std::u16string startLiteral;
  // Code units (after folding) that every match contains, each listed once.
  std::u16string requiredUnits;
};

// Throws std::bad_alloc.
std::unique_ptr<Program> CompileProgram(const SyntaxTree& tree);

// The leftmost match in text[from, size), searched as an input of its own; fills `context`.
// Throws std::bad_alloc.
bool SearchProgram(const Program& program, std::u16string_view text, std::size_t from,
                   SearchMemo* memo, MatchContext& context);

}  // namespace tidewire::pattern_internal
