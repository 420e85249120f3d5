// OleControl: embedding in a container (IOleObject).

#include <olectl.h>

#include "ole/ole_control.h"
#include "win/com_boundary.h"

namespace tidewire {

// IOleObject

HRESULT STDMETHODCALLTYPE OleControl::SetClientSite(IOleClientSite* site) {
  clientSite_ = site;
  return S_OK;
}

HRESULT STDMETHODCALLTYPE OleControl::GetClientSite(IOleClientSite** site) {
  if (site == nullptr) return E_POINTER;
  *site = nullptr;
  return clientSite_ ? clientSite_.CopyTo(site) : S_OK;
}

HRESULT STDMETHODCALLTYPE OleControl::SetHostNames(LPCOLESTR, LPCOLESTR) { return S_OK; }

HRESULT STDMETHODCALLTYPE OleControl::Close(DWORD) {
  return ComBoundary([&] {
    if (state_ != State::Loaded) InPlaceDeactivate();
    if (oleAdviseHolder_) oleAdviseHolder_->SendOnClose();
  });
}

HRESULT STDMETHODCALLTYPE OleControl::SetMoniker(DWORD, IMoniker*) { return E_NOTIMPL; }

HRESULT STDMETHODCALLTYPE OleControl::GetMoniker(DWORD, DWORD, IMoniker** moniker) {
  if (moniker != nullptr) *moniker = nullptr;
  return E_NOTIMPL;
}

HRESULT STDMETHODCALLTYPE OleControl::InitFromData(IDataObject*, BOOL, DWORD) { return E_NOTIMPL; }

HRESULT STDMETHODCALLTYPE OleControl::GetClipboardData(DWORD, IDataObject** data) {
  if (data != nullptr) *data = nullptr;
  return E_NOTIMPL;
}

HRESULT STDMETHODCALLTYPE OleControl::DoVerb(LONG verb, LPMSG, IOleClientSite*, LONG, HWND,
                                             LPCRECT position) {
  return ComBoundary([&]() -> HRESULT {
    switch (verb) {
      case OLEIVERB_PRIMARY:
      case OLEIVERB_SHOW:
      case OLEIVERB_INPLACEACTIVATE: return InPlaceActivate(verb, position);
      case OLEIVERB_UIACTIVATE: return InPlaceActivate(verb, position);
      case OLEIVERB_HIDE:
        UIDeactivate();
        if (OwnedWindow() != nullptr) ::ShowWindow(OwnedWindow(), SW_HIDE);
        return S_OK;
      default:
        // A verb of the container's own that the control does not know: the primary verb.
        if (verb > 0) {
          const HRESULT result = InPlaceActivate(OLEIVERB_PRIMARY, position);
          return FAILED(result) ? result : OLEOBJ_S_INVALIDVERB;
        }
        return E_NOTIMPL;
    }
  });
}

HRESULT STDMETHODCALLTYPE OleControl::EnumVerbs(IEnumOLEVERB** verbs) {
  return ::OleRegEnumVerbs(*classId_, verbs);
}

HRESULT STDMETHODCALLTYPE OleControl::Update() { return S_OK; }

HRESULT STDMETHODCALLTYPE OleControl::IsUpToDate() { return S_OK; }

HRESULT STDMETHODCALLTYPE OleControl::GetUserClassID(CLSID* classId) {
  if (classId == nullptr) return E_POINTER;
  *classId = *classId_;
  return S_OK;
}

HRESULT STDMETHODCALLTYPE OleControl::GetUserType(DWORD form, LPOLESTR* userType) {
  return ::OleRegGetUserType(*classId_, form, userType);
}

HRESULT STDMETHODCALLTYPE OleControl::SetExtent(DWORD aspect, SIZEL* size) {
  if (aspect != DVASPECT_CONTENT) return DV_E_DVASPECT;
  if (size == nullptr) return E_POINTER;
  extent_ = *size;
  return S_OK;
}

HRESULT STDMETHODCALLTYPE OleControl::GetExtent(DWORD aspect, SIZEL* size) {
  if (aspect != DVASPECT_CONTENT) return E_FAIL;
  if (size == nullptr) return E_POINTER;
  *size = extent_;
  return S_OK;
}

HRESULT STDMETHODCALLTYPE OleControl::Advise(IAdviseSink* sink, DWORD* connection) {
  return ComBoundary([&] {
    if (!oleAdviseHolder_) {
      const HRESULT made = ::CreateOleAdviseHolder(&oleAdviseHolder_);
      if (FAILED(made)) return made;
    }
    return oleAdviseHolder_->Advise(sink, connection);
  });
}

HRESULT STDMETHODCALLTYPE OleControl::Unadvise(DWORD connection) {
  if (!oleAdviseHolder_) return OLE_E_NOCONNECTION;
  return oleAdviseHolder_->Unadvise(connection);
}

HRESULT STDMETHODCALLTYPE OleControl::EnumAdvise(IEnumSTATDATA** advises) {
  if (advises == nullptr) return E_POINTER;
  *advises = nullptr;
  if (!oleAdviseHolder_) return S_OK;
  return oleAdviseHolder_->EnumAdvise(advises);
}

HRESULT STDMETHODCALLTYPE OleControl::GetMiscStatus(DWORD, DWORD* status) {
  if (status == nullptr) return E_POINTER;
  *status = identity_.miscStatus;
  return S_OK;
}

HRESULT STDMETHODCALLTYPE OleControl::SetColorScheme(LOGPALETTE*) { return E_NOTIMPL; }

}  // namespace tidewire
