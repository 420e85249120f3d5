#include <gtest/gtest.h>
#include <windows.h>

#include <random>
#include <string>

#include "processing/encoding.h"
#include "processing/multibyte_decoder_win.h"
#include "processing/native_text_decoder.h"

namespace tidewire {
namespace {

// The native decoders must give exactly what MultiByteToWideChar gives, so that the native
// build reads feeds as the Windows build does.

std::string EncodeUtf8(char32_t c) {
  std::string out;
  if (c < 0x80) {
    out += static_cast<char>(c);
  } else if (c < 0x800) {
    out += static_cast<char>(0xC0 | (c >> 6));
    out += static_cast<char>(0x80 | (c & 0x3F));
  } else if (c < 0x10000) {
    out += static_cast<char>(0xE0 | (c >> 12));
    out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
    out += static_cast<char>(0x80 | (c & 0x3F));
  } else {
    out += static_cast<char>(0xF0 | (c >> 18));
    out += static_cast<char>(0x80 | ((c >> 12) & 0x3F));
    out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
    out += static_cast<char>(0x80 | (c & 0x3F));
  }
  return out;
}

// UTF-7 with every non-ASCII run and every "+" base64-encoded, runs closed by "-" or by the
// next direct character, as encoders in the wild write it.
std::string EncodeUtf7(const std::u16string& text, bool closeWithDash) {
  static const char Alphabet[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
  std::string out;
  std::size_t i = 0;
  while (i < text.size()) {
    const char16_t c = text[i];
    if (c > 0 && c < 0x80 && c != u'+') {
      out += static_cast<char>(c);
      ++i;
      continue;
    }
    out += '+';
    std::uint32_t bits = 0;
    int count = 0;
    while (i < text.size() && !(text[i] > 0 && text[i] < 0x80 && text[i] != u'+')) {
      bits = (bits << 16) | text[i++];
      count += 16;
      while (count >= 6) {
        out += Alphabet[(bits >> (count - 6)) & 0x3F];
        count -= 6;
      }
    }
    if (count > 0) out += Alphabet[(bits << (6 - count)) & 0x3F];
    const bool nextIsAlphabet = i < text.size() && (std::isalnum(static_cast<int>(text[i])) != 0 ||
                                                    text[i] == u'/' || text[i] == u'-');
    if (closeWithDash || nextIsAlphabet || i == text.size()) out += '-';
  }
  return out;
}

void ExpectSameAsSystem(unsigned codePage, const std::string& bytes) {
  const std::u16string system = MultiByteDecoder().Decode(codePage, bytes.c_str());
  const std::u16string native = NativeTextDecoder().Decode(codePage, bytes.c_str());
  ASSERT_EQ(native, system) << "code page " << codePage << ", " << bytes.size() << " bytes";
}

TEST(MultiByteDecoderTest, Utf8MatchesTheNativeDecoderOnEveryCodePoint) {
  std::string bytes;
  for (char32_t c = 1; c <= 0x10FFFF; ++c) {
    if (c >= 0xD800 && c <= 0xDFFF) continue;
    // All of the BMP, and every 97th supplementary code point.
    if (c >= 0x10000 && c % 97 != 0) continue;
    bytes += EncodeUtf8(c);
    if (bytes.size() > 60000) {
      ExpectSameAsSystem(CodePageUtf8, bytes);
      bytes.clear();
    }
  }
  ExpectSameAsSystem(CodePageUtf8, bytes);
}

TEST(MultiByteDecoderTest, Utf7MatchesTheNativeDecoderOnEncodedText) {
  std::mt19937 random(7);
  std::uniform_int_distribution<int> kind(0, 5);
  for (int round = 0; round < 400; ++round) {
    std::u16string text;
    const int length = 1 + round % 40;
    for (int i = 0; i < length; ++i) {
      switch (kind(random)) {
        case 0: text += static_cast<char16_t>(u'a' + random() % 26); break;
        case 1: text += u" -+/.,!"[random() % 7]; break;
        case 2: text += static_cast<char16_t>(0x80 + random() % 0x780); break;
        case 3: text += static_cast<char16_t>(0x3000 + random() % 0x5000); break;
        case 4: text += u"\U0001F600"; break;
        default: text += static_cast<char16_t>(u'0' + random() % 10); break;
      }
    }
    ExpectSameAsSystem(CodePageUtf7, EncodeUtf7(text, round % 2 == 0));
    const NativeTextDecoder native;
    ASSERT_EQ(native.Decode(CodePageUtf7, EncodeUtf7(text, round % 2 == 0).c_str()), text);
  }
}

TEST(MultiByteDecoderTest, LegacyCodePageIsWindows1252AndMatches) {
  ASSERT_EQ(::GetACP(), 1252u) << "the test runner sets a locale whose legacy code page is 1252";
  std::string bytes;
  for (int byte = 1; byte < 256; ++byte) bytes += static_cast<char>(byte);
  ExpectSameAsSystem(CodePageLegacy, bytes);
}

TEST(MultiByteDecoderTest, MarksAndTerminatorsAsTheWorkerSeesThem) {
  for (const char* bytes : {"", "<rss>", "\xEF\xBB\xBF<rss>", "caf\xC3\xA9", "a+-b+AGE-"}) {
    for (unsigned codePage : {CodePageUtf8, CodePageUtf7, CodePageLegacy}) {
      ExpectSameAsSystem(codePage, bytes);
    }
  }
  EXPECT_EQ(MultiByteDecoder().Decode(CodePageUtf8, "<\xC3\xA9>"), u"<\u00E9>");
}

TEST(MultiByteDecoderTest, UnsupportedCodePageGivesTheEmptyString) {
  EXPECT_EQ(MultiByteDecoder().Decode(12345, "abc"), u"");
}

}  // namespace
}  // namespace tidewire
