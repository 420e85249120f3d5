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

// Characters the shell or a command line would read as separators or quoting.
bool IsUnsafe(char16_t c) { return c <= u' ' || c == 0x7F || c == u'"'; }

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
  // A host must follow the scheme ("http:///x" names none).
  if (rest.empty() || rest.front() == u'/' || rest.front() == u'\\') return false;
  return std::none_of(link.begin(), link.end(), IsUnsafe);
}

}  // namespace tidewire
