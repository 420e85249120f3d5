#include "processing/pattern_replace.h"
#include "processing/text_cleanup.h"

#include <gtest/gtest.h>

#include <random>
#include <string>

#include "processing/cleanup_steps.h"
#include "processing/pattern_matcher.h"
#include "tests/reference/reference_clean.h"
#include "tests/reference/reference_matcher.h"

namespace tidewire {
namespace {

std::u16string Cleaned(std::u16string text) {
  CleanText(text);
  return text;
}

struct Replaced {
  PatternReplaceResult result;
  std::u16string text;
};

Replaced Replace(std::u16string text, const char16_t* pattern, std::u16string_view replacement,
                 bool replaceAll = true, bool substituteGroups = false, bool caseSensitive = true) {
  const PatternReplaceResult result =
      PatternReplace(text, pattern, replacement, replaceAll, substituteGroups, caseSensitive);
  return {result, text};
}

TEST(PatternReplaceTest, ResultCodesAndUnchangedTextOnFailure) {
  EXPECT_EQ(Replace(u"abc", u"b", u"X").result, PatternReplaceResult::Done);
  const Replaced none = Replace(u"abc", u"x", u"X");
  EXPECT_EQ(none.result, PatternReplaceResult::NoMatch);
  EXPECT_EQ(none.text, u"abc");
  const Replaced broken = Replace(u"a(c", u"(", u"X");
  EXPECT_EQ(broken.result, PatternReplaceResult::BadPattern);
  EXPECT_EQ(broken.text, u"a(c");
  EXPECT_EQ(Replace(u"abc", nullptr, u"X").result, PatternReplaceResult::BadPattern);
  EXPECT_EQ(Replace(u"", u" +", u"X").result, PatternReplaceResult::NoMatch);
}

TEST(PatternReplaceTest, FirstOrEveryMatchWithoutOverlapOrRescanning) {
  EXPECT_EQ(Replace(u"a-a-a", u"a", u"X", false).text, u"X-a-a");
  EXPECT_EQ(Replace(u"a-a-a", u"a", u"X").text, u"X-X-X");
  EXPECT_EQ(Replace(u"aaaaa", u"aa", u"X").text, u"XXa");
  EXPECT_EQ(Replace(u"aaa", u"a", u"aa").text, u"aaaaaa");  // inserted text is not searched
  EXPECT_EQ(Replace(u"xABCx", u"abc", u"-", true, false, false).text, u"x-x");
  EXPECT_EQ(Replace(u"xABCx", u"abc", u"-", true, false, true).result,
            PatternReplaceResult::NoMatch);
}

TEST(PatternReplaceTest, EachRestIsSearchedAsAnInputOfItsOwn) {
  // ^ anchors at the start of every rest, as replacing in the rest after each match implies.
  EXPECT_EQ(Replace(u"aab", u"^a", u"X").text, u"XXb");
  EXPECT_EQ(Replace(u"aab", u"^a", u"X", false).text, u"Xab");
  EXPECT_EQ(Replace(u"abab", u"b$", u"X").text, u"abaX");
}

TEST(PatternReplaceTest, EmptyMatchesKeepTheNextCharacter) {
  EXPECT_EQ(Replace(u"ab", u"b*", u"X").text, u"XaXX");
  EXPECT_EQ(Replace(u"", u"b*", u"X").text, u"X");
  EXPECT_EQ(Replace(u"aa", u"a*", u"X").text, u"XX");
}

TEST(PatternReplaceTest, LongTextsNeedNoRecursion) {
  std::u16string text;
  for (int k = 0; k < 300000; ++k) text += u"ab";
  ASSERT_EQ(PatternReplace(text, u"b", u"", true, false, true), PatternReplaceResult::Done);
  EXPECT_EQ(text, std::u16string(300000, u'a'));
}

TEST(PatternReplaceTest, GroupSubstitution) {
  EXPECT_EQ(Replace(u"a-1 b-2", u"{\\c}-{\\d}", u"{$2}:{$1}", true, true).text, u"1:a 2:b");
  EXPECT_EQ(Replace(u"a-1", u"{\\c}-{\\d}", u"{$2}:{$1}", true, false).text, u"{$2}:{$1}");
  // A group that took no part gives nothing; unknown or malformed placeholders stay.
  EXPECT_EQ(Replace(u"b", u"{a}|{b}", u"[{$1}{$2}]", true, true).text, u"[b]");
  EXPECT_EQ(Replace(u"x", u"{x}", u"{$3}{$}{$1", true, true).text, u"{$3}{$}{$1");
  EXPECT_EQ(Replace(u"x", u"{x}", u"{$01}", true, true).text, u"x");
  // Group text is inserted once, never substituted again.
  EXPECT_EQ(Replace(u"{$2}=y", u"{.*}={y}", u"{$1}{$2}", true, true).text, u"{$2}y");
}

// The replacement as defined: search the whole text, then the rest after each match, each rest
// copied out as an input of its own and searched with the reference search.
std::u16string ReferenceReplaceAll(std::u16string rest, const char16_t* pattern,
                                   const std::u16string& replacement) {
  testing_support::ReferenceMatcher plain;
  EXPECT_EQ(plain.Compile(pattern, true), PatternError::Ok);
  std::u16string out;
  for (;;) {
    const testing_support::ReferenceMatch match = plain.Match(rest);
    if (!match.found) break;
    out += rest.substr(0, match.match.start) + replacement;
    rest = rest.substr(match.match.end);
  }
  return out + rest;
}

TEST(PatternReplaceTest, CleanupPatternsAgreeWithTheReferenceOnGeneratedMarkup) {
  static const char16_t* const Pieces[] = {u"<a href=x>",
                                           u"<a  href=\"u\" t=1>",
                                           u"<a>",
                                           u"</a>",
                                           u"<font color=red>",
                                           u"<font>",
                                           u"</font>",
                                           u"<",
                                           u">",
                                           u"<table>",
                                           u"<td>",
                                           u"<p\nclass=x>",
                                           u"te",
                                           u" ",
                                           u" -",
                                           u"-",
                                           u",",
                                           u"\n",
                                           u"href=",
                                           u"color="};
  std::mt19937 rng(99);
  std::uniform_int_distribution<std::size_t> piece(0, std::size(Pieces) - 1);
  std::uniform_int_distribution<int> count(0, 40);
  for (int round = 0; round < 2000; ++round) {
    std::u16string text;
    for (int n = count(rng); n > 0; --n) text += Pieces[piece(rng)];
    for (const CleanupStep& step : CleanupSteps) {
      if (step.kind != CleanupStepKind::Pattern) continue;
      const std::u16string pattern(step.search);
      std::u16string fast = text;
      PatternReplace(fast, pattern.c_str(), u"#", true, false, true);
      ASSERT_EQ(fast, ReferenceReplaceAll(text, pattern.c_str(), u"#"));
    }
  }
}

TEST(CleanTextTest, ExamplesFromTheCleanupRules) {
  EXPECT_EQ(Cleaned(u""), u"");
  EXPECT_EQ(Cleaned(u"&lt;b&gt;bold&lt;/b&gt;"), u"<b>bold</b>");
  EXPECT_EQ(Cleaned(u"&amp;lt;"), u"<");
  EXPECT_EQ(Cleaned(u"&amp;nbsp;"), u"&nbsp;");
  EXPECT_EQ(Cleaned(u"a<br>b"), u"a-b");
  EXPECT_EQ(Cleaned(u"a<br/>b"), u"a b");
  EXPECT_EQ(Cleaned(u"<p><b></b></p>"), u"");
  EXPECT_EQ(Cleaned(u"Read <a href=x>more</a> here"), u"Read here");
  EXPECT_EQ(Cleaned(u"Read <A HREF=x>more</A> here"), u"Read more here");
  EXPECT_EQ(Cleaned(u"one   two"), u"one two");
  EXPECT_EQ(Cleaned(u"x -- y"), u"x - y");
  EXPECT_EQ(Cleaned(u"A - - B"), u"A - B");
  EXPECT_EQ(Cleaned(u"a,,b"), u"a,b");
  EXPECT_EQ(Cleaned(u"a|b"), u"a,b");
  EXPECT_EQ(Cleaned(u"Title. - Source"), u"Title. Source");
  EXPECT_EQ(Cleaned(u"- headline -"), u"headline");
  EXPECT_EQ(Cleaned(u"--"), u"");
  EXPECT_EQ(Cleaned(u"one\r\n\ttwo"), u"one two");
  EXPECT_EQ(Cleaned(u"x]]>"), u"x]]>");
}

TEST(CleanTextTest, MarkupAndElements) {
  EXPECT_EQ(Cleaned(u"<table><tr><td>a</td><td>b</td></tr></table>"), u"a b");
  EXPECT_EQ(Cleaned(u"<TABLE><TR><TD>a</TD></TR></TABLE>"), u"a");
  EXPECT_EQ(Cleaned(u"x <a href=\"u\">t</a> y <a href=v>w</a> z"), u"x y z");
  EXPECT_EQ(Cleaned(u"<a name=x>kept</a>"), u"kept");        // no href: only the tags go
  EXPECT_EQ(Cleaned(u"Read <a href=x>more"), u"Read more");  // no </a>: only the tag goes
  EXPECT_EQ(Cleaned(u"<a href=x>multi\nline</a>after"), u"after");
  EXPECT_EQ(Cleaned(u"<font color=red>x</font> y"), u"y");
  EXPECT_EQ(Cleaned(u"<font face=x>t</font>"), u"t");
  EXPECT_EQ(Cleaned(u"a<p\nclass=x>b"), u"a b");  // a tag that spans lines
  EXPECT_EQ(Cleaned(u"a < b"), u"a < b");         // "<" without ">" stays
  EXPECT_EQ(Cleaned(u"1 < 2 > 0"), u"1 0");       // ...but "< 2 >" is a tag
  EXPECT_EQ(Cleaned(u"<![CDATA[text]]> more"), u"text more");
  EXPECT_EQ(Cleaned(u"<![CDATA[x]]>"), u"x]]>");
  EXPECT_EQ(Cleaned(u"a<BR>b<Br>c"), u"a-b c");
}

TEST(CleanTextTest, EntitiesInStepOrder) {
  EXPECT_EQ(Cleaned(u"&amp;quot;x&amp;apos;"), u"\"x'");
  EXPECT_EQ(Cleaned(u"&amp;amp;"), u"&amp;");  // decoded once, never rescanned
  EXPECT_EQ(Cleaned(u"&rdquo;a&ldquo;b&bdquo"), u"\"a\"b\"");
  EXPECT_EQ(Cleaned(u"a&ndash;b&mdash c&tilde;"), u"a-b- c~");
  EXPECT_EQ(Cleaned(u"a&nbsp;&#160;&#xA0;b"), u"a b");  // decoded, then collapsed
  EXPECT_EQ(Cleaned(u"&#34;&#x22;&#38;&#x26;&#39;&#x27;"), u"\"\"&&''");
  EXPECT_EQ(Cleaned(u"&#60;&#x3c;&#62;&#x3e;"), u"<<>>");
  EXPECT_EQ(Cleaned(u"&#x3C;"), u"&#x3C;");  // only the listed spelling
  EXPECT_EQ(Cleaned(u"&#8220;q&#8221; &#8249;&#8250; &#732;"), u"\"q\" <> ~");
  EXPECT_EQ(Cleaned(u"&eacute; &#233;"), u"&eacute; &#233;");
  EXPECT_EQ(Cleaned(u"a&#13;&#x0D;b&#09;&#x09;c\bd"), u"a b c d");
  EXPECT_EQ(Cleaned(u"&amp;lt;b&amp;gt;"), u"<b>");  // decoded markup is no longer removed
}

TEST(CleanTextTest, RunsAndTrimming) {
  EXPECT_EQ(Cleaned(u"a - - - b"), u"a - b");
  EXPECT_EQ(Cleaned(u"a---b"), u"a-b");
  EXPECT_EQ(Cleaned(u"a||b"), u"a,b");
  EXPECT_EQ(Cleaned(u"end.-next"), u"end.next");
  EXPECT_EQ(Cleaned(u"end.  -next"), u"end.next");  // spaces collapse first, then ". -" goes
  EXPECT_EQ(Cleaned(u" \t- text -\n "), u"text");
  EXPECT_EQ(Cleaned(u"a]]> b"), u"a b");
}

TEST(CleanTextTest, AgreesWithTheStepTableOnGeneratedTexts) {
  static const char16_t* const Pieces[] = {
      u"&amp;",  u"&amp;lt;", u"&lt;",       u"&gt;",      u"&quot;", u"&#8220;",
      u"&rdquo", u"&nbsp;",   u"<a href=x>", u"</a>",      u"<b>",    u"<td>",
      u"<",      u">",        u"  ",         u" ",         u"-",      u" -",
      u",",      u"|",        u".",          u"\r",        u"\n",     u"\t",
      u"word",   u"Q",        u"\u00e9",     u"<![CDATA[", u"]]> "};
  std::mt19937 rng(4711);
  std::uniform_int_distribution<std::size_t> piece(0, std::size(Pieces) - 1);
  for (const int length : {0, 3, 30, 300, 3000, 30000}) {
    for (int round = 0; round < (length >= 3000 ? 4 : 200); ++round) {
      std::u16string text;
      for (int n = 0; n < length; ++n) text += Pieces[piece(rng)];
      ASSERT_EQ(Cleaned(text), testing_support::ReferenceClean(text)) << "length " << length;
    }
  }
}

// Steps without patterns run piece by piece, in place, and at the positions of their first
// character: texts where one step makes or breaks the matches of later ones, long enough to be
// cut into many pieces.
TEST(CleanTextTest, LiteralStepsSeeWhatEarlierStepsLeft) {
  static const char16_t* const Pieces[] = {
      u"<t", u"<tr>", u"d>",    u"<br>",   u"<BR>", u"<![CDATA[", u"]]>", u" ",
      u"&",  u"amp;", u"&amp;", u"apos;",  u"lt;",  u"&#x3",      u"c;",  u"|",
      u"x",  u"&#",   u"8220;", u"\u00e9", u".",    u"-",         u"-->", u"\r\n"};
  std::mt19937 rng(2024);
  std::uniform_int_distribution<std::size_t> piece(0, std::size(Pieces) - 1);
  for (const int length : {30, 3000, 30000}) {
    for (int round = 0; round < (length >= 3000 ? 4 : 300); ++round) {
      std::u16string text;
      for (int n = 0; n < length; ++n) text += Pieces[piece(rng)];
      ASSERT_EQ(Cleaned(text), testing_support::ReferenceClean(text)) << "length " << length;
    }
  }
}

TEST(CleanTextTest, LargeAdversarialInputsGiveTheDefinedResult) {
  std::u16string anchors;
  for (int k = 0; k < 20000; ++k) anchors += u"<a href=x>";
  EXPECT_EQ(Cleaned(anchors), u"");
  EXPECT_EQ(Cleaned(u"x" + anchors + u"</a>y"), u"x y");
  std::u16string fonts;
  for (int k = 0; k < 20000; ++k) fonts += u"<font color=x>";
  EXPECT_EQ(Cleaned(fonts + u"text"), u"text");
  const std::u16string opens(100000, u'<');
  EXPECT_EQ(Cleaned(opens), opens);
  std::u16string dashes;
  for (int k = 0; k < 100000; ++k) dashes += u" -";
  EXPECT_EQ(Cleaned(u"a" + dashes + u" b"), u"a - b");
}

}  // namespace
}  // namespace tidewire
