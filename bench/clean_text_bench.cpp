// CleanText throughput on generated feed markup, and its time on adversarial inputs that make a
// plain backtracking search quadratic. Sizes count characters (1 MB = 10^6 UTF-16 code units).

#include <cstddef>
#include <cstdio>
#include <random>
#include <string>

#include "bench/bench_harness.h"
#include "processing/pattern_matcher.h"
#include "processing/text_cleanup.h"

#include "reference_matcher.h"

namespace tidewire::bench {
namespace {

constexpr std::size_t Megabyte = 1000000;

std::u16string Widen(const char* text) {
  std::u16string out;
  for (; *text; ++text) out += static_cast<char16_t>(static_cast<unsigned char>(*text));
  return out;
}

std::u16string Repeat(const std::u16string& piece, std::size_t times) {
  std::u16string out;
  out.reserve(piece.size() * times);
  for (std::size_t k = 0; k < times; ++k) out += piece;
  return out;
}

// Repeats `piece` until the text holds `size` characters.
std::u16string Fill(const std::u16string& piece, std::size_t size) {
  return Repeat(piece, (size + piece.size() - 1) / piece.size()).substr(0, size);
}

// Descriptions as feeds send them: paragraphs, links, coloured runs, images, tables, entities
// (some escaped twice), CDATA sections, line breaks and runs of punctuation.
std::u16string FeedMarkup(std::size_t size) {
  static const char* const Words[] = {"market", "council", "weather", "report", "storm", "Minister",
                                      "said",   "on",      "Tuesday", "the",    "a",     "record",
                                      "2024",   "team",    "wins",    "final"};
  static const char* const Markup[] = {
      "<p>",
      "</p>",
      "<b>",
      "</b>",
      "<br>",
      "<BR>",
      "<br/>",
      "<i>",
      "</i>",
      "<a href=\"http://news.example.com/story?id=4711&amp;src=rss\">Read more</a>",
      "<a href=http://x.example/y title=\"t\">link</a>",
      "<A HREF=\"u\">Upper</A>",
      "<font color=\"#ff0000\">Breaking</font>",
      "<font face=Arial>plain</font>",
      "<img src=\"http://img.example/p.jpg\" width=\"80\" />",
      "<table><tr><td>cell</td><td>cell</td></tr></table>",
      "<TD>",
      "<div\nclass=\"x\">",
      "&amp;",
      "&quot;",
      "&amp;quot;",
      "&lt;b&gt;",
      "&amp;lt;",
      "&nbsp;",
      "&#8220;",
      "&#8221;",
      "&rdquo;",
      "&mdash;",
      "&eacute;",
      "<![CDATA[",
      "]]> ",
      "\r\n",
      "\t",
      "   ",
      " - - ",
      "--",
      ",,,",
      " | ",
      ". - "};
  std::mt19937 rng(4711);
  std::uniform_int_distribution<std::size_t> word(0, std::size(Words) - 1);
  std::uniform_int_distribution<std::size_t> markup(0, std::size(Markup) - 1);
  std::u16string text;
  text.reserve(size + 128);
  while (text.size() < size) {
    if (rng() % 3 == 0) {
      text += Widen(Markup[markup(rng)]);
    } else {
      text += Widen(Words[word(rng)]);
      text += u' ';
    }
  }
  text.resize(size);
  return text;
}

void MeasureClean(const std::string& name, const std::u16string& input) {
  std::size_t sink = 0;
  const Result r = Measure([&] {
    std::u16string text = input;
    CleanText(text);
    sink += text.size();
  });
  Report(name, r, input.size());
  if (sink == 1) std::puts("");
}

// Replacing every match of the anchor step with the reference search (which prunes nothing),
// searching each rest afresh: the cost the fast search avoids.
void MeasurePlainAnchors(std::size_t repetitions) {
  const char16_t* const anchor = u"<a[^>]+href=([^ >]+)[^>]*>(.*?)</a>";
  testing_support::ReferenceMatcher plain;
  plain.Compile(anchor, true);
  PatternMatcher fast;
  fast.Compile(anchor, true);
  const std::u16string text = Repeat(u"<a href=x>", repetitions);
  const auto plainSearch = [&] {
    std::size_t from = 0;
    for (auto match = plain.MatchFrom(text, from); match.found;
         match = plain.MatchFrom(text, from)) {
      from = match.match.end;
    }
  };
  const auto fastSearch = [&] {
    SearchMemo memo;
    MatchContext match;
    std::size_t from = 0;
    while (fast.MatchFrom(text, from, &memo, &match)) from = match.End();
  };
  const std::string size = std::to_string(repetitions) + " x <a href=x>";
  Report("anchor step, plain search, " + size, Measure(plainSearch, 1, 0.2));
  Report("anchor step, fast search, " + size, Measure(fastSearch, 1, 0.2));
}

}  // namespace
}  // namespace tidewire::bench

int main() {
  using namespace tidewire::bench;
  std::printf("CleanText throughput (1 MB = 10^6 characters)\n");
  MeasureClean("feed markup, 5 MB", FeedMarkup(5 * Megabyte));
  MeasureClean("feed markup, 1 KB (typical description)", FeedMarkup(1000));

  std::printf("\nCleanText on adversarial inputs\n");
  MeasureClean("20,000 x <a href=x>, no </a>", Repeat(u"<a href=x>", 20000));
  MeasureClean("<a href=x> + 40 letters, no </a>, 1 MB",
               Fill(u"<a href=x>" + std::u16string(40, u'w'), Megabyte));
  MeasureClean("<a href=x without >, 1 MB", Fill(u"<a href=x ", Megabyte));
  MeasureClean("100,000 x <, no >", std::u16string(100000, u'<'));
  MeasureClean("< + 9 letters, no >, 1 MB", Fill(u"<abcdefghi", Megabyte));
  MeasureClean("1,000,000 x <, no >", std::u16string(Megabyte, u'<'));
  MeasureClean("<font color=x>, no </font>, 1 MB", Fill(u"<font color=x>", Megabyte));
  MeasureClean("<a href=x><font color=x><, no closers, 1 MB",
               Fill(u"<a href=x><font color=x><", Megabyte));
  MeasureClean("\" -\" run, 1 MB", Fill(u" -", Megabyte));
  MeasureClean("space run, 1 MB", std::u16string(Megabyte, u' '));
  MeasureClean("comma run, 1 MB", std::u16string(Megabyte, u','));
  MeasureClean("hyphen run, 1 MB", std::u16string(Megabyte, u'-'));
  MeasureClean("no markup, 1 MB", Fill(u"Plain words, and more words. ", Megabyte));

  std::printf("\nWhy the search is pruned: one pattern step, plain against fast\n");
  for (std::size_t repetitions : {1000, 2000, 4000}) MeasurePlainAnchors(repetitions);
  return 0;
}
