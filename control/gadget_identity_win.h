#pragma once
// What the ticker control tells containers about itself, and what its registration records of
// it: the OLEMISC status bits, the extent it starts with, its view status, its user type name.
// The registration (server/registration_win.cpp) writes the status bits and the name from here;
// it registers no verbs, no other forms of the name and no data formats, and without a
// registration the control answers the same from here (OleControl).

#include <ocidl.h>
#include <oleidl.h>
#include <windows.h>

#include "ole/ole_control.h"

namespace tidewire {

inline constexpr DWORD TidewireGadgetMiscStatus =
    OLEMISC_RECOMPOSEONRESIZE | OLEMISC_CANTLINKINSIDE | OLEMISC_INSIDEOUT |
    OLEMISC_ACTIVATEWHENVISIBLE | OLEMISC_SETCLIENTSITEFIRST;

// 5080 HIMETRIC units (two inches) square until the container sets the extent; drawn opaque.
inline constexpr OleControl::Identity TidewireGadgetIdentity = {
    TidewireGadgetMiscStatus, {5080, 5080}, VIEWSTATUS_OPAQUE, L"Tidewire Gadget"};

}  // namespace tidewire
