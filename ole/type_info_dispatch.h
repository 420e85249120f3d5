#pragma once
// IDispatch of a dual interface, served from its description in a type library: the members are
// found by name and invoked through the interface's virtual table (DispInvoke).

#include <oaidl.h>

#include "win/com.h"

namespace tidewire {

class TypeInfoDispatch {
 public:
  // The type library is loaded from `typeLibraryFile` (a module with the library as its first
  // type-library resource) when first needed; the registry is not consulted, so dispatching
  // works where the registration could not be written.
  TypeInfoDispatch(const wchar_t* typeLibraryFile, const IID& interfaceId);

  HRESULT GetTypeInfoCount(UINT* count);
  HRESULT GetTypeInfo(UINT index, LCID locale, ITypeInfo** typeInfo);
  HRESULT GetIDsOfNames(REFIID iid, LPOLESTR* names, UINT nameCount, LCID locale, DISPID* ids);
  // `object` is the interface pointer the described members are called on.
  HRESULT Invoke(void* object, DISPID member, REFIID iid, LCID locale, WORD flags,
                 DISPPARAMS* parameters, VARIANT* result, EXCEPINFO* exception,
                 UINT* argumentError);

 private:
  HRESULT Load();

  const wchar_t* file_;
  const IID& interfaceId_;
  ComPtr<ITypeInfo> typeInfo_;
};

// The type information of `guid` (a class or an interface) in the type library of `file`.
HRESULT LoadTypeInfo(const wchar_t* file, const GUID& guid, ITypeInfo** typeInfo);

}  // namespace tidewire
