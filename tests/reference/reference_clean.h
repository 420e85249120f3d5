#pragma once

#include <string>

namespace tidewire::testing_support {

// The cleanup as the table defines it: every step on the whole text, patterns through
// PatternReplace, then the trim. CleanText skips steps, collapses runs without the matcher and
// cleans long texts in pieces; none of that may change a result.
std::u16string ReferenceClean(std::u16string text);

}  // namespace tidewire::testing_support
