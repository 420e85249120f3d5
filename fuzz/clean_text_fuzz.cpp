// Cleans arbitrary text and checks what every cleaned text satisfies, and that it agrees with the
// cleanup as the table defines it, also for the text repeated past one of the pieces that long
// texts are cleaned in. For shorter texts also checks each pattern step of the cleanup table
// against the reference search, which searches every rest afresh.
//
// Input: one byte per code unit (0x00-0xFE as they are, 0xFF followed by two bytes for any other).

#include <cstddef>
#include <cstdint>
#include <string>

#include "fuzz/fuzz_input.h"
#include "processing/cleanup_steps.h"
#include "processing/pattern_matcher.h"
#include "processing/pattern_replace.h"
#include "processing/text_cleanup.h"
#include "reference_clean.h"
#include "reference_matcher.h"

namespace {

void Check(bool condition) {
  if (!condition) __builtin_trap();
}

std::u16string Decode(const std::uint8_t* data, std::size_t size) {
  return tidewire::fuzz::Utf16FromFuzzBytes(data, size);
}

// Replacement by definition: match in the text, then in the copied-out rest after each match.
// Returns false when the reference search gives up at its step limit.
bool ReferenceReplaceAll(std::u16string rest, const char16_t* pattern, std::u16string* out) {
  tidewire::testing_support::ReferenceMatcher plain;
  Check(plain.Compile(pattern, true) == tidewire::PatternError::Ok);
  plain.SetStepLimit(2000000);
  out->clear();
  for (;;) {
    const tidewire::testing_support::ReferenceMatch match = plain.Match(rest);
    if (match.stepLimitReached) return false;
    if (!match.found) break;
    *out += rest.substr(0, match.match.start) + u"#";
    rest = rest.substr(match.match.end);
  }
  *out += rest;
  return true;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::u16string input = Decode(data, size);
  std::u16string text = input;
  tidewire::CleanText(text);
  // Line breaks, tabs, backspaces and bars are all replaced before the last steps, which insert
  // none; the ends are trimmed last.
  for (const char16_t c : text) {
    Check(c != u'\r' && c != u'\n' && c != u'\t' && c != u'\b' && c != u'|');
  }
  if (!text.empty()) {
    Check(text.front() != u' ' && text.front() != u'-');
    Check(text.back() != u' ' && text.back() != u'-');
  }

  Check(text == tidewire::testing_support::ReferenceClean(input));
  // Repeated past the size of one piece; for one input in eight, which keeps the target fast.
  if (!input.empty() && input.size() <= 2000 && input[0] % 8 == 0) {
    std::u16string repeated;
    while (repeated.size() < 17000) repeated += input;
    std::u16string cleaned = repeated;
    tidewire::CleanText(cleaned);
    Check(cleaned == tidewire::testing_support::ReferenceClean(repeated));
  }

  if (input.size() > 2000) return 0;
  for (const tidewire::CleanupStep& step : tidewire::CleanupSteps) {
    if (step.kind != tidewire::CleanupStepKind::Pattern) continue;
    const std::u16string pattern(step.search);
    std::u16string expected;
    if (!ReferenceReplaceAll(input, pattern.c_str(), &expected)) continue;
    std::u16string replaced = input;
    tidewire::PatternReplace(replaced, pattern.c_str(), u"#", true, false, true);
    Check(replaced == expected);
  }
  return 0;
}
