#include "processing/pattern_matcher.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <random>
#include <string>
#include <vector>

#include "tests/reference/reference_matcher.h"

namespace tidewire {
namespace {

using testing_support::ReferenceMatch;
using testing_support::ReferenceMatcher;

struct Found {
  bool matched = false;
  std::size_t start = NoPosition;
  std::size_t end = NoPosition;
  std::vector<MatchSpan> groups;

  bool operator==(const Found& o) const {
    if (matched != o.matched || start != o.start || end != o.end) return false;
    if (groups.size() != o.groups.size()) return false;
    for (std::size_t k = 0; k < groups.size(); ++k) {
      if (groups[k].start != o.groups[k].start || groups[k].end != o.groups[k].end) return false;
    }
    return true;
  }
};

Found Collect(bool matched, const MatchContext& c) {
  Found f;
  f.matched = matched;
  f.start = c.Start();
  f.end = c.End();
  for (std::size_t k = 0; k < c.GroupCount(); ++k) f.groups.push_back(c.Group(k));
  return f;
}

Found Collect(const ReferenceMatch& r) {
  return Found{r.found, r.match.start, r.match.end, r.groups};
}

enum class Engine { Product, Reference };

// Every case of the dialect runs with the product's search and with the reference search.
class PatternMatcherTest : public ::testing::TestWithParam<Engine> {
 protected:
  PatternError Compile(const std::u16string& pattern, bool caseSensitive = true) {
    return GetParam() == Engine::Product ? matcher_.Compile(pattern.c_str(), caseSensitive)
                                         : reference_.Compile(pattern.c_str(), caseSensitive);
  }

  std::size_t GroupCount() const {
    return GetParam() == Engine::Product ? matcher_.GroupCount() : reference_.GroupCount();
  }

  Found Find(const std::u16string& pattern, const std::u16string& input,
             bool caseSensitive = true) {
    EXPECT_EQ(Compile(pattern, caseSensitive), PatternError::Ok);
    if (GetParam() == Engine::Reference) return Collect(reference_.Match(input));
    MatchContext context;
    const bool matched = matcher_.Match(input.data(), input.size(), &context);
    return Collect(matched, context);
  }

  // The bounds of the match, or (npos, npos) when there is none.
  std::pair<std::size_t, std::size_t> Where(const std::u16string& pattern,
                                            const std::u16string& input,
                                            bool caseSensitive = true) {
    const Found f = Find(pattern, input, caseSensitive);
    return {f.start, f.end};
  }

