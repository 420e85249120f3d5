#pragma once
// The host's own settings, "ClientSettings", and the order in which the host reads and writes
// them together with the control's "Settings", both under the settings key of
// settings/settings_location.h.

#include <ocidl.h>
#include <windows.h>

#include <cstdint>

namespace tidewire {

// The stored record: 20 bytes, little-endian, no header: the stay-on-top flag, then the window
// rectangle in screen coordinates (left, top, right, bottom).
// Beside it, "ClientDpi" (REG_DWORD) is the DPI of the window when the rectangle was saved; the
// rectangle is in the pixels the system gave the window at that DPI. Missing or implausible: 96.
struct ClientSettings {
  std::int32_t stayOnTop = 1;
  RECT placement{};
  std::uint32_t placementDpi = 96;  // stored apart, as "ClientDpi"
};
static_assert(sizeof(std::int32_t) + sizeof(RECT) == 20, "ClientSettings is stored as 20 bytes");

// Loads the control's settings through `persist` from "Settings" (the defaults through InitNew
// when there are none or they cannot be read), then `client` from "ClientSettings": each field
// only if the value holds all of its bytes; and the rectangle's DPI from "ClientDpi". Failures show as debugger output lines only.
void LoadHostSettings(IPersistStreamInit& persist, ClientSettings& client);

// Saves the control's settings through `persist` into "Settings", unless the control says they
// are only the defaults that stand in for stored settings it could not read (the stored value is
// then kept), then `client` into "ClientSettings" and "ClientDpi". Failures show as debugger output lines only.
void SaveHostSettings(IPersistStreamInit& persist, const ClientSettings& client);

}  // namespace tidewire
