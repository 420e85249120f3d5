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

TEST(OpenLink, TheAddressMustNameAHostAndHoldNoControlCharacter) {
  EXPECT_TRUE(IsOpenableLink(u"http://user@example.test:8080/x?y#z"));
  EXPECT_TRUE(IsOpenableLink(u"http://[::1]:80/"));
  EXPECT_TRUE(IsOpenableLink(u"https://example.test?q"));
  EXPECT_TRUE(IsOpenableLink(u"http://example.test/caf\u00e9"));
  for (const char16_t* link :
       {u"http://?x", u"http://:80/", u"http://#", u"http://user@/x", u"http://user@:80",
        u"http://[]/", u"http://[::1", u"http://\\x", u"http://a.test/\u0085",
        u"http://a.test/\u009f", u"http://a.test/\u0080", u"http://a.test/\u007f"}) {
    EXPECT_FALSE(IsOpenableLink(link)) << std::u16string_view(link).size();
  }
}

}  // namespace
}  // namespace tidewire
