#pragma once
// The steps of CleanText, in order: the one list that the cleanup runs and that its tests and
// fuzz target check the matcher against. After the last step the text is trimmed of spaces and
// hyphens at both ends.

#include <array>
#include <string_view>

namespace tidewire {

enum class CleanupStepKind {
  Literal,  // every occurrence of the search text, left to right
  Pattern,  // every match of the pattern, case-sensitive (see pattern_matcher.h)
};

struct CleanupStep {
  CleanupStepKind kind;
  std::u16string_view search;
  std::u16string_view replacement;
};

// The tag pattern holds a real line feed: "<", then any run of characters other than ">" (line
// feeds included), then ">".
inline constexpr std::array<CleanupStep, 68> CleanupSteps = {{
    {CleanupStepKind::Literal, u"<![CDATA[", u" "},
    {CleanupStepKind::Literal, u"]]> ", u" "},
    {CleanupStepKind::Literal, u"<br>", u"-"},
    {CleanupStepKind::Literal, u"<BR>", u"-"},
    {CleanupStepKind::Pattern, u"<table>", u""},
    {CleanupStepKind::Pattern, u"</table>", u""},
    {CleanupStepKind::Pattern, u"<tr>", u""},
    {CleanupStepKind::Pattern, u"</tr>", u""},
    {CleanupStepKind::Pattern, u"<td>", u" "},
    {CleanupStepKind::Pattern, u"</td>", u""},
    {CleanupStepKind::Pattern, u"<th>", u" "},
    {CleanupStepKind::Pattern, u"</th>", u""},
    {CleanupStepKind::Pattern, u"<a[^>]+href=([^ >]+)[^>]*>(.*?)</a>", u" "},
    {CleanupStepKind::Pattern, u"<font[^>]*color=([^ >]+)[^>]*>(.*?)</font>", u" "},
    {CleanupStepKind::Pattern, u"<([^>]|\n)*>", u" "},
    {CleanupStepKind::Literal, u"&amp;quot;", u"\""},
    {CleanupStepKind::Literal, u"&amp;apos;", u"'"},
    {CleanupStepKind::Literal, u"&rdquo;", u"\""},
    {CleanupStepKind::Literal, u"&ldquo;", u"\""},
    {CleanupStepKind::Literal, u"&bdquo;", u"\""},
    {CleanupStepKind::Literal, u"&ndash;", u"-"},
    {CleanupStepKind::Literal, u"&mdash;", u"-"},
    {CleanupStepKind::Literal, u"&tilde;", u"~"},
    {CleanupStepKind::Literal, u"&rdquo", u"\""},
    {CleanupStepKind::Literal, u"&ldquo", u"\""},
    {CleanupStepKind::Literal, u"&bdquo", u"\""},
    {CleanupStepKind::Literal, u"&ndash", u"-"},
    {CleanupStepKind::Literal, u"&mdash", u"-"},
    {CleanupStepKind::Literal, u"&tilde", u"~"},
    {CleanupStepKind::Literal, u"&nbsp;", u" "},
    {CleanupStepKind::Literal, u"&#160;", u" "},
    {CleanupStepKind::Literal, u"&#xA0;", u" "},
    {CleanupStepKind::Literal, u"&quot;", u"\""},
    {CleanupStepKind::Literal, u"&#34;", u"\""},
    {CleanupStepKind::Literal, u"&#x22;", u"\""},
    {CleanupStepKind::Literal, u"&amp;", u"&"},
    {CleanupStepKind::Literal, u"&#38;", u"&"},
    {CleanupStepKind::Literal, u"&#x26;", u"&"},
    {CleanupStepKind::Literal, u"&apos;", u"'"},
    {CleanupStepKind::Literal, u"&#39;", u"'"},
    {CleanupStepKind::Literal, u"&#x27;", u"'"},
    {CleanupStepKind::Literal, u"&lt;", u"<"},
    {CleanupStepKind::Literal, u"&#60;", u"<"},
    {CleanupStepKind::Literal, u"&#x3c;", u"<"},
    {CleanupStepKind::Literal, u"&gt;", u">"},
    {CleanupStepKind::Literal, u"&#62;", u">"},
    {CleanupStepKind::Literal, u"&#x3e;", u">"},
    {CleanupStepKind::Literal, u"|", u","},
    {CleanupStepKind::Literal, u"&#8220;", u"\""},
    {CleanupStepKind::Literal, u"&#8221;", u"\""},
    {CleanupStepKind::Literal, u"&#8249;", u"<"},
    {CleanupStepKind::Literal, u"&#8250;", u">"},
    {CleanupStepKind::Literal, u"&#732;", u"~"},
    {CleanupStepKind::Literal, u"\r", u" "},
    {CleanupStepKind::Literal, u"&#13;", u" "},
    {CleanupStepKind::Literal, u"&#x0D;", u" "},
    {CleanupStepKind::Literal, u"\n", u" "},
    {CleanupStepKind::Literal, u"\b", u" "},
    {CleanupStepKind::Literal, u"\t", u" "},
    {CleanupStepKind::Literal, u"&#09;", u" "},
    {CleanupStepKind::Literal, u"&#x09;", u" "},
    {CleanupStepKind::Pattern, u" +", u" "},
    {CleanupStepKind::Pattern, u"-+", u"-"},
    {CleanupStepKind::Pattern, u"( -)+", u" -"},
    {CleanupStepKind::Pattern, u",+", u","},
    {CleanupStepKind::Literal, u".-", u"."},
    {CleanupStepKind::Literal, u". -", u"."},
    {CleanupStepKind::Literal, u".  -", u"."},
}};

}  // namespace tidewire
