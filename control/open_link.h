#pragma once
// Which links the control hands to the shell. A feed is untrusted input: its link must not be
// able to start a program, open a local file or pass arguments, so only absolute web addresses
// are opened.

#include <string_view>

namespace tidewire {

// True for an absolute http:// or https:// address (scheme in any case) that names a host
// (user information and port aside) and holds no space, control character (C0, DEL or C1) or
// quote. The one rule for both the click and the hand cursor: the hand promises a click that
// opens.
bool IsOpenableLink(std::u16string_view link);

}  // namespace tidewire
