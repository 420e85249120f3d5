// Throughput of the document path (decode, parse, read, clean) on generated feeds of about 2 MB
// (the benchmark feed) and 5 MB with varied markup. Natively, a plain parse of the same bytes is
// the floor the path is compared with: libxml2 in process (xmlReadMemory), and `xmllint --noout`
// on them as a file, whole process.

#include <cstdio>
#include <memory>
#include <random>
#include <string>
#include <vector>

#include "bench/bench_harness.h"
#include "processing/document_path.h"
#include "processing/encoding.h"
#include "processing/platform.h"

#ifdef _WIN32
#include <objbase.h>
#else
#include <libxml/parser.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>
#endif

namespace {

using tidewire::bench::Measure;
using tidewire::bench::Report;

// A feed in the shapes seen in the wild: plain and CDATA descriptions with HTML, escaped and
// double-escaped entities, source suffixes, links with query strings, white space and
// non-ASCII text.
std::string GenerateFeed(std::size_t targetBytes) {
  std::mt19937 random(20210906);
  const char* const words[] = {"harbour",
                               "council",
                               "storm",
                               "caf\xC3\xA9",
                               "budget",
                               "ferry",
                               "bridge",
                               "rain",
                               "M\xC3\xBCnchen",
                               "market",
                               "school",
                               "tide",
                               "\xE2\x80\x9Cquote\xE2\x80\x9D",
                               "-",
                               "report",
                               "season"};
  auto sentence = [&](int count) {
    std::string text;
    for (int i = 0; i < count; ++i) {
      if (i > 0) text += ' ';
      text += words[random() % std::size(words)];
    }
    return text;
  };
  std::string feed =
      "<?xml version=\"1.0\" encoding=\"utf-8\"?>\n<rss version=\"2.0\">\n<channel>\n"
      "<title>Generated &amp; Varied</title>\n<link>http://bench.example.com/</link>\n"
      "<description>Benchmark feed</description>\n";
  for (int item = 0; feed.size() < targetBytes; ++item) {
    feed += "<item>\n  <title>" + sentence(3 + item % 5) + " - Wire " + std::to_string(item % 7) +
            "</title>\n  <link>http://bench.example.com/story?id=" + std::to_string(item) +
            "&amp;src=rss</link>\n  <description>";
    switch (item % 4) {
      case 0: feed += "Wire " + std::to_string(item % 7) + " - " + sentence(30); break;
      case 1:
        feed += "<![CDATA[<p>" + sentence(12) + " <b>" + sentence(3) + "</b><br>" + sentence(15) +
                "</p><a href=\"http://bench.example.com/more\">more</a>]]>";
        break;
      case 2:
        feed += "&lt;table&gt;&lt;tr&gt;&lt;td&gt;" + sentence(6) +
                "&lt;/td&gt;&lt;/tr&gt;"
                "&lt;/table&gt; &amp;quot;" +
                sentence(8) + "&amp;quot; &amp;nbsp;|| " + sentence(10);
        break;
      default:
        feed += "\n    " + sentence(20) + "\n    &#8220;" + sentence(5) + "&#8221; -- " +
                sentence(10) + "\n  ";
        break;
    }
    feed += "</description>\n  <pubDate>Mon, 06 Sep 2021 07:05:00 GMT</pubDate>\n</item>\n";
  }
  feed += "</channel>\n</rss>\n";
  return feed;
}

#ifndef _WIN32
// `xmllint --noout` on the feed written to a file, whole process: false when it cannot be run.
bool MeasureXmllint(const std::string& feed, tidewire::bench::Result& result) {
  char name[] = "/tmp/tidewire-bench-feed-XXXXXX";
  const int file = ::mkstemp(name);
  if (file < 0) return false;
  const bool written = ::write(file, feed.data(), feed.size()) == static_cast<ssize_t>(feed.size());
  ::close(file);
  bool ran = written;
  char program[] = "xmllint";
  char option[] = "--noout";
  char* const arguments[] = {program, option, name, nullptr};
  if (ran) {
    result = Measure([&] {
      pid_t child = 0;
      int status = 1;
      if (::posix_spawnp(&child, program, nullptr, nullptr, arguments, environ) != 0 ||
          ::waitpid(child, &status, 0) != child || status != 0) {
        ran = false;
      }
    });
  }
  ::unlink(name);
  return ran;
}
#endif

void MeasureFeed(std::size_t targetBytes) {
  const std::string feed = GenerateFeed(targetBytes);
  std::printf("generated feed: %zu bytes\n", feed.size());

  std::size_t headlines = 0;
  tidewire::DocumentPath path(tidewire::PlatformTextDecoder(),
                              tidewire::CreatePlatformXmlDocument(), [] {
                                return tidewire::ClockTime{7, 5};
                              });
  const auto decodeOnly = Measure([&] {
    const std::u16string text =
        tidewire::DocumentPath::Decode(feed, tidewire::PlatformTextDecoder());
    headlines += text.size() == 0;
  });
  Report("decode (mark, code page, UTF-8 to UTF-16)", decodeOnly, feed.size());

  std::unique_ptr<tidewire::XmlDocument> document = tidewire::CreatePlatformXmlDocument();
  const std::u16string text = tidewire::DocumentPath::Decode(feed, tidewire::PlatformTextDecoder());
  const auto loadOnly = Measure([&] { document->Load(text); });
  Report("load (parse the UTF-16 text)", loadOnly, feed.size());
  const auto loadUtf8 = Measure([&] { headlines += document->LoadUtf8(feed) ? 0 : 1; });
  Report("load UTF-8 (parse the bytes as they are)", loadUtf8, feed.size());

  const auto whole = Measure([&] {
    std::vector<tidewire::Headline> list;
    path.Read(feed, list);
    headlines = list.size();
  });
  Report("whole document path", whole, feed.size());
  std::printf("headlines per run: %zu\n", headlines);

#ifndef _WIN32
  const auto floor = Measure([&] {
    xmlDoc* doc = xmlReadMemory(feed.data(), static_cast<int>(feed.size()), nullptr, nullptr,
                                XML_PARSE_NONET);
    xmlFreeDoc(doc);
  });
  Report("floor: plain libxml2 parse (xmlReadMemory)", floor, feed.size());
  std::printf("whole path / plain libxml2 parse: %.2f\n", whole.bestSeconds / floor.bestSeconds);
  tidewire::bench::Result xmllint;
  if (MeasureXmllint(feed, xmllint)) {
    Report("floor: xmllint --noout, whole process", xmllint, feed.size());
    std::printf("whole path / xmllint --noout: %.2f\n", whole.bestSeconds / xmllint.bestSeconds);
  } else {
    std::printf("xmllint --noout could not be run\n");
  }
#endif
}

}  // namespace

int main() {
#ifdef _WIN32
  if (FAILED(::CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED))) return 1;
#endif
  MeasureFeed(2u << 20);
  std::printf("\n");
  MeasureFeed(5u << 20);
#ifdef _WIN32
  ::CoUninitialize();
#endif
  return 0;
}
