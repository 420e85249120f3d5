#pragma once
// Replacing the matches of a pattern (see pattern_matcher.h) in a text.

#include <string>
#include <string_view>

namespace tidewire {

class PatternMatcher;

// PatternReplace results.
enum class PatternReplaceResult : int {
  Done = 0,
  BadPattern = 2,
  NoMatch = 3,
};

// Replaces the leftmost match of `pattern` in `text` by `replacement`; with `replaceAll`, every
// further match too, each search starting right after the previous match, so that matches never
// overlap and inserted text is never searched. Each rest is searched as an input of its own (a ^
// pattern matches at its start). A match of the empty string keeps the character after it, and
// the next search starts behind that character.
// With `substituteGroups`, "{$k}" in the replacement (k = 1, 2, ...) stands for the text of match
// group k - 1 (empty if the group took no part); other text is copied as it stands.
// Returns Done, NoMatch, or BadPattern (text unchanged).
PatternReplaceResult PatternReplace(std::u16string& text, const char16_t* pattern,
                                    std::u16string_view replacement, bool replaceAll,
                                    bool substituteGroups, bool caseSensitive);

// PatternReplace's two ways with a compiled matcher: the leftmost match only, or every match.
// `scratch` is working memory, kept by callers that replace often. Returns Done or NoMatch.
PatternReplaceResult ReplaceFirst(std::u16string& text, const PatternMatcher& matcher,
                                  std::u16string_view replacement, bool substituteGroups,
                                  std::u16string& scratch);
PatternReplaceResult ReplaceAll(std::u16string& text, const PatternMatcher& matcher,
                                std::u16string_view replacement, bool substituteGroups,
                                std::u16string& scratch);

}  // namespace tidewire
