#pragma once
// Headlines as JSON lines, the form in which the preview tool prints them and the test corpus
// records them.

#include <string>
#include <string_view>

#include "processing/headline.h"

namespace tidewire {

// A JSON string literal (quotes included) in UTF-8. Quotation marks, backslashes and control
// characters are escaped; an unpaired surrogate is written as a \u escape.
std::string JsonString(std::u16string_view text);

// {"link":…,"title":…,"text":…,"feedTitle":…,"fetchTime":…} on one line, without line feed.
std::string HeadlineJson(const Headline& headline);

}  // namespace tidewire
