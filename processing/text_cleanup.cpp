#include "processing/text_cleanup.h"

#include <array>
#include <cstddef>

#include "processing/pattern_matcher.h"

namespace tidewire {
namespace {

// Replaces every occurrence of `search`, left to right, without looking at inserted text again.
void ReplaceLiteral(std::u16string& text, std::u16string_view search,
                    std::u16string_view replacement) {
  const std::u16string_view view(text);
  std::size_t found = FindLiteral(view, search, 0);
  if (found == kNoPosition) return;
  std::u16string out;
  out.reserve(text.size());
  std::size_t from = 0;
  do {
    out.append(view.substr(from, found - from));
    out.append(replacement);
    from = found + search.size();
    found = FindLiteral(view, search, from);
  } while (found != kNoPosition);
  out.append(view.substr(from));
  text = std::move(out);
}

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
int ReplaceMatches(std::u16string& text, const PatternMatcher& matcher,
                   std::u16string_view replacement, bool replaceAll, bool substituteGroups) {
  const std::u16string_view view(text);
  SearchMemo memo;
  MatchContext match;
  std::u16string out;
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
  if (!replaced) return kPatternReplaceNoMatch;
  out.append(view.substr(from));
  text = std::move(out);
  return kPatternReplaceDone;
}

enum class StepKind { kLiteral, kPattern };

struct Step {
  StepKind kind;
  std::u16string_view search;
  std::u16string_view replacement;
};

// The tag pattern holds a real line feed: "<", then any run of characters other than ">" or line
// feeds, then ">".
constexpr std::array<Step, 68> kSteps = {{
    {StepKind::kLiteral, u"<![CDATA[", u" "},
    {StepKind::kLiteral, u"]]> ", u" "},
    {StepKind::kLiteral, u"<br>", u"-"},
    {StepKind::kLiteral, u"<BR>", u"-"},
    {StepKind::kPattern, u"<table>", u""},
    {StepKind::kPattern, u"</table>", u""},
    {StepKind::kPattern, u"<tr>", u""},
    {StepKind::kPattern, u"</tr>", u""},
    {StepKind::kPattern, u"<td>", u" "},
    {StepKind::kPattern, u"</td>", u""},
    {StepKind::kPattern, u"<th>", u" "},
    {StepKind::kPattern, u"</th>", u""},
    {StepKind::kPattern, u"<a[^>]+href=([^ >]+)[^>]*>(.*?)</a>", u" "},
    {StepKind::kPattern, u"<font[^>]*color=([^ >]+)[^>]*>(.*?)</font>", u" "},
    {StepKind::kPattern, u"<([^>]|\n)*>", u" "},
    {StepKind::kLiteral, u"&amp;quot;", u"\""},
    {StepKind::kLiteral, u"&amp;apos;", u"'"},
    {StepKind::kLiteral, u"&rdquo;", u"\""},
    {StepKind::kLiteral, u"&ldquo;", u"\""},
    {StepKind::kLiteral, u"&bdquo;", u"\""},
    {StepKind::kLiteral, u"&ndash;", u"-"},
    {StepKind::kLiteral, u"&mdash;", u"-"},
    {StepKind::kLiteral, u"&tilde;", u"~"},
    {StepKind::kLiteral, u"&rdquo", u"\""},
    {StepKind::kLiteral, u"&ldquo", u"\""},
    {StepKind::kLiteral, u"&bdquo", u"\""},
    {StepKind::kLiteral, u"&ndash", u"-"},
    {StepKind::kLiteral, u"&mdash", u"-"},
    {StepKind::kLiteral, u"&tilde", u"~"},
    {StepKind::kLiteral, u"&nbsp;", u" "},
    {StepKind::kLiteral, u"&#160;", u" "},
    {StepKind::kLiteral, u"&#xA0;", u" "},
    {StepKind::kLiteral, u"&quot;", u"\""},
    {StepKind::kLiteral, u"&#34;", u"\""},
    {StepKind::kLiteral, u"&#x22;", u"\""},
    {StepKind::kLiteral, u"&amp;", u"&"},
    {StepKind::kLiteral, u"&#38;", u"&"},
    {StepKind::kLiteral, u"&#x26;", u"&"},
    {StepKind::kLiteral, u"&apos;", u"'"},
    {StepKind::kLiteral, u"&#39;", u"'"},
    {StepKind::kLiteral, u"&#x27;", u"'"},
    {StepKind::kLiteral, u"&lt;", u"<"},
    {StepKind::kLiteral, u"&#60;", u"<"},
    {StepKind::kLiteral, u"&#x3c;", u"<"},
    {StepKind::kLiteral, u"&gt;", u">"},
    {StepKind::kLiteral, u"&#62;", u">"},
    {StepKind::kLiteral, u"&#x3e;", u">"},
    {StepKind::kLiteral, u"|", u","},
    {StepKind::kLiteral, u"&#8220;", u"\""},
    {StepKind::kLiteral, u"&#8221;", u"\""},
    {StepKind::kLiteral, u"&#8249;", u"<"},
    {StepKind::kLiteral, u"&#8250;", u">"},
    {StepKind::kLiteral, u"&#732;", u"~"},
    {StepKind::kLiteral, u"\r", u" "},
    {StepKind::kLiteral, u"&#13;", u" "},
    {StepKind::kLiteral, u"&#x0D;", u" "},
    {StepKind::kLiteral, u"\n", u" "},
    {StepKind::kLiteral, u"\b", u" "},
    {StepKind::kLiteral, u"\t", u" "},
    {StepKind::kLiteral, u"&#09;", u" "},
    {StepKind::kLiteral, u"&#x09;", u" "},
    {StepKind::kPattern, u" +", u" "},
    {StepKind::kPattern, u"-+", u"-"},
    {StepKind::kPattern, u"( -)+", u" -"},
    {StepKind::kPattern, u",+", u","},
    {StepKind::kLiteral, u".-", u"."},
    {StepKind::kLiteral, u". -", u"."},
    {StepKind::kLiteral, u".  -", u"."},
}};

// The pattern steps compiled once per process; matching with them is read-only, so the download
// workers may share them.
const std::array<PatternMatcher, kSteps.size()>& CompiledSteps() {
  static const std::array<PatternMatcher, kSteps.size()> compiled = [] {
    std::array<PatternMatcher, kSteps.size()> matchers;
    for (std::size_t i = 0; i < kSteps.size(); ++i) {
      if (kSteps[i].kind == StepKind::kPattern) {
        matchers[i].Compile(std::u16string(kSteps[i].search).c_str(), true);
      }
    }
    return matchers;
  }();
  return compiled;
}

bool IsTrimmed(char16_t c) { return c == u' ' || c == u'-'; }

}  // namespace

int PatternReplace(std::u16string& text, const char16_t* pattern, std::u16string_view replacement,
                   bool replaceAll, bool substituteGroups, bool caseSensitive) {
  PatternMatcher matcher;
  if (matcher.Compile(pattern, caseSensitive) != kPatternOk) return kPatternReplaceBadPattern;
  return ReplaceMatches(text, matcher, replacement, replaceAll, substituteGroups);
}

void CleanText(std::u16string& text) {
  const auto& compiled = CompiledSteps();
  for (std::size_t i = 0; i < kSteps.size(); ++i) {
    if (text.empty()) return;
    if (kSteps[i].kind == StepKind::kLiteral) {
      ReplaceLiteral(text, kSteps[i].search, kSteps[i].replacement);
    } else {
      ReplaceMatches(text, compiled[i], kSteps[i].replacement, true, false);
    }
  }
  std::size_t end = text.size();
  while (end > 0 && IsTrimmed(text[end - 1])) --end;
  std::size_t begin = 0;
  while (begin < end && IsTrimmed(text[begin])) ++begin;
  text = text.substr(begin, end - begin);
}

}  // namespace tidewire
