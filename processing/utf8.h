#pragma once
// UTF-8 for the parts of the system that talk to the outside in it: libxml2 and the console.

#include <string>
#include <string_view>

namespace tidewire {

// UTF-16 to UTF-8; an unpaired surrogate becomes U+FFFD.
std::string ToUtf8(std::u16string_view text);

// Whether `bytes` is valid UTF-8: every sequence complete, in its shortest form, and neither a
// surrogate nor above U+10FFFF. Exactly the bytes that decode without a replacement character
// produced for a fault.
bool IsValidUtf8(std::string_view bytes);

// The number of UTF-16 units that valid UTF-8 `text` decodes to.
std::size_t Utf16Length(std::string_view text);

}  // namespace tidewire
