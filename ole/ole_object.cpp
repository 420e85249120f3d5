// OleControl: embedding in a container (IOleObject).

#include <olectl.h>

#include <cstring>
#include <cwchar>

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
    BeforeClose();
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

// The registry answers first, as the default handler would (OleRegEnumVerbs, OleRegGetUserType).
// Any failure means it had no answer for the class: REGDB_E_CLASSNOTREG or OLE_E_REGDB_KEY
// without a class key (a registration-free run, where a standard user's self-registration could
// not write one), REGDB_E_KEYMISSING or OLEOBJ_E_NOVERBS without that part of it. Then the
// control's identity answers.

HRESULT STDMETHODCALLTYPE OleControl::EnumVerbs(IEnumOLEVERB** verbs) {
  if (verbs == nullptr) return E_POINTER;
  *verbs = nullptr;
  const HRESULT registered = ::OleRegEnumVerbs(*classId_, verbs);
  if (SUCCEEDED(registered)) return registered;
  // IOleObject::EnumVerbs: the object supports no verbs of its own.
  *verbs = nullptr;
  return OLEOBJ_E_NOVERBS;
}

HRESULT STDMETHODCALLTYPE OleControl::Update() { return S_OK; }

HRESULT STDMETHODCALLTYPE OleControl::IsUpToDate() { return S_OK; }

HRESULT STDMETHODCALLTYPE OleControl::GetUserClassID(CLSID* classId) {
  if (classId == nullptr) return E_POINTER;
  *classId = *classId_;
  return S_OK;
}

HRESULT STDMETHODCALLTYPE OleControl::GetUserType(DWORD form, LPOLESTR* userType) {
  if (userType == nullptr) return E_POINTER;
  *userType = nullptr;
  const HRESULT registered = ::OleRegGetUserType(*classId_, form, userType);
  if (SUCCEEDED(registered) || identity_.userType == nullptr) return registered;
  // As the registry answers a form it holds no name for, with the lowest-numbered one it has
  // (the full name): one name for every form. The caller frees it with the task allocator.
  *userType = nullptr;
  const std::size_t bytes = (std::wcslen(identity_.userType) + 1) * sizeof(wchar_t);
  auto* copy = static_cast<LPOLESTR>(::CoTaskMemAlloc(bytes));
  if (copy == nullptr) return E_OUTOFMEMORY;
  std::memcpy(copy, identity_.userType, bytes);
  *userType = copy;
  return S_OK;
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
