#pragma once
// The class object of one creatable class: CreateInstance calls the class's creation function,
// LockServer counts on the module lock.

#include <objbase.h>

#include <span>

#include "ole/com_object.h"

namespace tidewire {

// Makes an object of the class and hands out `iid` of it; `outer` is an aggregating object or
// null. The contract of IClassFactory::CreateInstance.
using CreateInstanceFunction = HRESULT (*)(IUnknown* outer, REFIID iid, void** object);

class ClassFactory final : public ComObject<ClassFactory, IClassFactory> {
 public:
  ClassFactory(IUnknown* outer, CreateInstanceFunction create);
  static std::span<const InterfaceEntry<ClassFactory>> InterfaceMap();

  HRESULT STDMETHODCALLTYPE CreateInstance(IUnknown* outer, REFIID iid, void** object) override;
  HRESULT STDMETHODCALLTYPE LockServer(BOOL lock) override;

 private:
  CreateInstanceFunction create_;
};

}  // namespace tidewire
