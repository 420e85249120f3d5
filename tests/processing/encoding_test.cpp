#include "processing/encoding.h"

#include <gtest/gtest.h>

#include <string>
#include <string_view>

namespace tidewire {
namespace {

using namespace std::string_view_literals;

TEST(ByteOrderMarkLengthTest, RecognisesEachMarkInOrder) {
  EXPECT_EQ(ByteOrderMarkLength("\xEF\xBB\xBF<rss>"sv), 3u);
  EXPECT_EQ(ByteOrderMarkLength("\xFE\xFF\x00<"sv), 2u);
  EXPECT_EQ(ByteOrderMarkLength("\xFF\xFE<\x00"sv), 2u);
  EXPECT_EQ(ByteOrderMarkLength("\x00\x00\xFE\xFF\x00\x00\x00<"sv), 4u);
  // The UTF-16 little-endian mark is tested before the UTF-32 one.
  EXPECT_EQ(ByteOrderMarkLength("\xFF\xFE\x00\x00"sv), 2u);
}

TEST(ByteOrderMarkLengthTest, NoMarkForOtherOrShortStarts) {
  EXPECT_EQ(ByteOrderMarkLength(""sv), 0u);
  EXPECT_EQ(ByteOrderMarkLength("<?xml"sv), 0u);
  EXPECT_EQ(ByteOrderMarkLength("\xEF\xBB"sv), 0u);
  EXPECT_EQ(ByteOrderMarkLength("\xEF\xBB<"sv), 0u);
  EXPECT_EQ(ByteOrderMarkLength("\xFE"sv), 0u);
  EXPECT_EQ(ByteOrderMarkLength("\x00\x00\xFE"sv), 0u);
  EXPECT_EQ(ByteOrderMarkLength("\x00\x00\xFF\xFE"sv), 0u);
  EXPECT_EQ(ByteOrderMarkLength(" \xEF\xBB\xBF"sv), 0u);
}

TEST(ByteOrderMarkLengthTest, NeverLooksPastTheEndOfShortBodies) {
  // A body of one zero byte followed by bytes that would complete a mark: only the body counts.
  const std::string buffer("\x00\x00\xFE\xFF", 4);
  EXPECT_EQ(ByteOrderMarkLength(std::string_view(buffer.data(), 1)), 0u);
  EXPECT_EQ(ByteOrderMarkLength(std::string_view(buffer.data(), 3)), 0u);
  EXPECT_EQ(ByteOrderMarkLength(std::string_view(buffer.data(), 4)), 4u);
}

TEST(DetectCodePageTest, DeclaredNamesIgnoringCaseAndDelimiter) {
  EXPECT_EQ(DetectCodePage("<?xml version='1.0' encoding='utf-8'?><rss/>"sv), CodePageUtf8);
  EXPECT_EQ(DetectCodePage("<?xml version=\"1.0\" encoding=\"UTF-8\"?>"sv), CodePageUtf8);
  EXPECT_EQ(DetectCodePage("<?xml version='1.0' encoding='UTF-16'?>"sv), CodePageUtf8);
  EXPECT_EQ(DetectCodePage("<?xml version='1.0' encoding='utf-16'?>"sv), CodePageUtf8);
  EXPECT_EQ(DetectCodePage("<?xml version='1.0' encoding='UTF-7'?>"sv), CodePageUtf7);
  EXPECT_EQ(DetectCodePage("<?xml version='1.0' encoding=\"uTf-7\"?>"sv), CodePageUtf7);
  // Any character right after "=" delimits the name.
  EXPECT_EQ(DetectCodePage("<?xml version='1.0' encoding=|UTF-7|?>"sv), CodePageUtf7);
}

TEST(DetectCodePageTest, EveryOtherNameSelectsTheLegacyCodePage) {
  EXPECT_EQ(DetectCodePage("<?xml version='1.0' encoding='ISO-8859-1'?>"sv), CodePageLegacy);
  EXPECT_EQ(DetectCodePage("<?xml version='1.0' encoding='windows-1251'?>"sv), CodePageLegacy);
  EXPECT_EQ(DetectCodePage("<?xml version='1.0' encoding='koi8-r'?>"sv), CodePageLegacy);
  EXPECT_EQ(DetectCodePage("<?xml version='1.0' encoding=''?>"sv), CodePageLegacy);
  EXPECT_EQ(DetectCodePage("<?xml version='1.0' encoding='UTF-8 '?>"sv), CodePageLegacy);
  EXPECT_EQ(DetectCodePage("<?xml version='1.0' encoding='UTF-32'?>"sv), CodePageLegacy);
  EXPECT_EQ(DetectCodePage("<?xml version='1.0' encoding='UTF8'?>"sv), CodePageLegacy);
}

TEST(DetectCodePageTest, FallsBackToUtf8) {
  EXPECT_EQ(DetectCodePage(""sv), CodePageUtf8);
  EXPECT_EQ(DetectCodePage("<rss encoding='UTF-7'/>"sv), CodePageUtf8);
  EXPECT_EQ(DetectCodePage("<?xml version='1.0'?><rss/>"sv), CodePageUtf8);
  // Leading white space, upper case, or white space around "=": no declaration is seen.
  EXPECT_EQ(DetectCodePage(" <?xml version='1.0' encoding='ISO-8859-1'?>"sv), CodePageUtf8);
  EXPECT_EQ(DetectCodePage("<?XML version='1.0' encoding='ISO-8859-1'?>"sv), CodePageUtf8);
  EXPECT_EQ(DetectCodePage("<?xml version='1.0' encoding = 'ISO-8859-1'?>"sv), CodePageUtf8);
  EXPECT_EQ(DetectCodePage("<?xml version='1.0' Encoding='ISO-8859-1'?>"sv), CodePageUtf8);
  // Unterminated value, and "encoding=" as the very last bytes.
  EXPECT_EQ(DetectCodePage("<?xml version='1.0' encoding='ISO-8859-1"sv), CodePageUtf8);
  EXPECT_EQ(DetectCodePage("<?xml version='1.0' encoding="sv), CodePageUtf8);
}

TEST(DetectCodePageTest, FirstEncodingAnywhereCounts) {
  EXPECT_EQ(DetectCodePage("<?xml version='1.0'?><rss><p>encoding='UTF-7'</p></rss>"sv),
            CodePageUtf7);
  EXPECT_EQ(DetectCodePage("<?xml version='1.0' encoding='ISO-8859-1'?><p>encoding='UTF-7'</p>"sv),
            CodePageLegacy);
}

TEST(DetectCodePageTest, AByteOrderMarkWinsOverTheDeclaration) {
  EXPECT_EQ(DetectCodePage("\xEF\xBB\xBF<?xml version='1.0' encoding='ISO-8859-1'?>"sv),
            CodePageUtf8);
  EXPECT_EQ(DetectCodePage("\xFF\xFE<\x00?\x00"sv), CodePageUtf8);
  EXPECT_EQ(DetectCodePage("\xFE\xFF\x00<"sv), CodePageUtf8);
  EXPECT_EQ(DetectCodePage("\x00\x00\xFE\xFF"sv), CodePageUtf8);
}

TEST(DetectCodePageTest, StopsAtTheFirstZeroByte) {
  // The declaration after the zero byte is not seen; nor is a closing delimiter after it.
  EXPECT_EQ(DetectCodePage("<?xml\0 encoding='UTF-7'?>"sv), CodePageUtf8);
  EXPECT_EQ(DetectCodePage("<?xml encoding='UTF-7\0'?>"sv), CodePageUtf8);
  EXPECT_EQ(DetectCodePage("<?xml encoding='UTF-7'\0?>"sv), CodePageUtf7);
}

}  // namespace
}  // namespace tidewire
