#pragma once
// Which bytes of a downloaded feed document are a byte-order mark, and in which code page the
// rest is to be read. UTF-8 is the default, a declared UTF-7 is honoured, and any other declared
// encoding is read in the system's legacy code page.

#include <cstddef>
#include <string_view>

namespace tidewire {

inline constexpr unsigned CodePageUtf8 = 65001;
inline constexpr unsigned CodePageUtf7 = 65000;
// The system's default legacy code page (Windows-1252 on our test machines and natively).
inline constexpr unsigned CodePageLegacy = 0;

// The number of leading bytes that form a byte-order mark (3, 2, 4 or 0). `bytes` is the whole
// downloaded body; the tests never look past its end, even for bodies shorter than a mark.
std::size_t ByteOrderMarkLength(std::string_view bytes);

// The code page for the document: 65001 when it starts with a byte-order mark, does not start
// with "<?xml", or names no encoding; otherwise what the first "encoding=" anywhere in the text
// (up to the first zero byte) names: UTF-8 and UTF-16 give 65001, UTF-7 gives 65000, anything
// else 0.
unsigned DetectCodePage(std::string_view bytes);

}  // namespace tidewire
