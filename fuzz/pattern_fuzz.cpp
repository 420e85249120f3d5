// Compiles arbitrary patterns and matches them against arbitrary input, in both case modes, and
// checks the product's search against the reference search: same compile result, same match,
// same group bounds, also across successive searches that share what they learnt.
//
// Input layout: byte 0 holds flags, byte 1 the pattern length in code units; the rest is text,
// one byte per code unit (0x00-0xFE as they are, 0xFF followed by two bytes for any other unit).

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <string>

#include "fuzz/fuzz_input.h"
#include "processing/pattern_matcher.h"
#include "reference_matcher.h"

namespace {

using tidewire::MatchContext;
using tidewire::PatternMatcher;
using tidewire::testing_support::ReferenceMatch;
using tidewire::testing_support::ReferenceMatcher;

std::u16string Decode(const std::uint8_t* data, std::size_t size) {
  return tidewire::fuzz::Utf16FromFuzzBytes(data, size);
}

void Check(bool condition) {
  if (!condition) __builtin_trap();
}

bool SameResult(const ReferenceMatch& x, bool found, const MatchContext& y) {
  if (x.found != found || x.match.start != y.Start() || x.match.end != y.End()) return false;
  if (x.groups.size() != y.GroupCount()) return false;
  for (std::size_t k = 0; k < x.groups.size(); ++k) {
    if (x.groups[k].start != y.Group(k).start || x.groups[k].end != y.Group(k).end) return false;
  }
  return true;
}

void Exercise(const std::u16string& pattern, const std::u16string& text, bool caseSensitive) {
  PatternMatcher fast;
  ReferenceMatcher plain;
  const tidewire::PatternError error = fast.Compile(pattern.c_str(), caseSensitive);
  Check(error == plain.Compile(pattern.c_str(), caseSensitive));
  Check(static_cast<int>(error) >= 0 && static_cast<int>(error) <= 10);
  if (error != tidewire::PatternError::Ok) return;

  // Both searches may take exponential time (the fast one prunes only patterns without
  // back-references and ! items), so both are bounded; where the reference finishes, the fast one
  // must finish too, with a margin for its different step accounting.
  constexpr std::uint64_t PlainSteps = 200000;
  plain.SetStepLimit(PlainSteps);
  MatchContext fastMatch;
  fastMatch.SetStepLimit(4 * PlainSteps);
  const ReferenceMatch expected = plain.Match(text);
  if (expected.stepLimitReached) return;
  const bool fastFound = fast.Match(text.data(), text.size(), &fastMatch);
  Check(!fastMatch.StepLimitReached());
  Check(SameResult(expected, fastFound, fastMatch));
  if (expected.found) {
    Check(expected.match.start <= expected.match.end && expected.match.end <= text.size());
  }

  // Successive searches, as replacing every match does them.
  tidewire::SearchMemo memo;
  MatchContext shared;
  plain.SetStepLimit(PlainSteps / 8);
  for (std::size_t from = 0, searches = 0; from <= text.size() && searches < 32; ++searches) {
    const ReferenceMatch single = plain.MatchFrom(text, from);
    if (single.stepLimitReached) return;
    shared.SetStepLimit(PlainSteps / 2);
    Check(SameResult(single, fast.MatchFrom(text, from, &memo, &shared), shared));
    if (!single.found) return;
    from = single.match.end > from ? single.match.end : from + 1;
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (size < 2) return 0;
  const std::u16string all = Decode(data + 2, size - 2);
  const std::size_t split = std::min<std::size_t>(data[1], all.size());
  const std::u16string pattern = all.substr(0, split);
  const std::u16string text = all.substr(split);
  Exercise(pattern, text, (data[0] & 1) != 0);
  Exercise(pattern, text, (data[0] & 1) == 0);
  return 0;
}
