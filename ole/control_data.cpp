// OleControl: ambient notifications (IOleControl), quick activation (IQuickActivate) and the
// data object without formats of its own (IDataObject).

#include "ole/ole_control.h"
#include "win/com_boundary.h"

namespace tidewire {

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
  return ::OleRegEnumFormatEtc(*classId_, direction, formats);
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
