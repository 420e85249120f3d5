#pragma once
// The reference the matcher's tests, fuzz targets and benchmark compare the product's search
// with: the product's parser, then the plainest backtracking search of the syntax tree there is.
// It tries each choice in the pattern's order and prunes nothing (no tight loops, no first
// characters, no known failures, every greedy step checked for progress), and each choice point
// keeps a whole copy of the groups instead of an undo log. Exponential on some patterns, so a
// step limit bounds it.

#include <cstddef>
#include <cstdint>
#include <string_view>
#include <vector>

#include "processing/pattern_matcher.h"
#include "processing/pattern_program.h"

namespace tidewire::testing_support {

struct ReferenceMatch {
  bool found = false;
  MatchSpan match;
  std::vector<MatchSpan> groups;  // one per brace pair, also when nothing was found
  bool stepLimitReached = false;
};

class ReferenceMatcher {
 public:
  PatternError Compile(const char16_t* pattern, bool caseSensitive);
  std::size_t GroupCount() const { return error_ == PatternError::Ok ? tree_.groupCount : 0; }

  // Bounds the work of each following search (nodes visited plus choices resumed).
  void SetStepLimit(std::uint64_t steps) { stepLimit_ = steps; }

  // The leftmost match in text[from, size), searched as an input of its own.
  ReferenceMatch MatchFrom(std::u16string_view text, std::size_t from) const;
  ReferenceMatch Match(std::u16string_view input) const { return MatchFrom(input, 0); }

 private:
  pattern_internal::SyntaxTree tree_;
  PatternError error_ = PatternError::Missing;
  std::uint64_t stepLimit_ = ~std::uint64_t{0};
};

}  // namespace tidewire::testing_support
