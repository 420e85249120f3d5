#pragma once
// How CleanText carries out the table of cleanup steps: each step's method, worked out once from
// its row, and the table cut into runs of pattern steps and runs of steps without patterns.

#include <array>
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "processing/cleanup_steps.h"
#include "processing/in_place_rewrite.h"
#include "processing/pattern_matcher.h"

namespace tidewire::cleanup_internal {

// How CleanText carries out a step, worked out once from its table row. A pattern without
// special characters matches exactly its own text; "x+" or "(text)+" with the repeated text as
// replacement collapses runs; "<[^>]*>" or "<([^>]|\n)*>" (any opening and closing unit) matches
// an opening unit up to the first closing unit after it; "<a[^>]+href=([^ >]+)[^>]*>(.*?)</a>"
// (any opening, attribute and closing text) an element with an attribute (see ElementShape); the
// others run through the pattern matcher.
enum class StepMethod { Literal, Collapse, Enclosed, Element, Pattern };

struct StepPlan {
  StepMethod method = StepMethod::Literal;
  std::u16string_view text;  // Literal: the search text; Collapse: the repeated text
  std::u16string twice;      // Collapse: the repeated text written twice
  char16_t open = 0;         // Enclosed: the opening and the closing unit
  char16_t close = 0;
  ElementShape element;                          // Element
  std::u16string_view needs;                     // units that every match contains
  std::array<std::uint64_t, 2> needsAscii = {};  // the ASCII ones of them, one bit each
  PatternMatcher matcher;                        // Pattern
  // Literal and Collapse, set with the run: whether the step searches at the run's mark
  // positions, whether it leaves them where they were, and whether it can move them along.
  bool atMarks = false;
  bool keepsMarks = false;
  bool followsMarks = false;
};

// Steps [first, last) of the table, all of them pattern or enclosed steps (which go over the
// whole text, as their matches may span anything), or none. Steps without patterns
// match only their own short texts: none involves a character outside those texts and their
// replacements (an inert character), so none of their matches spans one, and a long text can go
// through them piece by piece, split after inert characters, with the pieces small enough to
// stay in the cache.
//
// A run without patterns is cut by mark when each of its steps either begins with the mark (and
// holds it nowhere else, nor in its replacement, which is not empty) or replaces one unit by
// another that no other step of the run looks for or writes (a translation), and when no unit
// that can begin a piece (the mark, and what its steps write first) is looked for anywhere but at
// the start. Then no match ever spans the place before a mark of the text: the translations go
// first, over the whole text, and then each piece from one mark to the next goes through the other
// steps, which can only match at its start.
struct StepRun {
  std::size_t first = 0;
  std::size_t last = 0;
  bool patterns = false;
  std::array<bool, 128> touched = {};  // ASCII characters that are not inert; all others are
  char16_t mark = 0;                   // the unit that begins the most literal steps
  bool cutByMark = false;
};

struct CleanupPlan {
  std::array<StepPlan, CleanupSteps.size()> steps;
  std::vector<StepRun> runs;
};

// Made once per process; carrying it out is read-only, so the download workers may share it.
const CleanupPlan& SharedCleanupPlan();

}  // namespace tidewire::cleanup_internal
