#include "ole/type_info_dispatch.h"

#include <oleauto.h>

namespace tidewire {

HRESULT LoadTypeInfo(const wchar_t* file, const GUID& guid, ITypeInfo** typeInfo) {
  if (typeInfo == nullptr) return E_POINTER;
  *typeInfo = nullptr;
  ComPtr<ITypeLib> library;
  const HRESULT loaded = ::LoadTypeLibEx(file, REGKIND_NONE, &library);
  if (FAILED(loaded)) return loaded;
  return library->GetTypeInfoOfGuid(guid, typeInfo);
}

TypeInfoDispatch::TypeInfoDispatch(const wchar_t* typeLibraryFile, const IID& interfaceId)
    : file_(typeLibraryFile), interfaceId_(interfaceId) {}

HRESULT TypeInfoDispatch::Load() {
  if (typeInfo_) return S_OK;
  return LoadTypeInfo(file_, interfaceId_, &typeInfo_);
}

HRESULT TypeInfoDispatch::GetTypeInfoCount(UINT* count) {
  if (count == nullptr) return E_POINTER;
  *count = 1;
  return S_OK;
}

HRESULT TypeInfoDispatch::GetTypeInfo(UINT index, LCID, ITypeInfo** typeInfo) {
  if (typeInfo == nullptr) return E_POINTER;
  *typeInfo = nullptr;
  if (index != 0) return DISP_E_BADINDEX;
  const HRESULT loaded = Load();
  if (FAILED(loaded)) return loaded;
  return typeInfo_.CopyTo(typeInfo);
}

HRESULT TypeInfoDispatch::GetIDsOfNames(REFIID iid, LPOLESTR* names, UINT nameCount, LCID,
                                        DISPID* ids) {
  if (!::IsEqualIID(iid, IID_NULL)) return DISP_E_UNKNOWNINTERFACE;
  const HRESULT loaded = Load();
  if (FAILED(loaded)) return loaded;
  return ::DispGetIDsOfNames(typeInfo_.Get(), names, nameCount, ids);
}

HRESULT TypeInfoDispatch::Invoke(void* object, DISPID member, REFIID iid, LCID, WORD flags,
                                 DISPPARAMS* parameters, VARIANT* result, EXCEPINFO* exception,
                                 UINT* argumentError) {
  if (!::IsEqualIID(iid, IID_NULL)) return DISP_E_UNKNOWNINTERFACE;
  const HRESULT loaded = Load();
  if (FAILED(loaded)) return loaded;
  return ::DispInvoke(object, typeInfo_.Get(), member, flags, parameters, result, exception,
                      argumentError);
}

}  // namespace tidewire
