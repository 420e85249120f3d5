#pragma once
// Turns feed titles and descriptions (HTML fragments, entities, line breaks) into one line of
// plain text for the ticker.

#include <string>
#include <string_view>

namespace tidewire {

// Cleans one feed text in place: drops markup, links and coloured font runs, decodes the common
// entities (also when escaped twice), turns line breaks and tabs into spaces, collapses runs of
// spaces, hyphens and commas, and trims spaces and hyphens at both ends.
void CleanText(std::u16string& text);

}  // namespace tidewire
