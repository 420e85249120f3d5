#pragma once
// The server's identifiers and its registration under HKEY_CLASSES_ROOT: the application
// identifier, the control and its settings page, the type library and the component categories.

#include <windows.h>

// CLSID_TidewireGadget, CLSID_TidewireGadgetPropPage, IID_ITidewireGadget, LIBID_TidewireLib.
#include "tidewire_idl.h"

namespace tidewire {

// {CC891649-6CB5-4F20-B4BA-80EDCFB050D2}, the application identifier "Tidewire".
inline constexpr GUID TidewireAppId = {
    0xCC891649, 0x6CB5, 0x4F20, {0xB4, 0xBA, 0x80, 0xED, 0xCF, 0xB0, 0x50, 0xD2}};

// Writes the registration of the server whose file is `module`; that file carries the type
// library as resource 1. Class keys are written anew, ProgID keys merged. COM must be initialised
// on the calling thread. Returns S_OK or the first failure; never throws.
HRESULT RegisterServer(HINSTANCE module) noexcept;

// Removes what RegisterServer wrote, except the component categories themselves and the AppID
// key. Returns S_OK or the first failure; never throws.
HRESULT UnregisterServer(HINSTANCE module) noexcept;

}  // namespace tidewire
