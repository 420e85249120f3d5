#include "control/open_link.h"

#include <algorithm>

namespace tidewire {
namespace {

bool StartsWithNoCase(std::u16string_view text, std::u16string_view prefix) {
  if (text.size() < prefix.size()) return false;
  return std::equal(prefix.begin(), prefix.end(), text.begin(), [](char16_t p, char16_t t) {
    const char16_t lower = (t >= u'A' && t <= u'Z') ? static_cast<char16_t>(t + 32) : t;
    return p == lower;
  });
}

// Characters the shell or a command line would read as separators or quoting, and the control
// characters of both ranges (C0 with the space, DEL, C1).
bool IsUnsafe(char16_t c) { return c <= u' ' || (c >= 0x7F && c <= 0x9F) || c == u'"'; }

// The host of an address's authority (what follows the scheme up to its path, query or
// fragment), without user information and port; a bracketed literal keeps its brackets.
std::u16string_view HostOf(std::u16string_view afterScheme) {
  std::u16string_view authority = afterScheme.substr(0, afterScheme.find_first_of(u"/\\?#"));
  if (const std::size_t at = authority.rfind(u'@'); at != std::u16string_view::npos) {
    authority.remove_prefix(at + 1);
  }
  if (authority.starts_with(u'[')) {
    const std::size_t closing = authority.find(u']');
    return closing == std::u16string_view::npos || closing == 1 ? std::u16string_view()
                                                                 : authority.substr(0, closing + 1);
  }
  return authority.substr(0, authority.find(u':'));
}

}  // namespace

bool IsOpenableLink(std::u16string_view link) {
  std::u16string_view rest;
  if (StartsWithNoCase(link, u"http://")) {
    rest = link.substr(7);
  } else if (StartsWithNoCase(link, u"https://")) {
    rest = link.substr(8);
  } else {
    return false;
  }
  return !HostOf(rest).empty() && std::none_of(link.begin(), link.end(), IsUnsafe);
}

}  // namespace tidewire
