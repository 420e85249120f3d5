// The library's entry points: the four exports of an in-process COM server and DllMain.

#include <olectl.h>
#include <windows.h>

#include "server/registration_win.h"
#include "server/tidewire_module_win.h"
#include "win/com.h"
#include "win/com_boundary.h"
#include "win/module.h"
#include "win/window_class.h"

BOOL WINAPI DllMain(HINSTANCE module, DWORD reason, LPVOID reserved) {
  if (reason == DLL_PROCESS_ATTACH) ::DisableThreadLibraryCalls(module);
  // At process exit the window classes go with the process; on FreeLibrary the class must go,
  // since its window procedure goes with the library.
  if (reason == DLL_PROCESS_DETACH && reserved == nullptr) {
    tidewire::UnregisterWindowClasses();
  }
  return TRUE;
}

STDAPI DllGetClassObject(REFCLSID classId, REFIID iid, LPVOID* object) {
  return tidewire::ComBoundary([&] {
    return tidewire::CTidewireModule::Instance().GetClassObject(classId, iid, object);
  });
}

STDAPI DllCanUnloadNow() { return tidewire::CTidewireModule::CanUnloadNow(); }

// Installers may call these without having initialised COM; a thread that has done so already
// keeps its apartment.
STDAPI DllRegisterServer() {
  return tidewire::ComBoundary([] {
    const tidewire::ComInitialization com;
    return tidewire::RegisterServer(tidewire::CodeModule());
  });
}

STDAPI DllUnregisterServer() {
  return tidewire::ComBoundary([] {
    const tidewire::ComInitialization com;
    return tidewire::UnregisterServer(tidewire::CodeModule());
  });
}
