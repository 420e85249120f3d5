#pragma once
// Turns feed titles and descriptions (HTML fragments, entities, line breaks) into one line of
// plain text for the ticker.

#include <string>
#include <string_view>

namespace tidewire {

// PatternReplace results.
enum class PatternReplaceResult : int {
  Done = 0,
  BadPattern = 2,
  NoMatch = 3,
};

// Replaces the leftmost match of `pattern` (see pattern_matcher.h) in `text` by `replacement`;
// with `replaceAll`, every further match too, each search starting right after the previous
// match, so that matches never overlap and inserted text is never searched. Each rest is searched
// as an input of its own (a ^ pattern matches at its start). A match of the empty string keeps
// the character after it, and the next search starts behind that character.
// With `substituteGroups`, "{$k}" in the replacement (k = 1, 2, ...) stands for the text of match
// group k - 1 (empty if the group took no part); other text is copied as it stands.
// Returns Done, NoMatch, or BadPattern (text unchanged).
PatternReplaceResult PatternReplace(std::u16string& text, const char16_t* pattern,
                                    std::u16string_view replacement, bool replaceAll,
                                    bool substituteGroups, bool caseSensitive);

// Cleans one feed text in place: drops markup, links and coloured font runs, decodes the common
// entities (also when escaped twice), turns line breaks and tabs into spaces, collapses runs of
// spaces, hyphens and commas, and trims spaces and hyphens at both ends.
void CleanText(std::u16string& text);

}  // namespace tidewire
