#include "processing/pattern_replace.h"

#include <cstddef>
#include <string>
#include <string_view>

#include "processing/pattern_matcher.h"

namespace tidewire {
namespace {

// Appends the replacement with "{$k}" standing for the text of group k - 1, in one pass, so that
// group text that happens to contain "{$" is never substituted again.
void AppendSubstituted(std::u16string& out, std::u16string_view replacement,
                       std::u16string_view text, const MatchContext& match) {
  std::size_t i = 0;
  while (i < replacement.size()) {
    const std::size_t open = replacement.find(u"{$", i);
    if (open == std::u16string_view::npos) break;
    std::size_t k = open + 2;
    std::size_t number = 0;
    while (k < replacement.size() && replacement[k] >= u'0' && replacement[k] <= u'9' &&
           number <= match.GroupCount()) {
      number = number * 10 + (replacement[k] - u'0');
      ++k;
    }
    const bool placeholder = k > open + 2 && k < replacement.size() && replacement[k] == u'}' &&
                             number >= 1 && number <= match.GroupCount();
    if (!placeholder) {
      out.append(replacement.substr(i, open + 2 - i));
      i = open + 2;
      continue;
    }
    out.append(replacement.substr(i, open - i));
    const MatchSpan group = match.Group(number - 1);
    if (group.Matched()) out.append(text.substr(group.start, group.end - group.start));
    i = k + 1;
  }
  out.append(replacement.substr(i));
}

// The loop that stands for replacing in the rest after each match: iterating keeps long texts
// off the machine stack, and the shared memo keeps the successive searches linear.
PatternReplaceResult Replace(std::u16string& text, const PatternMatcher& matcher,
                                    std::u16string_view replacement, bool replaceAll,
                                    bool substituteGroups, std::u16string& out) {
  const std::u16string_view view(text);
  SearchMemo memo;
  MatchContext match;
  out.clear();
  std::size_t from = 0;
  bool replaced = false;
  while (matcher.MatchFrom(view, from, &memo, &match)) {
    if (!replaced) out.reserve(text.size());
    replaced = true;
    out.append(view.substr(from, match.Start() - from));
    if (substituteGroups) {
      AppendSubstituted(out, replacement, view, match);
    } else {
      out.append(replacement);
    }
    from = match.End();
    if (!replaceAll) break;
    if (match.Start() == match.End()) {
      if (from == view.size()) break;
      out.push_back(view[from++]);
    }
  }
  if (!replaced) return PatternReplaceResult::NoMatch;
  out.append(view.substr(from));
  text.swap(out);
  return PatternReplaceResult::Done;
}

}  // namespace

PatternReplaceResult ReplaceFirst(std::u16string& text, const PatternMatcher& matcher,
                                  std::u16string_view replacement, bool substituteGroups,
                                  std::u16string& scratch) {
  return Replace(text, matcher, replacement, false, substituteGroups, scratch);
}

PatternReplaceResult ReplaceAll(std::u16string& text, const PatternMatcher& matcher,
                                std::u16string_view replacement, bool substituteGroups,
                                std::u16string& scratch) {
  return Replace(text, matcher, replacement, true, substituteGroups, scratch);
}

PatternReplaceResult PatternReplace(std::u16string& text, const char16_t* pattern,
                                    std::u16string_view replacement, bool replaceAll,
                                    bool substituteGroups, bool caseSensitive) {
  PatternMatcher matcher;
  if (matcher.Compile(pattern, caseSensitive) != PatternError::Ok) {
    return PatternReplaceResult::BadPattern;
  }
  std::u16string scratch;
  return Replace(text, matcher, replacement, replaceAll, substituteGroups, scratch);
}

}  // namespace tidewire
