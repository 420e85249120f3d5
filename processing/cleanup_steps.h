#pragma once
// The steps of CleanText, in order: the one list that the cleanup runs and that its tests and
// fuzz target check the matcher against. After the last step the text is trimmed of spaces and
// hyphens at both ends.

#include <array>
#include <string_view>

namespace tidewire {

enum class CleanupStepKind {
  kLiteral,  // every occurrence of the search text, left to right
  kPattern,  // every match of the pattern, case-sensitive (see pattern_matcher.h)
};

struct CleanupStep {
  CleanupStepKind kind;
  std::u16string_view search;
  std::u16string_view replacement;
};

// The tag pattern holds a real line feed: "<", then any run of characters other than ">" (line
// feeds included), then ">".
inline constexpr std::array<CleanupStep, 68> kCleanupSteps = {{
    {CleanupStepKind::kLiteral, u"<![CDATA[", u" "},
    {CleanupStepKind::kLiteral, u"]]> ", u" "},
    {CleanupStepKind::kLiteral, u"<br>", u"-"},
    {CleanupStepKind::kLiteral, u"<BR>", u"-"},
    {CleanupStepKind::kPattern, u"<table>", u""},
    {CleanupStepKind::kPattern, u"</table>", u""},
    {CleanupStepKind::kPattern, u"<tr>", u""},
    {CleanupStepKind::kPattern, u"</tr>", u""},
    {CleanupStepKind::kPattern, u"<td>", u" "},
    {CleanupStepKind::kPattern, u"</td>", u""},
    {CleanupStepKind::kPattern, u"<th>", u" "},
    {CleanupStepKind::kPattern, u"</th>", u""},
    {CleanupStepKind::kPattern, u"<a[^>]+href=([^ >]+)[^>]*>(.*?)</a>", u" "},
    {CleanupStepKind::kPattern, u"<font[^>]*color=([^ >]+)[^>]*>(.*?)</font>", u" "},
    {CleanupStepKind::kPattern, u"<([^>]|\n)*>", u" "},
    {CleanupStepKind::kLiteral, u"&amp;quot;", u"\""},
    {CleanupStepKind::kLiteral, u"&amp;apos;", u"'"},
    {CleanupStepKind::kLiteral, u"&rdquo;", u"\""},
    {CleanupStepKind::kLiteral, u"&ldquo;", u"\""},
    {CleanupStepKind::kLiteral, u"&bdquo;", u"\""},
    {CleanupStepKind::kLiteral, u"&ndash;", u"-"},
    {CleanupStepKind::kLiteral, u"&mdash;", u"-"},
    {CleanupStepKind::kLiteral, u"&tilde;", u"~"},
    {CleanupStepKind::kLiteral, u"&rdquo", u"\""},
    {CleanupStepKind::kLiteral, u"&ldquo", u"\""},
    {CleanupStepKind::kLiteral, u"&bdquo", u"\""},
    {CleanupStepKind::kLiteral, u"&ndash", u"-"},
    {CleanupStepKind::kLiteral, u"&mdash", u"-"},
    {CleanupStepKind::kLiteral, u"&tilde", u"~"},
    {CleanupStepKind::kLiteral, u"&nbsp;", u" "},
    {CleanupStepKind::kLiteral, u"&#160;", u" "},
    {CleanupStepKind::kLiteral, u"&#xA0;", u" "},
    {CleanupStepKind::kLiteral, u"&quot;", u"\""},
    {CleanupStepKind::kLiteral, u"&#34;", u"\""},
    {CleanupStepKind::kLiteral, u"&#x22;", u"\""},
    {CleanupStepKind::kLiteral, u"&amp;", u"&"},
    {CleanupStepKind::kLiteral, u"&#38;", u"&"},
    {CleanupStepKind::kLiteral, u"&#x26;", u"&"},
    {CleanupStepKind::kLiteral, u"&apos;", u"'"},
    {CleanupStepKind::kLiteral, u"&#39;", u"'"},
    {CleanupStepKind::kLiteral, u"&#x27;", u"'"},
    {CleanupStepKind::kLiteral, u"&lt;", u"<"},
    {CleanupStepKind::kLiteral, u"&#60;", u"<"},
    {CleanupStepKind::kLiteral, u"&#x3c;", u"<"},
    {CleanupStepKind::kLiteral, u"&gt;", u">"},
    {CleanupStepKind::kLiteral, u"&#62;", u">"},
    {CleanupStepKind::kLiteral, u"&#x3e;", u">"},
    {CleanupStepKind::kLiteral, u"|", u","},
    {CleanupStepKind::kLiteral, u"&#8220;", u"\""},
    {CleanupStepKind::kLiteral, u"&#8221;", u"\""},
    {CleanupStepKind::kLiteral, u"&#8249;", u"<"},
    {CleanupStepKind::kLiteral, u"&#8250;", u">"},
    {CleanupStepKind::kLiteral, u"&#732;", u"~"},
    {CleanupStepKind::kLiteral, u"\r", u" "},
    {CleanupStepKind::kLiteral, u"&#13;", u" "},
    {CleanupStepKind::kLiteral, u"&#x0D;", u" "},
    {CleanupStepKind::kLiteral, u"\n", u" "},
    {CleanupStepKind::kLiteral, u"\b", u" "},
    {CleanupStepKind::kLiteral, u"\t", u" "},
    {CleanupStepKind::kLiteral, u"&#09;", u" "},
    {CleanupStepKind::kLiteral, u"&#x09;", u" "},
    {CleanupStepKind::kPattern, u" +", u" "},
    {CleanupStepKind::kPattern, u"-+", u"-"},
    {CleanupStepKind::kPattern, u"( -)+", u" -"},
    {CleanupStepKind::kPattern, u",+", u","},
    {CleanupStepKind::kLiteral, u".-", u"."},
    {CleanupStepKind::kLiteral, u". -", u"."},
    {CleanupStepKind::kLiteral, u".  -", u"."},
}};

}  // namespace tidewire