  PatternMatcher matcher_;
  ReferenceMatcher reference_;
};

using Bounds = std::pair<std::size_t, std::size_t>;
const Bounds Nowhere{NoPosition, NoPosition};

INSTANTIATE_TEST_SUITE_P(ProductAndReference, PatternMatcherTest,
                         ::testing::Values(Engine::Product, Engine::Reference),
                         [](const ::testing::TestParamInfo<Engine>& engine) {
                           return engine.param == Engine::Product ? "Product" : "Reference";
                         });

TEST_P(PatternMatcherTest, CompileErrorsHaveTheirCodes) {
  EXPECT_EQ(Compile(u"(a*)+"), PatternError::EmptyRepetition);
  EXPECT_EQ(Compile(u"[]"), PatternError::EmptySet);
  EXPECT_EQ(Compile(u"[^]"), PatternError::EmptySet);
  EXPECT_EQ(Compile(u"[b-a]"), PatternError::ReversedRange);
  EXPECT_EQ(Compile(u"(ab"), PatternError::UnclosedParenthesis);
  EXPECT_EQ(Compile(u"{ab"), PatternError::UnclosedBrace);
  EXPECT_EQ(Compile(u"\\1"), PatternError::UnknownGroup);
  EXPECT_EQ(Compile(u"{a}\\1"), PatternError::UnknownGroup);
  EXPECT_EQ(Compile(u"[a-]"), PatternError::UnclosedBracket);
  EXPECT_EQ(Compile(u"[abc"), PatternError::UnclosedBracket);
  EXPECT_EQ(Compile(u"[a\\"), PatternError::UnclosedBracket);
  EXPECT_EQ(GetParam() == Engine::Product ? matcher_.Compile(nullptr, true)
                                          : reference_.Compile(nullptr, true),
            PatternError::Missing);
  // Repetitions of items that can match nothing, including stacked operators, missing items, !
  // items and back-references (whose group may have matched nothing).
  EXPECT_EQ(Compile(u"(a?)*"), PatternError::EmptyRepetition);
  EXPECT_EQ(Compile(u"(a*)*?"), PatternError::EmptyRepetition);
  EXPECT_EQ(Compile(u"(a|b*)+?"), PatternError::EmptyRepetition);
  EXPECT_EQ(Compile(u"a**"), PatternError::EmptyRepetition);
  EXPECT_EQ(Compile(u"*a"), PatternError::EmptyRepetition);
  EXPECT_EQ(Compile(u"!a*"), PatternError::EmptyRepetition);
  EXPECT_EQ(Compile(u"{a}\\0+"), PatternError::EmptyRepetition);
  EXPECT_EQ(Compile(u"()*"), PatternError::EmptyRepetition);
  // Allowed: ? of anything, repetition of items that always consume.
  EXPECT_EQ(Compile(u"(a*)?"), PatternError::Ok);
  EXPECT_EQ(Compile(u"(a*b)*"), PatternError::Ok);
  EXPECT_EQ(Compile(u"a+*"), PatternError::Ok);
  EXPECT_EQ(Compile(u"{a}\\0"), PatternError::Ok);
}

TEST_P(PatternMatcherTest, FirstErrorFromTheLeftWins) {
  EXPECT_EQ(Compile(u"[b-a]("), PatternError::ReversedRange);
  EXPECT_EQ(Compile(u"(\\1"), PatternError::UnknownGroup);
  EXPECT_EQ(Compile(u"({a"), PatternError::UnclosedBrace);  // the innermost open item is reported
  EXPECT_EQ(Compile(u"{(a"), PatternError::UnclosedParenthesis);
  EXPECT_EQ(Compile(u"(a}b)"), PatternError::UnclosedParenthesis);  // the stray } ends the pattern
  EXPECT_EQ(Compile(u"{a)b}"), PatternError::UnclosedBrace);
}

TEST_P(PatternMatcherTest, CaseInsensitiveCompileFoldsThePatternText) {
  EXPECT_EQ(Compile(u"[Z-a]", true), PatternError::Ok);
  EXPECT_EQ(Compile(u"[Z-a]", false), PatternError::ReversedRange);  // folded to [z-a]
  // \D is the letter D when case matters, the digit abbreviation when folded.
  EXPECT_EQ(Where(u"\\D", u"D7"), Bounds(0, 1));
  EXPECT_EQ(Where(u"\\D", u"D7", false), Bounds(1, 2));
}

TEST(PatternMatcherInterface, AFailedCompileLeavesNoProgram) {
  PatternMatcher matcher;
  ASSERT_EQ(matcher.Compile(u"a", true), PatternError::Ok);
  ASSERT_EQ(matcher.Compile(u"(a", true), PatternError::UnclosedParenthesis);
  EXPECT_EQ(matcher.Error(), PatternError::UnclosedParenthesis);
  MatchContext context;
  EXPECT_FALSE(matcher.Match(u"a", &context));
}

TEST_P(PatternMatcherTest, EdgeCasesOfTheDialect) {
  const std::u16string anchor = u"<a[^>]+href=([^ >]+)[^>]*>(.*?)</a>";
  EXPECT_EQ(Where(anchor, u"x <a href=u>t</a> y <a href=v>w</a>"), Bounds(2, 17));
  EXPECT_EQ(Where(u"<([^>]|\n)*>", u"a <p\nclass=x> b"), Bounds(2, 13));
  EXPECT_EQ(Where(u"( -)+", u"x - - - y"), Bounds(1, 7));
  EXPECT_EQ(Where(u"-+", u"a---b"), Bounds(1, 4));
  EXPECT_EQ(Where(u" +", u""), Nowhere);
  EXPECT_EQ(Where(u"ab|cd", u"abd"), Bounds(0, 3));
  EXPECT_EQ(Where(u"ab|cd", u"acd"), Bounds(0, 3));
  EXPECT_EQ(Where(u"ab|cd", u"ab"), Nowhere);
  EXPECT_EQ(Where(u"a$", u"ba"), Bounds(1, 2));
  EXPECT_EQ(Where(u"a$", u"ab"), Nowhere);
  EXPECT_EQ(Where(u"a$b", u"a$b"), Bounds(0, 3));
  EXPECT_EQ(Where(u"\\d+", u"x42y"), Bounds(1, 3));
  EXPECT_EQ(Where(u"\\t", u"xt"), Bounds(1, 2));
  EXPECT_EQ(Where(u"\\t", u"\t"), Nowhere);
  EXPECT_EQ(Where(u"[\\t]", u"x\t"), Bounds(1, 2));
  EXPECT_EQ(Where(u"\\n", u"\r\n"), Bounds(0, 1));
  EXPECT_EQ(Where(u"\\n", u"x\n"), Bounds(1, 2));
  EXPECT_EQ(Where(u"\\n+", u"\r\n"), Bounds(0, 2));
  const Found backRef = Find(u"{a+}b\\0", u"aabaa");
  EXPECT_EQ(Bounds(backRef.start, backRef.end), Bounds(0, 5));
  EXPECT_EQ(backRef.groups[0].start, 0u);
  EXPECT_EQ(backRef.groups[0].end, 2u);
  EXPECT_EQ(Where(u"a!b", u"ac"), Bounds(0, 1));
  EXPECT_EQ(Where(u"a!b", u"ab"), Nowhere);
}

TEST_P(PatternMatcherTest, AlternationBindsSingleItems) {
  EXPECT_EQ(Where(u"T|the", u"The"), Bounds(0, 3));
  EXPECT_EQ(Where(u"T|the", u"the"), Bounds(0, 3));
  EXPECT_EQ(Where(u"(ab)|(cd)", u"xcd"), Bounds(1, 3));
  EXPECT_EQ(Where(u"(ab)|(cd)", u"acd"), Bounds(1, 3));
  EXPECT_EQ(Where(u"a|b*", u"bbb"), Bounds(0, 3));    // the right item keeps its repetition
  EXPECT_EQ(Where(u"xa*|b", u"xaab"), Bounds(0, 3));  // x, then a* or b
  EXPECT_EQ(Where(u"a|", u"b"), Bounds(0, 0));        // a missing item is the empty item
  // A chain nests to the right and is tried from the left.
  const Found chain = Find(u"{a}|{a}|{a}", u"a");
  EXPECT_TRUE(chain.groups[0].Matched());
  EXPECT_FALSE(chain.groups[1].Matched());
  EXPECT_FALSE(chain.groups[2].Matched());
  const Found last = Find(u"{b}|{c}|{a}", u"a");
  EXPECT_FALSE(last.groups[0].Matched());
  EXPECT_TRUE(last.groups[2].Matched());
}

TEST_P(PatternMatcherTest, AbbreviationsRepeatAsAWhole) {
  EXPECT_EQ(Where(u"\\a+", u"-ab12-"), Bounds(1, 5));
  EXPECT_EQ(Where(u"\\b+", u"x \t y"), Bounds(1, 4));
  EXPECT_EQ(Where(u"\\c+", u"12abC3"), Bounds(2, 5));
  EXPECT_EQ(Where(u"\\h+", u"xx0fAg"), Bounds(2, 5));
  EXPECT_EQ(Where(u"\\w", u"1 abc2"), Bounds(2, 5));
  EXPECT_EQ(Where(u"\\z", u"a 123b"), Bounds(2, 5));
  EXPECT_EQ(Where(u"\\q", u"say 'hi' \"you\""), Bounds(4, 8));
  EXPECT_EQ(Where(u"=\\q*;", u"=\"a\"'b';"), Bounds(0, 8));
}

TEST_P(PatternMatcherTest, GreedyAndLazyRepetitions) {
  EXPECT_EQ(Where(u"a+", u"aaa"), Bounds(0, 3));
  EXPECT_EQ(Where(u"a+?", u"aaa"), Bounds(0, 1));
  EXPECT_EQ(Where(u"a*?b", u"aaab"), Bounds(0, 4));
  EXPECT_EQ(Where(u"<.*>", u"<a><b>"), Bounds(0, 6));
  EXPECT_EQ(Where(u"<.*?>", u"<a><b>"), Bounds(0, 3));
  EXPECT_EQ(Where(u"a?", u"a"), Bounds(0, 1));
  EXPECT_EQ(Where(u"a??", u"a"), Bounds(0, 0));
  EXPECT_EQ(Where(u"(ab)+?c", u"ababc"), Bounds(0, 5));
  const Found greedy = Find(u"{a*}{a*}", u"aaa");
  EXPECT_EQ(greedy.groups[0].end, 3u);
  EXPECT_EQ(greedy.groups[1].start, 3u);
  const Found lazy = Find(u"{a*?}{a*}", u"aaa");
  EXPECT_EQ(lazy.groups[0].end, 0u);
  EXPECT_EQ(lazy.groups[1].end, 3u);
  // The first successful path wins, not the longest.
  EXPECT_EQ(Where(u"(a)|(ab)", u"ab"), Bounds(0, 1));
}

TEST_P(PatternMatcherTest, OptionalStepThatConsumesNothingFails) {
  // {a*}? on "b": the group's empty match is a step that consumes nothing, so ? skips it and the
  // group takes no part.
  const Found skipped = Find(u"{a*}?b", u"b");
  EXPECT_EQ(Bounds(skipped.start, skipped.end), Bounds(0, 1));
  EXPECT_FALSE(skipped.groups[0].Matched());
  const Found taken = Find(u"{a*}?b", u"ab");
  EXPECT_EQ(taken.groups[0].end, 1u);
  // The lazy form first tries going on without the group.
  EXPECT_FALSE(Find(u"{a*}??b", u"b").groups[0].Matched());
  EXPECT_EQ(Find(u"{a*}??b", u"ab").groups[0].end, 1u);
}

TEST_P(PatternMatcherTest, StartPositionsAndAnchors) {
  EXPECT_EQ(Where(u"$", u"abc"), Nowhere);  // the end is no start position of a non-empty input
  EXPECT_EQ(Where(u"x*$", u"ab"), Nowhere);
  EXPECT_EQ(Where(u"$", u""), Bounds(0, 0));
  EXPECT_EQ(Where(u"a*", u""), Bounds(0, 0));
  EXPECT_EQ(Where(u"a*", u"ba"), Bounds(0, 0));
  EXPECT_EQ(Where(u"^a", u"ba"), Nowhere);
  EXPECT_EQ(Where(u"^a", u"ab"), Bounds(0, 1));
  EXPECT_EQ(Where(u"^$", u""), Bounds(0, 0));
  EXPECT_EQ(Where(u"a^", u"a^"), Bounds(0, 2));
  EXPECT_EQ(Where(u"$a", u"x$a"), Bounds(1, 3));
  EXPECT_EQ(Where(u"a\\$", u"a$"), Bounds(0, 2));
  EXPECT_EQ(Where(u"(a$)", u"a$"), Bounds(0, 2));  // not the last character: a literal
}

TEST_P(PatternMatcherTest, UnmatchedClosersEndThePattern) {
  EXPECT_EQ(Where(u"ab)cd", u"xab"), Bounds(1, 3));
  EXPECT_EQ(Where(u"ab]cd", u"xab"), Bounds(1, 3));
  EXPECT_EQ(Where(u"ab}cd", u"xab"), Bounds(1, 3));
}

TEST_P(PatternMatcherTest, SetsRangesAndEscapes) {
  EXPECT_EQ(Where(u"[a-cx]+", u"-abxcd"), Bounds(1, 5));
  EXPECT_EQ(Where(u"[^a-c]", u"abcd"), Bounds(3, 4));
  EXPECT_EQ(Where(u"a[^b]", u"a"), Nowhere);  // the end of input is not "any other character"
  EXPECT_EQ(Where(u"[\\]]", u"x]"), Bounds(1, 2));
  EXPECT_EQ(Where(u"[a\\-z]", u"b-"), Bounds(1, 2));
  EXPECT_EQ(Where(u"[-a]+", u"x-a"), Bounds(1, 3));
  EXPECT_EQ(Where(u"[^>]+", u"<p>"), Bounds(0, 2));
  EXPECT_EQ(Where(u"[\u00e0-\u00ff\u4e00-\u9fff]+", u"a\u00e9\u4e2dz"), Bounds(1, 3));
}

TEST_P(PatternMatcherTest, CaseInsensitiveMatching) {
  EXPECT_EQ(Where(u"ABC", u"xabc", false), Bounds(1, 4));
  EXPECT_EQ(Where(u"abc", u"xABC", false), Bounds(1, 4));
  EXPECT_EQ(Where(u"[A-Z]+", u"Hello", false), Bounds(0, 5));
  EXPECT_EQ(Where(u"[A-Z]+", u"Hello", true), Bounds(0, 1));
  EXPECT_EQ(Where(u"\u00c9", u"\u00e9", false), Nowhere);  // only A-Z are folded
}

TEST_P(PatternMatcherTest, GroupsRecordTheirLastMatch) {
  const Found nested = Find(u"{{a}b}", u"xab");
  ASSERT_EQ(nested.groups.size(), 2u);
  EXPECT_EQ(nested.groups[0].start, 1u);
  EXPECT_EQ(nested.groups[0].end, 3u);
  EXPECT_EQ(nested.groups[1].start, 1u);
  EXPECT_EQ(nested.groups[1].end, 2u);
  const Found repeated = Find(u"{.}+", u"abc");
  EXPECT_EQ(repeated.groups[0].start, 2u);
  EXPECT_EQ(repeated.groups[0].end, 3u);
  EXPECT_EQ(Find(u"{a}|b", u"b").groups[0].start, NoPosition);
  ASSERT_EQ(Compile(u"(a)(b)"), PatternError::Ok);
  EXPECT_EQ(GroupCount(), 0u);  // parentheses never capture
  // A failed alternative's group bounds are undone.
  const Found undone = Find(u"({a}x)|(ay)", u"ay");
  EXPECT_TRUE(undone.matched);
  EXPECT_FALSE(undone.groups[0].Matched());
  // An empty brace pair is numbered but never records anything.
  const Found empty = Find(u"{}{b}", u"b");
  ASSERT_EQ(empty.groups.size(), 2u);
  EXPECT_FALSE(empty.groups[0].Matched());
  EXPECT_TRUE(empty.groups[1].Matched());
}

TEST_P(PatternMatcherTest, BackReferences) {
  EXPECT_EQ(Where(u"{a+}-\\0", u"aA-Aa", true), Nowhere);
  const Found folded = Find(u"{a+}-\\0", u"aA-Aa", false);
  EXPECT_EQ(Bounds(folded.start, folded.end), Bounds(0, 5));
  EXPECT_EQ(folded.groups[0].end, 2u);
  const Found word = Find(u"{[A-Z]+}\\0", u"xAbAB", false);
  EXPECT_EQ(Bounds(word.start, word.end), Bounds(1, 5));
  EXPECT_EQ(word.groups[0].start, 1u);
  EXPECT_EQ(word.groups[0].end, 3u);
  // A group that has not matched yet stands for the empty string.
  EXPECT_EQ(Where(u"{a}?b\\0", u"b"), Bounds(0, 1));
  // Inside its own group the reference means the previous complete match.
  const Found own = Find(u"{a\\0}+", u"aaa");
  EXPECT_EQ(Bounds(own.start, own.end), Bounds(0, 3));
  EXPECT_EQ(own.groups[0].start, 1u);
  EXPECT_EQ(own.groups[0].end, 3u);
  EXPECT_EQ(Where(u"{..}\\0", u"abcdcd"), Bounds(2, 6));
}

TEST_P(PatternMatcherTest, NegatedItems) {
  EXPECT_EQ(Where(u"!a.", u"ab"), Bounds(1, 2));
  EXPECT_EQ(Where(u"!!a.", u"ba"), Bounds(1, 2));  // a double ! looks ahead
  EXPECT_EQ(Where(u"(!a.)*a", u"bcad"), Bounds(0, 3));
  EXPECT_EQ(Where(u"a!", u"a"), Nowhere);  // ! of the empty item never succeeds
  EXPECT_EQ(Where(u"x!(ab)", u"xabxac"), Bounds(3, 4));
  // Groups inside a ! item never report.
  const Found inside = Find(u"!{x}.", u"a");
  EXPECT_TRUE(inside.matched);
  EXPECT_FALSE(inside.groups[0].Matched());
  const Found failed = Find(u"(!{a}b)|(ac)", u"ac");
  EXPECT_TRUE(failed.matched);
  EXPECT_FALSE(failed.groups[0].Matched());
}

TEST(PatternMatcherInterface, InputRangeEndsTheInput) {
  PatternMatcher matcher;
  ASSERT_EQ(matcher.Compile(u"a.b", true), PatternError::Ok);
  const std::u16string withNul(u"a\0b", 3);
  MatchContext context;
  EXPECT_TRUE(matcher.Match(withNul.data(), withNul.size(), &context));
  EXPECT_EQ(context.End(), 3u);
  EXPECT_FALSE(matcher.Match(withNul.c_str(), &context));  // zero-terminated: the input is "a"
  ASSERT_EQ(matcher.Compile(u"b$", true), PatternError::Ok);
  EXPECT_TRUE(matcher.Match(u"abc", 2, &context));
  EXPECT_EQ(context.End(), 2u);
  EXPECT_FALSE(matcher.Match(nullptr, &context));
  EXPECT_FALSE(matcher.Match(nullptr, 0, &context));
  EXPECT_FALSE(matcher.Match(u"b", nullptr));
}

TEST(PatternMatcherInterface, MatchFromTreatsTheRestAsItsOwnInput) {
  PatternMatcher matcher;
  ASSERT_EQ(matcher.Compile(u"^ab", true), PatternError::Ok);
  const std::u16string text = u"abab";
  SearchMemo memo;
  MatchContext context;
  EXPECT_TRUE(matcher.MatchFrom(text, 2, &memo, &context));
  EXPECT_EQ(context.Start(), 2u);
  EXPECT_FALSE(matcher.MatchFrom(text, 1, &memo, &context));
  EXPECT_FALSE(matcher.MatchFrom(text, 5, &memo, &context));
  // A memo that saw another text starts afresh instead of reusing what it learnt.
  ASSERT_EQ(matcher.Compile(u"<[^>]*>", true), PatternError::Ok);
  const std::u16string first = u"<<<<<<<<";
  const std::u16string second = u"<<<<<<<>";
  EXPECT_FALSE(matcher.MatchFrom(first, 0, &memo, &context));
  EXPECT_TRUE(matcher.MatchFrom(second, 0, &memo, &context));
}

TEST_P(PatternMatcherTest, DeepNestingNeedsNoMachineStack) {
  EXPECT_EQ(Compile(std::u16string(100000, u'(')), PatternError::UnclosedParenthesis);
  EXPECT_EQ(Compile(std::u16string(100000, u'{')), PatternError::UnclosedBrace);
  EXPECT_EQ(Compile(std::u16string(100000, u'[')), PatternError::UnclosedBracket);
  const std::size_t depth = 30000;
  EXPECT_EQ(Where(std::u16string(depth, u'(') + u"a" + std::u16string(depth, u')'), u"xa"),
            Bounds(1, 2));
  const Found braces = Find(std::u16string(depth, u'{') + u"a" + std::u16string(depth, u'}'), u"a");
  ASSERT_EQ(braces.groups.size(), depth);
  EXPECT_EQ(braces.groups[depth - 1].end, 1u);
  EXPECT_EQ(Where(std::u16string(depth, u'!') + u"a.", u"ba"), Bounds(1, 2));  // even: look ahead
  std::u16string chain = u"b";
  for (std::size_t k = 0; k < depth; ++k) chain += u"|b";
  EXPECT_EQ(Where(chain + u"|a", u"a"), Bounds(0, 1));
  // The question marks pair up into lazy ?? operators, so the outermost one skips first.
  EXPECT_EQ(Where(u"a" + std::u16string(depth, u'?'), u"a"), Bounds(0, 0));
  EXPECT_EQ(Where(u"a" + std::u16string(depth + 1, u'?'), u"a"), Bounds(0, 1));
  EXPECT_EQ(Compile(u"a" + std::u16string(100000, u'+')), PatternError::Ok);
  // Each stacked + retries all the ones inside it, so matching stays at a moderate depth.
  EXPECT_EQ(Where(u"a" + std::u16string(1000, u'+'), u"aaa"), Bounds(0, 3));
}

TEST(PatternMatcherStepLimit, BoundsThePlainSearchButNotTheFastOne) {
  const std::u16string input(40, u'a');
  ReferenceMatcher plain;
  plain.SetStepLimit(100000);
  ASSERT_EQ(plain.Compile(u"(a|a)*b", true), PatternError::Ok);
  EXPECT_TRUE(plain.Match(input).stepLimitReached);
  MatchContext context;
  context.SetStepLimit(100000);
  PatternMatcher fast;
  ASSERT_EQ(fast.Compile(u"(a|a)*b", true), PatternError::Ok);
  EXPECT_FALSE(fast.Match(input.c_str(), &context));
  EXPECT_FALSE(context.StepLimitReached());
  // Back-references keep the fast search from pruning, and the bound still holds for it.
  const std::u16string letters = std::u16string(40, u'w') + u"!";
  ASSERT_EQ(fast.Compile(u"{\\w}*{\\z}\\1", true), PatternError::Ok);
  EXPECT_FALSE(fast.Match(letters.c_str(), &context));
  EXPECT_TRUE(context.StepLimitReached());
  // The pruned search also settles the nested case without trying every split of the input.
  ASSERT_EQ(fast.Compile(u"((aa)|(a))*b", true), PatternError::Ok);
  EXPECT_FALSE(fast.Match(input.c_str(), &context));
  EXPECT_FALSE(context.StepLimitReached());
}

// ---- The product's search against the reference on generated patterns and inputs ----------

std::u16string RandomPattern(std::mt19937& rng) {
  static const char16_t* const Tokens[] = {
      u"a", u"b", u"c",   u"A",   u".",   u"[ab]", u"[^a]", u"[a-c]", u"(",     u")",
      u"{", u"}", u"|",   u"*",   u"+",   u"?",    u"*?",   u"+?",    u"??",    u"!",
      u"-", u" ", u"\\0", u"\\1", u"\\d", u"\\n",  u"\\w",  u"(ab)",  u"(a|b)", u"[^>]"};
  std::uniform_int_distribution<int> count(1, 9);
  std::uniform_int_distribution<std::size_t> pick(0, std::size(Tokens) - 1);
  std::u16string pattern;
  if (rng() % 8 == 0) pattern += u'^';
  for (int n = count(rng); n > 0; --n) pattern += Tokens[pick(rng)];
  if (rng() % 8 == 0) pattern += u'$';
  return pattern;
}

std::u16string RandomInput(std::mt19937& rng) {
  static const char16_t Units[] = u"abcaabAB1 -\r\n>";
  std::uniform_int_distribution<int> length(0, 14);
  std::uniform_int_distribution<std::size_t> pick(0, std::size(Units) - 2);
  std::u16string input;
  for (int n = length(rng); n > 0; --n) input += Units[pick(rng)];
  return input;
}

TEST(PatternMatcherDifferential, FastSearchFindsWhatTheReferenceFinds) {
  std::mt19937 rng(20240611);
  int compared = 0;
  int matched = 0;
  for (int round = 0; round < 6000; ++round) {
    const std::u16string pattern = RandomPattern(rng);
    const bool caseSensitive = rng() % 2 == 0;
    PatternMatcher fast;
    ReferenceMatcher plain;
    plain.SetStepLimit(20000);
    const PatternError error = fast.Compile(pattern.c_str(), caseSensitive);
    ASSERT_EQ(error, plain.Compile(pattern.c_str(), caseSensitive));
    if (error != PatternError::Ok) continue;
    for (int k = 0; k < 8; ++k) {
      const std::u16string input = RandomInput(rng);
      MatchContext a;
      const Found fastResult = Collect(fast.Match(input.data(), input.size(), &a), a);
      const ReferenceMatch reference = plain.Match(input);
      if (reference.stepLimitReached) continue;
      const Found plainResult = Collect(reference);
      ++compared;
      matched += plainResult.matched ? 1 : 0;
      ASSERT_TRUE(fastResult == plainResult);
    }
  }
  EXPECT_GT(compared, 10000);
  EXPECT_GT(matched, compared / 4);
}

// Successive searches that share a memo must find what independent searches of each rest find.
TEST(PatternMatcherDifferential, SharedMemoAcrossSearchesChangesNoResult) {
  std::mt19937 rng(7);
  for (int round = 0; round < 3000; ++round) {
    const std::u16string pattern = RandomPattern(rng);
    PatternMatcher fast;
    ReferenceMatcher plain;
    plain.SetStepLimit(20000);
    if (fast.Compile(pattern.c_str(), true) != PatternError::Ok) continue;
    ASSERT_EQ(plain.Compile(pattern.c_str(), true), PatternError::Ok);
    std::u16string text;
    for (int k = 0; k < 4; ++k) text += RandomInput(rng);
    SearchMemo memo;
    MatchContext shared;
    std::size_t from = 0;
    while (from < text.size()) {
      const ReferenceMatch single = plain.MatchFrom(text, from);
      if (single.stepLimitReached) break;
      const Found got = Collect(fast.MatchFrom(text, from, &memo, &shared), shared);
      ASSERT_TRUE(Collect(single) == got);
      if (!single.found) break;
      from = single.match.end > from ? single.match.end : from + 1;
    }
  }
}

}  // namespace
}  // namespace tidewire
