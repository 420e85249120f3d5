// The self-registration of the library's test build: refused and writing nothing, as on Windows
// for a standard user, whose writes to the machine's classes fail (under Wine every program is
// an administrator, so the library's own would always succeed).

#include "server/tidewire_module_win.h"

namespace tidewire {

HRESULT STDAPICALLTYPE SelfRegisterServer() { return E_ACCESSDENIED; }

}  // namespace tidewire
