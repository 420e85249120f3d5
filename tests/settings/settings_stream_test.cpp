#include "settings/settings_stream.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "settings/language_defaults.h"
#include "settings/memory_byte_stream.h"

namespace tidewire {
namespace {

constexpr std::u16string_view DefaultList = u"http://a.example/rss URL http://b.example/rss";

// Stream bytes put together by hand, independently of the writer.
struct Layout {
  Layout& Number(std::uint32_t value) {
    return Raw({static_cast<std::uint8_t>(value), static_cast<std::uint8_t>(value >> 8),
                static_cast<std::uint8_t>(value >> 16), static_cast<std::uint8_t>(value >> 24)});
  }
  Layout& String(std::u16string_view text) {
    Number(static_cast<std::uint32_t>(2 * text.size() + 2));
    for (const char16_t unit : text) {
      Raw({static_cast<std::uint8_t>(unit), static_cast<std::uint8_t>(unit >> 8)});
    }
    return Raw({0, 0});
  }
  Layout& Raw(const std::vector<std::uint8_t>& raw) {
    bytes.insert(bytes.end(), raw.begin(), raw.end());
    return *this;
  }
  std::vector<std::uint8_t> bytes;
};

// What the record holds before a load.
const SettingsRecord Previous{u"old list", u"0", 111, 222, 3};

// Loads into a copy of Previous.
bool Load(const std::vector<std::uint8_t>& bytes, SettingsRecord& record) {
  record = Previous;
  MemoryByteStream stream(bytes);
  return LoadSettingsStream(stream, record, DefaultList);
}

SettingsRecord WithDefaultStrings(std::int32_t refresh, std::int32_t delay, std::int32_t speed) {
  return {std::u16string(DefaultList), std::u16string(DefaultActiveFlags), refresh, delay, speed};
}

TEST(SettingsStream, SaveWritesTheLayoutAndLoadRestoresEveryField) {
  const SettingsRecord saved{u"a\u20AC", u"1", 60000, 5000, -7};
  MemoryByteStream out;
  ASSERT_EQ(SaveSettingsStream(saved, out), 0);
  const std::vector<std::uint8_t> expected{
      0x00, 0x0A, 0x00, 0x00,                                // version
      0x06, 0x00, 0x00, 0x00, 'a',  0x00, 0xAC, 0x20, 0, 0,  // feed list
      0x04, 0x00, 0x00, 0x00, '1',  0x00, 0,    0,           // active flags
      0x60, 0xEA, 0x00, 0x00, 0x88, 0x13, 0x00, 0x00,        // 60000, 5000
      0xF9, 0xFF, 0xFF, 0xFF};                               // -7
  EXPECT_EQ(out.Bytes(), expected);
  EXPECT_EQ(SettingsStreamSize(saved), expected.size());
  SettingsRecord loaded;
  EXPECT_TRUE(Load(out.Bytes(), loaded));
  EXPECT_EQ(loaded, saved);
}

TEST(SettingsStream, EnglishDefaultsTakeTheDocumentedSize) {
  const std::u16string list = EnglishLanguageDefaults().DefaultFeedList;
  const std::uint64_t l1 = 2 * list.size() + 2;
  EXPECT_EQ(SettingsStreamSize({list, std::u16string(DefaultActiveFlags)}),
            4 + 4 + l1 + 4 + 100 + 12);
}

TEST(SettingsStream, VersionsUpTo0A00AreReadAndHigherOnesLoadNothing) {
  const auto stream = [](std::uint32_t version) {
    return Layout().Number(version).String(u"x").String(u"1").Number(1).Number(2).Number(3).bytes;
  };
  SettingsRecord record;
  EXPECT_TRUE(Load(stream(0), record));
  EXPECT_EQ(record, (SettingsRecord{u"x", u"1", 1, 2, 3}));
  EXPECT_FALSE(Load(stream(0x0A01), record));
  EXPECT_EQ(record, WithDefaultStrings(111, 222, 3));
}

TEST(SettingsStream, AStreamCutShortKeepsTheNumbersReadAndDefaultsBothStrings) {
  const Layout strings = Layout().Number(0x0A00).String(u"x").String(u"0");
  SettingsRecord record;
  EXPECT_FALSE(Load(strings.bytes, record));
  EXPECT_EQ(record, WithDefaultStrings(111, 222, 3));
  // The delay's four bytes are cut short: it keeps its previous value.
  EXPECT_FALSE(Load(Layout(strings).Number(60000).Raw({0x10, 0x27}).bytes, record));
  EXPECT_EQ(record, WithDefaultStrings(60000, 222, 3));
}

TEST(SettingsStream, EmptyOrAbsentStringsTakeTheDefaultsAndTrailingBytesAreIgnored) {
  const Layout layout =
      Layout().Number(0x0A00).String(u"").Number(0).Number(1).Number(2).Number(-5);
  MemoryByteStream stream(Layout(layout).Raw({0xDE, 0xAD}).bytes);
  SettingsRecord record = Previous;
  EXPECT_TRUE(LoadSettingsStream(stream, record, DefaultList));
  EXPECT_EQ(record, WithDefaultStrings(1, 2, -5));
  EXPECT_EQ(stream.Position(), layout.bytes.size());
}

TEST(SettingsStream, ADamagedStringFailsAndLeavesTheStreamAtItsCount) {
  struct Case {
    const char* name;
    Layout damaged;
    bool endsTheStream;
  };
  const Case cases[] = {
      {"count 1", Layout().Number(1).Raw({0, 0}), false},
      {"odd count", Layout().Number(3).Raw({'a', 0, 0, 0}), false},
      {"count above the limit", Layout().Number(1048578).Raw(std::vector<std::uint8_t>(1048578)),
       false},
      {"no terminator", Layout().Number(4).Raw({'a', 0, 'b', 0}), false},
      {"text cut short", Layout().Number(6).Raw({'a', 0}), true},
      {"terminator cut short", Layout().Number(6).Raw({'a', 0, 'b', 0, 0}), true},
      {"count cut short", Layout().Raw({4, 0}), true},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    // Two bytes of the container's own come first; the second string is the damaged one.
    Layout layout = Layout().Raw({0xC0, 0xC1}).Number(0x0A00).String(u"x").Raw(c.damaged.bytes);
    if (!c.endsTheStream) layout.Number(1).Number(2).Number(3);
    MemoryByteStream stream(layout.bytes);
    stream.SetPosition(2);
    SettingsRecord record = Previous;
    EXPECT_FALSE(LoadSettingsStream(stream, record, DefaultList));
    EXPECT_EQ(record, WithDefaultStrings(111, 222, 3));
    EXPECT_EQ(stream.Position(), 2u + 4 + 8);
  }
}

TEST(SettingsStream, AStringOfExactlyTheLimitIsRead) {
  const std::u16string longest(1048576 / 2 - 1, u'w');
  SettingsRecord record;
  EXPECT_TRUE(
      Load(Layout().Number(0x0A00).String(longest).String(u"1").Number(1).Number(2).Number(3).bytes,
           record));
  EXPECT_EQ(record.speech_feed_URLs, longest);
}

// Fails the n-th write with a code of its own and counts every write.
struct FailingWriteStream final : ByteStream {
  explicit FailingWriteStream(int n) : failingWrite(n) {}
  std::size_t Read(void*, std::size_t) override { return 0; }
  std::int32_t Write(const void*, std::size_t) override {
    return ++writes == failingWrite ? static_cast<std::int32_t>(0x8003001Du) : 0;
  }
  std::uint64_t Position() override { return 0; }
  void SetPosition(std::uint64_t) override {}
  int failingWrite;
  int writes = 0;
};

TEST(SettingsStream, SaveStopsAtTheFirstFailingWriteAndReturnsItsCode) {
  FailingWriteStream counting(0);
  ASSERT_EQ(SaveSettingsStream(Previous, counting), 0);
  for (int n = 1; n <= counting.writes; ++n) {
    SCOPED_TRACE(n);
    FailingWriteStream stream(n);
    EXPECT_EQ(SaveSettingsStream(Previous, stream), static_cast<std::int32_t>(0x8003001Du));
    EXPECT_EQ(stream.writes, n);
  }
}

}  // namespace
}  // namespace tidewire
