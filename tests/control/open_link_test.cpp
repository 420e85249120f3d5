#include "control/open_link.h"

#include <gtest/gtest.h>

namespace tidewire {
namespace {

TEST(OpenLink, OnlyAbsoluteWebAddressesAreOpened) {
  EXPECT_TRUE(IsOpenableLink(u"http://example.test/story?id=1&x=%20"));
  EXPECT_TRUE(IsOpenableLink(u"HTTPS://Example.test/"));
  EXPECT_TRUE(IsOpenableLink(u"hTtP://host"));
  for (const char16_t* link :
       {u"", u"file:///C:/Windows/notepad.exe", u"javascript:alert(1)", u"C:\\Windows\\calc.exe",
        u"\\\\server\\share\\x.exe", u"/story/1", u"calc", u"http:example.test", u"http://",
        u"http:///path", u"ftp://example.test/", u" http://example.test/",
        u"http://example.test/ -x", u"http://example.test/\"a\"", u"http://a.test/\tb",
        u"http://a.test/\nb", u"mailto:x@example.test"}) {
    EXPECT_FALSE(IsOpenableLink(link)) << std::u16string_view(link).size();
  }
}

}  // namespace
}  // namespace tidewire
