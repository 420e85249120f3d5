#include "server/tidewire_module_win.h"

#include "control/tidewire_gadget_win.h"
#include "ole/module_lock.h"
#include "settings/settings_page_win.h"
#include "tidewire_idl.h"

namespace tidewire {
namespace {

// The control writes the server's registration again whenever it is made.
HRESULT CreateGadget(IUnknown* outer, REFIID iid, void** object) {
  return CTidewireGadget::CreateInstance(outer, iid, object, &SelfRegisterServer);
}

}  // namespace

CTidewireModule& CTidewireModule::Instance() {
  static CTidewireModule module;
  return module;
}

CTidewireModule::CTidewireModule()
    : classes_{{CLSID_TidewireGadget, &CreateGadget, nullptr},
               {CLSID_TidewireGadgetPropPage, &CTidewireGadgetPropPage::CreateInstance, nullptr}} {}

HRESULT CTidewireModule::GetClassObject(REFCLSID classId, REFIID iid, void** object) {
  if (object == nullptr) return E_POINTER;
  *object = nullptr;
  for (ClassEntry& entry : classes_) {
    if (!::IsEqualCLSID(classId, entry.classId)) continue;
    const std::lock_guard guard(lock_);
    if (!entry.factory) {
      const HRESULT made =
          ClassFactory::Create(nullptr, IID_PPV_ARGS(&entry.factory), entry.create);
      if (FAILED(made)) return made;
    }
    return entry.factory->QueryInterface(iid, object);
  }
  return CLASS_E_CLASSNOTAVAILABLE;
}

HRESULT CTidewireModule::CanUnloadNow() { return ModuleLock::Count() == 0 ? S_OK : S_FALSE; }

}  // namespace tidewire
