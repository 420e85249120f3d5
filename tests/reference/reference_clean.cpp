#include "tests/reference/reference_clean.h"

#include <cstddef>

#include "processing/cleanup_steps.h"
#include "processing/pattern_replace.h"

namespace tidewire::testing_support {

std::u16string ReferenceClean(std::u16string text) {
  for (const CleanupStep& step : CleanupSteps) {
    if (step.kind == CleanupStepKind::Pattern) {
      PatternReplace(text, std::u16string(step.search).c_str(), step.replacement, true, false,
                     true);
      continue;
    }
    std::u16string out;
    std::size_t from = 0;
    for (std::size_t at; (at = text.find(step.search, from)) != std::u16string::npos;
         from = at + step.search.size()) {
      out += text.substr(from, at - from);
      out += step.replacement;
    }
    text = out + text.substr(from);
  }
  const std::size_t begin = text.find_first_not_of(u" -");
  if (begin == std::u16string::npos) return u"";
  return text.substr(begin, text.find_last_not_of(u" -") - begin + 1);
}

}  // namespace tidewire::testing_support
