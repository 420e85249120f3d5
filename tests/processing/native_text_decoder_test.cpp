#include "processing/native_text_decoder.h"

#include <gtest/gtest.h>

#include <string>
#include <string_view>
#include <vector>

#include "processing/encoding.h"
#include "processing/utf8.h"

namespace tidewire {
namespace {

using namespace std::string_view_literals;

// The malformed cases below are what the Windows converter (flags 0) gives on our machines.

std::u16string Utf8(std::string_view bytes) { return NativeTextDecoder::DecodeUtf8(bytes); }
std::u16string Utf7(std::string_view bytes) { return NativeTextDecoder::DecodeUtf7(bytes); }

TEST(NativeUtf8Test, DecodesEveryLength) {
  EXPECT_EQ(Utf8("plain ASCII"sv), u"plain ASCII");
  EXPECT_EQ(Utf8("\xC2\xA0\xC3\xA9\xDF\xBF"sv), u"\u00A0\u00E9\u07FF");
  EXPECT_EQ(Utf8("\xE0\xA0\x80\xE2\x82\xAC\xEF\xBB\xBF\xEF\xBF\xBF"sv),
            u"\u0800\u20AC\uFEFF\uFFFF");
  EXPECT_EQ(Utf8("\xF0\x90\x80\x80\xF0\x9F\x98\x80\xF4\x8F\xBF\xBF"sv),
            u"\U00010000\U0001F600\U0010FFFF");
  EXPECT_EQ(Utf8("a\0b"sv), std::u16string(u"a\0b", 3));
}

TEST(NativeUtf8Test, InvalidLeadAndStrayBytesGiveOneReplacementEach) {
  EXPECT_EQ(Utf8("\x80"sv), u"\uFFFD");
  EXPECT_EQ(Utf8("\xBF\x80"sv), u"\uFFFD\uFFFD");
  EXPECT_EQ(Utf8("\xC0\xAF"sv), u"\uFFFD\uFFFD");
  EXPECT_EQ(Utf8("\xC1\xBF"sv), u"\uFFFD\uFFFD");
  EXPECT_EQ(Utf8("\xF5\x80\x80\x80"sv), u"\uFFFD\uFFFD\uFFFD\uFFFD");
  EXPECT_EQ(Utf8("\xF8\x80\x80\x80\x80"sv), u"\uFFFD\uFFFD\uFFFD\uFFFD\uFFFD");
  EXPECT_EQ(Utf8("\xFE\xFF"sv), u"\uFFFD\uFFFD");
}

TEST(NativeUtf8Test, SequenceEndsAtTheFirstByteThatCannotContinueIt) {
  EXPECT_EQ(Utf8("\xC3(x"sv), u"\uFFFD(x");
  EXPECT_EQ(Utf8("\xE2(\xA1x"sv), u"\uFFFD(\uFFFDx");
  EXPECT_EQ(Utf8("\xE2\x82(x"sv), u"\uFFFD(x");
  EXPECT_EQ(Utf8("\xF0(\x8C(x"sv), u"\uFFFD(\uFFFD(x");
  EXPECT_EQ(Utf8("\xF0\x9F\x41x"sv), u"\uFFFDAx");
  EXPECT_EQ(Utf8("\xF0\x9F\x98(x"sv), u"\uFFFD(x");
}

TEST(NativeUtf8Test, RangeFaultsAreRejectedAtTheByteThatShowsThem) {
  // Overlong three- and four-byte forms: the lead and first continuation byte are one fault.
  EXPECT_EQ(Utf8("\xE0\x80\xAF"sv), u"\uFFFD\uFFFD");
  EXPECT_EQ(Utf8("\xF0\x80\x80\xAF"sv), u"\uFFFD\uFFFD\uFFFD");
  // Encoded surrogates, alone and as a pair.
  EXPECT_EQ(Utf8("\xED\xA0\x80"sv), u"\uFFFD\uFFFD");
  EXPECT_EQ(Utf8("\xED\xBF\xBF"sv), u"\uFFFD\uFFFD");
  EXPECT_EQ(Utf8("\xED\xA0\xBD\xED\xB8\x80"sv), u"\uFFFD\uFFFD\uFFFD\uFFFD");
  // Above U+10FFFF: the second continuation byte is not consumed by the fault.
  EXPECT_EQ(Utf8("\xF4\x90\x80\x80"sv), u"\uFFFD\uFFFD\uFFFD");
}

TEST(NativeUtf8Test, ASequenceRunningPastTheEndSwallowsTheRest) {
  EXPECT_EQ(Utf8("A\xC3"sv), u"A\uFFFD");
  EXPECT_EQ(Utf8("A\xF0\x41"sv), u"A\uFFFD");
  EXPECT_EQ(Utf8("A\xE2\x82"sv), u"A\uFFFD");
}

// Valid UTF-8 is what decodes without a fault: no replacement character that the bytes do not
// spell out themselves. Every pair of bytes, and every lead byte with continuations at the edges
// of their ranges.
TEST(NativeUtf8Test, ValidBytesAreExactlyThoseDecodedWithoutAFault) {
  const auto faultless = [](const std::string& bytes) {
    return NativeTextDecoder::DecodeUtf8(bytes).find(u'\uFFFD') == std::u16string::npos;
  };
  std::vector<std::string> cases;
  for (int a = 0; a < 256; ++a) {
    for (int b = 0; b < 256; ++b) cases.push_back({static_cast<char>(a), static_cast<char>(b)});
    for (const int second : {0x7F, 0x80, 0x8F, 0x90, 0x9F, 0xA0, 0xBF, 0xC0}) {
      for (const int rest : {0x41, 0x80, 0xBF, 0xC0}) {
        cases.push_back({static_cast<char>(a), static_cast<char>(second), static_cast<char>(rest)});
        cases.push_back({static_cast<char>(a), static_cast<char>(second), static_cast<char>(rest),
                         static_cast<char>(rest), 'x', 'y', 'z', 'w', 'v', 'u', 't'});
      }
    }
  }
  for (const std::string& bytes : cases) {
    if (bytes.find("\xEF\xBF\xBD") != std::string::npos) continue;  // a real U+FFFD
    EXPECT_EQ(IsValidUtf8(bytes), faultless(bytes)) << testing::PrintToString(bytes);
  }
}

TEST(NativeUtf7Test, DirectCharactersAndEscapedPlus) {
  EXPECT_EQ(Utf7("Hi Mom -~\\!"sv), u"Hi Mom -~\\!");
  EXPECT_EQ(Utf7("a+-b"sv), u"a+b");
  EXPECT_EQ(Utf7("+-+-"sv), u"++");
  // Bytes above 0x7F pass through as the code points of the same value.
  EXPECT_EQ(Utf7("\x80\xFF"sv), u"\u0080\u00FF");
}

TEST(NativeUtf7Test, Base64Runs) {
  EXPECT_EQ(Utf7("+AGE-"sv), u"a");
  EXPECT_EQ(Utf7("+AGEAYgBj-"sv), u"abc");
  EXPECT_EQ(Utf7("Caf+AOk-"sv), u"Caf\u00E9");
  EXPECT_EQ(Utf7("+ZeVnLIqe-"sv), u"\u65E5\u672C\u8A9E");
  EXPECT_EQ(Utf7("+2D3eAA-"sv), u"\U0001F600");
  // "+" and "/" belong to the alphabet inside a run.
  EXPECT_EQ(Utf7("+AC8AKw-"sv), u"/+");
}

TEST(NativeUtf7Test, RunEndsAtTheFirstByteOutsideTheAlphabet) {
  // The dash is dropped, any other byte is kept; unfinished bits are dropped either way.
  EXPECT_EQ(Utf7("+AGE.x"sv), u"a.x");
  EXPECT_EQ(Utf7("+AGE-x"sv), u"ax");
  EXPECT_EQ(Utf7("+AGE--x"sv), u"a-x");
  EXPECT_EQ(Utf7("+AG\nx"sv), u"\nx");
  EXPECT_EQ(Utf7("+AGEA-"sv), u"a");
  EXPECT_EQ(Utf7("+2D8+=-"sv), u"\xD83F=-");
}

TEST(NativeUtf7Test, IncompleteRunsProduceNothing) {
  EXPECT_EQ(Utf7("+"sv), u"");
  EXPECT_EQ(Utf7("+A"sv), u"");
  EXPECT_EQ(Utf7("+AA-"sv), u"");
  EXPECT_EQ(Utf7("+A+-"sv), u"");
  EXPECT_EQ(Utf7("x+/v-y"sv), u"xy");
  // Eighteen bits of zeros are a U+0000.
  EXPECT_EQ(Utf7("+AAA"sv), std::u16string(1, u'\0'));
}

TEST(NativeUtf7Test, AHighByteEndsARunButItsBitsCarryOver) {
  // After "+AGEA" eight bits are pending; the high byte ends the run without dropping them, so
  // the twelve bits of "+QQ-" complete a character ('A') that would otherwise not exist.
  EXPECT_EQ(Utf7("+AGEA\xE9x+QQ-"sv), u"a\u00E9xA");
  EXPECT_EQ(Utf7("x+QQ-"sv), u"x");
  EXPECT_EQ(Utf7("+AGEA.x+QQ-"sv), u"a.x");
}

TEST(NativeWindows1252Test, MapsTheWholeRange) {
  std::string all;
  for (int byte = 0; byte < 256; ++byte) all.push_back(static_cast<char>(byte));
  const std::u16string text = NativeTextDecoder::DecodeWindows1252(all);
  ASSERT_EQ(text.size(), 256u);
  const std::u16string_view high =
      u"\u20AC\u0081\u201A\u0192\u201E\u2026\u2020\u2021\u02C6\u2030\u0160\u2039\u0152\u008D"
      u"\u017D\u008F\u0090\u2018\u2019\u201C\u201D\u2022\u2013\u2014\u02DC\u2122\u0161\u203A"
      u"\u0153\u009D\u017E\u0178";
  for (int byte = 0; byte < 256; ++byte) {
    const char16_t expected =
        byte >= 0x80 && byte < 0xA0 ? high[byte - 0x80] : static_cast<char16_t>(byte);
    EXPECT_EQ(text[byte], expected) << "byte " << byte;
  }
}

TEST(NativeTextDecoderTest, TheTerminatorTakesPartInTheConversion) {
  const NativeTextDecoder decoder;
  EXPECT_EQ(decoder.Decode(CodePageUtf8, "caf\xC3\xA9"), u"caf\u00E9");
  // A lead byte right before the terminator consumes it: one replacement, nothing else.
  EXPECT_EQ(decoder.Decode(CodePageUtf8, "ab\xC3"), u"ab\uFFFD");
  EXPECT_EQ(decoder.Decode(CodePageUtf8, "ab\xE2"), u"ab\uFFFD");
  EXPECT_EQ(decoder.Decode(CodePageUtf8, "ab\xF0\x9F"), u"ab\uFFFD");
  // With room for the sequence, the terminator simply ends it.
  EXPECT_EQ(decoder.Decode(CodePageUtf8, "ab\xF0\x9F\x98"), u"ab\uFFFD");
  EXPECT_EQ(decoder.Decode(CodePageUtf7, "x+AGE"), u"xa");
  EXPECT_EQ(decoder.Decode(CodePageLegacy, "\x80 5"), u"\u20AC 5");
  EXPECT_EQ(decoder.Decode(CodePageUtf8, ""), u"");
}

TEST(NativeTextDecoderTest, UnsupportedCodePageProducesNothing) {
  const NativeTextDecoder decoder;
  EXPECT_EQ(decoder.Decode(1251, "abc"), u"");
  EXPECT_EQ(decoder.Decode(65002, "abc"), u"");
}

}  // namespace
}  // namespace tidewire
