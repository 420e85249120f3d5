#pragma once
// Which links the control hands to the shell. A feed is untrusted input: its link must not be
// able to start a program, open a local file or pass arguments, so only absolute web addresses
// are opened.

#include <string_view>

namespace tidewire {

// True for an absolute http:// or https:// address (scheme in any case) with a host part and
// without spaces, control characters or quotes.
bool IsOpenableLink(std::u16string_view link);

}  // namespace tidewire
