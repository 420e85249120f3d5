// The library's self-registration: the control writes the whole registration again through the
// library's own entry point.

#include <olectl.h>

#include "server/tidewire_module_win.h"

namespace tidewire {

HRESULT STDAPICALLTYPE SelfRegisterServer() { return ::DllRegisterServer(); }

}  // namespace tidewire
