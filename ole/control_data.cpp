// OleControl: ambient notifications (IOleControl), quick activation (IQuickActivate) and the
// data object without formats of its own (IDataObject).

#include <span>

#include "ole/com_object.h"
#include "ole/module_lock.h"
#include "ole/ole_control.h"
#include "win/com_boundary.h"

namespace tidewire {
namespace {

#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wnon-virtual-dtor"

// The formats of a data object that has none: an enumeration that ends at once. It keeps the
// module loaded while a container holds it.
class NoFormats final : public ComObject<NoFormats, IEnumFORMATETC> {
 public:
  explicit NoFormats(IUnknown* outer) : ComObject(outer) {}
  static std::span<const InterfaceEntry<NoFormats>> InterfaceMap() {
    static constexpr InterfaceEntry<NoFormats> map[] = {Entry<NoFormats, IEnumFORMATETC>()};
    return map;
  }

  HRESULT STDMETHODCALLTYPE Next(ULONG count, FORMATETC* formats, ULONG* fetched) override {
    if (fetched != nullptr) *fetched = 0;
    if (formats == nullptr || (count > 1 && fetched == nullptr)) return E_INVALIDARG;
    return count == 0 ? S_OK : S_FALSE;
  }
  HRESULT STDMETHODCALLTYPE Skip(ULONG count) override { return count == 0 ? S_OK : S_FALSE; }
  HRESULT STDMETHODCALLTYPE Reset() override { return S_OK; }
  HRESULT STDMETHODCALLTYPE Clone(IEnumFORMATETC** copy) override {
    return ComBoundary([&] { return Create(nullptr, IID_PPV_ARGS(copy)); });
  }

 private:
  ModuleLockHolder moduleLock_;
};

#pragma GCC diagnostic pop

}  // namespace

// IOleControl

HRESULT STDMETHODCALLTYPE OleControl::GetControlInfo(CONTROLINFO*) { return E_NOTIMPL; }

HRESULT STDMETHODCALLTYPE OleControl::OnMnemonic(MSG*) { return E_NOTIMPL; }

HRESULT STDMETHODCALLTYPE OleControl::OnAmbientPropertyChange(DISPID) { return S_OK; }

HRESULT STDMETHODCALLTYPE OleControl::FreezeEvents(BOOL) { return S_OK; }

// IQuickActivate

HRESULT STDMETHODCALLTYPE OleControl::QuickActivate(QACONTAINER* container, QACONTROL* control) {
  if (container == nullptr || control == nullptr) return E_POINTER;
  if (container->cbSize < sizeof(QACONTAINER) || control->cbSize < sizeof(QACONTROL)) {
    return E_INVALIDARG;
  }
  return ComBoundary([&] {
    SetClientSite(container->pClientSite);
    if (container->pAdviseSink != nullptr) {
      SetAdvise(DVASPECT_CONTENT, 0, container->pAdviseSink);
    }
    control->dwMiscStatus = identity_.miscStatus;
    control->dwViewStatus = identity_.viewStatus;
    control->dwEventCookie = 0;
    control->dwPropNotifyCookie = 0;
    control->dwPointerActivationPolicy = 0;
  });
}

HRESULT STDMETHODCALLTYPE OleControl::SetContentExtent(LPSIZEL size) {
  return SetExtent(DVASPECT_CONTENT, size);
}

HRESULT STDMETHODCALLTYPE OleControl::GetContentExtent(LPSIZEL size) {
  return GetExtent(DVASPECT_CONTENT, size);
}

// IDataObject

HRESULT STDMETHODCALLTYPE OleControl::GetData(FORMATETC*, STGMEDIUM*) { return DV_E_FORMATETC; }

HRESULT STDMETHODCALLTYPE OleControl::GetDataHere(FORMATETC*, STGMEDIUM*) { return DV_E_FORMATETC; }

HRESULT STDMETHODCALLTYPE OleControl::QueryGetData(FORMATETC*) { return DV_E_FORMATETC; }

HRESULT STDMETHODCALLTYPE OleControl::GetCanonicalFormatEtc(FORMATETC*, FORMATETC* out) {
  if (out != nullptr) out->ptd = nullptr;
  return E_NOTIMPL;
}

HRESULT STDMETHODCALLTYPE OleControl::SetData(FORMATETC*, STGMEDIUM*, BOOL) { return E_NOTIMPL; }

HRESULT STDMETHODCALLTYPE OleControl::EnumFormatEtc(DWORD direction, IEnumFORMATETC** formats) {
  if (formats == nullptr) return E_POINTER;
  *formats = nullptr;
  if (direction != DATADIR_GET && direction != DATADIR_SET) return E_INVALIDARG;
  // The registry first, as for the verbs (ole_object.cpp); without an answer there (Wine's
  // OleRegEnumFormatEtc has none ever, E_NOTIMPL) the control's own: no formats either way.
  const HRESULT registered = ::OleRegEnumFormatEtc(*classId_, direction, formats);
  if (SUCCEEDED(registered)) return registered;
  *formats = nullptr;
  return ComBoundary([&] { return NoFormats::Create(nullptr, IID_PPV_ARGS(formats)); });
}

HRESULT STDMETHODCALLTYPE OleControl::DAdvise(FORMATETC* format, DWORD flags, IAdviseSink* sink,
                                              DWORD* connection) {
  return ComBoundary([&] {
    if (!dataAdviseHolder_) {
      const HRESULT made = ::CreateDataAdviseHolder(&dataAdviseHolder_);
      if (FAILED(made)) return made;
    }
    return dataAdviseHolder_->Advise(static_cast<IDataObject*>(this), format, flags, sink,
                                     connection);
  });
}

HRESULT STDMETHODCALLTYPE OleControl::DUnadvise(DWORD connection) {
  if (!dataAdviseHolder_) return OLE_E_NOCONNECTION;
  return dataAdviseHolder_->Unadvise(connection);
}

HRESULT STDMETHODCALLTYPE OleControl::EnumDAdvise(IEnumSTATDATA** advises) {
  if (advises == nullptr) return E_POINTER;
  *advises = nullptr;
  if (!dataAdviseHolder_) return S_OK;
  return dataAdviseHolder_->EnumAdvise(advises);
}

}  // namespace tidewire
