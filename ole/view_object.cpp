// OleControl: drawing on request and the view (IViewObjectEx).

#include "ole/ole_control.h"
#include "win/com_boundary.h"

namespace tidewire {

namespace {

RECT ToRect(const RECTL& rect) { return {rect.left, rect.top, rect.right, rect.bottom}; }

}  // namespace

// IViewObject, IViewObject2, IViewObjectEx

HRESULT STDMETHODCALLTYPE OleControl::Draw(DWORD aspect, LONG, void*, DVTARGETDEVICE*, HDC,
                                           HDC draw, LPCRECTL bounds, LPCRECTL,
                                           BOOL(STDMETHODCALLTYPE*)(ULONG_PTR), ULONG_PTR) {
  return ComBoundary([&] {
    if (aspect != DVASPECT_CONTENT && aspect != DVASPECT_OPAQUE) return DV_E_DVASPECT;
    if (draw == nullptr) return E_INVALIDARG;
    RECT area{};
    if (bounds != nullptr) {
      area = ToRect(*bounds);
    } else if (windowless_ && state_ != State::Loaded) {
      // A windowless control draws where its container placed it.
      area = position_;
    } else {
      return E_INVALIDARG;
    }
    DrawControl(draw, area);
    return S_OK;
  });
}

HRESULT STDMETHODCALLTYPE OleControl::GetColorSet(DWORD, LONG, void*, DVTARGETDEVICE*, HDC,
                                                  LOGPALETTE** colors) {
  if (colors != nullptr) *colors = nullptr;
  return E_NOTIMPL;
}

HRESULT STDMETHODCALLTYPE OleControl::Freeze(DWORD, LONG, void*, DWORD*) { return E_NOTIMPL; }

HRESULT STDMETHODCALLTYPE OleControl::Unfreeze(DWORD) { return E_NOTIMPL; }

HRESULT STDMETHODCALLTYPE OleControl::SetAdvise(DWORD aspects, DWORD flags, IAdviseSink* sink) {
  viewAspects_ = aspects;
  viewAdviseFlags_ = flags;
  viewAdviseSink_ = sink;
  return S_OK;
}

HRESULT STDMETHODCALLTYPE OleControl::GetAdvise(DWORD* aspects, DWORD* flags, IAdviseSink** sink) {
  if (aspects != nullptr) *aspects = viewAspects_;
  if (flags != nullptr) *flags = viewAdviseFlags_;
  if (sink != nullptr) {
    *sink = nullptr;
    if (viewAdviseSink_) viewAdviseSink_.CopyTo(sink);
  }
  return S_OK;
}

HRESULT STDMETHODCALLTYPE OleControl::GetExtent(DWORD aspect, LONG, DVTARGETDEVICE*, LPSIZEL size) {
  return GetExtent(aspect, size);
}

HRESULT STDMETHODCALLTYPE OleControl::GetRect(DWORD aspect, LPRECTL rect) {
  if (rect == nullptr) return E_POINTER;
  if (aspect != DVASPECT_CONTENT) return DV_E_DVASPECT;
  *rect = {position_.left, position_.top, position_.right, position_.bottom};
  return S_OK;
}

HRESULT STDMETHODCALLTYPE OleControl::GetViewStatus(DWORD* status) {
  if (status == nullptr) return E_POINTER;
  *status = identity_.viewStatus;
  return S_OK;
}

HRESULT STDMETHODCALLTYPE OleControl::QueryHitPoint(DWORD aspect, LPCRECT bounds, POINT point, LONG,
                                                    DWORD* hitResult) {
  if (bounds == nullptr || hitResult == nullptr) return E_POINTER;
  if (aspect != DVASPECT_CONTENT) return E_FAIL;
  *hitResult = ::PtInRect(bounds, point) ? HITRESULT_HIT : HITRESULT_OUTSIDE;
  return S_OK;
}

HRESULT STDMETHODCALLTYPE OleControl::QueryHitRect(DWORD aspect, LPCRECT bounds, LPCRECT rect, LONG,
                                                   DWORD* hitResult) {
  if (bounds == nullptr || rect == nullptr || hitResult == nullptr) return E_POINTER;
  if (aspect != DVASPECT_CONTENT) return E_FAIL;
  RECT overlap{};
  *hitResult = ::IntersectRect(&overlap, bounds, rect) ? HITRESULT_HIT : HITRESULT_OUTSIDE;
  return S_OK;
}

HRESULT STDMETHODCALLTYPE OleControl::GetNaturalExtent(DWORD aspect, LONG, DVTARGETDEVICE*, HDC,
                                                       DVEXTENTINFO*, LPSIZEL size) {
  if (size == nullptr) return E_POINTER;
  if (aspect != DVASPECT_CONTENT) return E_FAIL;
  *size = identity_.initialExtent;
  return S_OK;
}

}  // namespace tidewire
