#pragma once
// CTidewireModule: the library's module object. It keeps one class object per creatable class,
// made on the first request under the module's lock, and answers whether the library may be
// unloaded (no live object and no server lock).

#include <objbase.h>

#include <mutex>

#include "ole/class_factory.h"
#include "win/com.h"

namespace tidewire {

// What the control calls whenever it is made, to write the library's registration again. The
// library links self_registration_win.cpp (its own DllRegisterServer); a test build of the
// library links one that is refused, as a standard user's writes to the machine's classes are.
HRESULT STDAPICALLTYPE SelfRegisterServer();

class CTidewireModule {
 public:
  static CTidewireModule& Instance();

  // The class object of `classId`, asked for `iid`; CLASS_E_CLASSNOTAVAILABLE for a class the
  // library does not serve.
  HRESULT GetClassObject(REFCLSID classId, REFIID iid, void** object);
  // S_OK while nothing holds the module, else S_FALSE.
  static HRESULT CanUnloadNow();

 private:
  struct ClassEntry {
    const CLSID& classId;
    CreateInstanceFunction create;
    ComPtr<IClassFactory> factory;
  };

  CTidewireModule();

  std::mutex lock_;
  ClassEntry classes_[2];
};

}  // namespace tidewire
