#include "ole/class_factory.h"

#include "ole/module_lock.h"
#include "win/com_boundary.h"

namespace tidewire {

ClassFactory::ClassFactory(IUnknown* outer, CreateInstanceFunction create)
    : ComObject(outer), create_(create) {}

std::span<const InterfaceEntry<ClassFactory>> ClassFactory::InterfaceMap() {
  static constexpr InterfaceEntry<ClassFactory> map[] = {Entry<ClassFactory, IClassFactory>()};
  return map;
}

HRESULT STDMETHODCALLTYPE ClassFactory::CreateInstance(IUnknown* outer, REFIID iid,
                                                       void** object) {
  return ComBoundary([&] { return create_(outer, iid, object); });
}

HRESULT STDMETHODCALLTYPE ClassFactory::LockServer(BOOL lock) {
  if (lock) {
    ModuleLock::LockServer();
  } else {
    ModuleLock::UnlockServer();
  }
  return S_OK;
}

}  // namespace tidewire
