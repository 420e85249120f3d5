#include "control/band_accessible_win.h"


#include "win/com_boundary.h"

namespace tidewire {
namespace {

bool IsSelf(const VARIANT& child) { return child.vt == VT_I4 && child.lVal == CHILDID_SELF; }

void SetLong(VARIANT* out, LONG value) {
  out->vt = VT_I4;
  out->lVal = value;
}

// An empty answer: S_FALSE with a null string (the documented "no such property" of a string
// member), or the string itself.
HRESULT ReturnText(const std::wstring& text, BSTR* out) {
  if (text.empty()) return S_FALSE;
  *out = ::SysAllocStringLen(text.data(), static_cast<UINT>(text.size()));
  return *out != nullptr ? S_OK : E_OUTOFMEMORY;
}

}  // namespace

ComPtr<BandAccessible> BandAccessible::Create(BandAccessibleSource& source, IUnknown& identity) {
  return AdoptComPtr(new BandAccessible(source, identity));
}

void BandAccessible::Disconnect() {
  source_ = nullptr;
  identity_ = nullptr;
}

HRESULT BandAccessible::Check(const VARIANT& child) const {
  if (source_ == nullptr) return CO_E_OBJNOTCONNECTED;
  return IsSelf(child) ? S_OK : E_INVALIDARG;
}

// IUnknown: a tear-off of the control. Asked for what the control is, it answers with the
// control itself, so that the object's identity is the control's (a container that compares
// IUnknown pointers sees one object); asked for IDispatch it also gives the control's, which is
// the automation interface scripts use.

HRESULT STDMETHODCALLTYPE BandAccessible::QueryInterface(REFIID iid, void** object) {
  if (object == nullptr) return E_POINTER;
  *object = nullptr;
  if (::IsEqualIID(iid, AccessibleIid)) {
    *object = static_cast<IAccessible*>(this);
  } else if (::IsEqualIID(iid, AccessibleHandlerIid)) {
    *object = static_cast<IAccessibleHandler*>(this);
  } else if (identity_ != nullptr) {
    return identity_->QueryInterface(iid, object);
  } else if (::IsEqualIID(iid, IID_IUnknown) || ::IsEqualIID(iid, IID_IDispatch)) {
    *object = static_cast<IAccessible*>(this);
  } else {
    return E_NOINTERFACE;
  }
  AddRef();
  return S_OK;
}

ULONG STDMETHODCALLTYPE BandAccessible::AddRef() {
  return static_cast<ULONG>(::InterlockedIncrement(&references_));
}

ULONG STDMETHODCALLTYPE BandAccessible::Release() {
  const LONG left = ::InterlockedDecrement(&references_);
  if (left == 0) delete this;
  return static_cast<ULONG>(left);
}

// IDispatch

HRESULT STDMETHODCALLTYPE BandAccessible::GetTypeInfoCount(UINT* count) {
  if (count == nullptr) return E_POINTER;
  *count = 0;
  return S_OK;
}

HRESULT STDMETHODCALLTYPE BandAccessible::GetTypeInfo(UINT, LCID, ITypeInfo** info) {
  if (info != nullptr) *info = nullptr;
  return E_NOTIMPL;
}

HRESULT STDMETHODCALLTYPE BandAccessible::GetIDsOfNames(REFIID, LPOLESTR*, UINT, LCID, DISPID*) {
  return E_NOTIMPL;
}

HRESULT STDMETHODCALLTYPE BandAccessible::Invoke(DISPID, REFIID, LCID, WORD, DISPPARAMS*,
                                                 VARIANT*, EXCEPINFO*, UINT*) {
  return E_NOTIMPL;
}

// IAccessible

HRESULT STDMETHODCALLTYPE BandAccessible::get_accParent(IDispatch** parent) {
  if (parent == nullptr) return E_POINTER;
  *parent = nullptr;
  if (source_ == nullptr) return CO_E_OBJNOTCONNECTED;
  return ComBoundary([&] { return source_->AccessibleParent(parent); });
}

HRESULT STDMETHODCALLTYPE BandAccessible::get_accChildCount(LONG* count) {
  if (count == nullptr) return E_POINTER;
  *count = 0;
  return source_ != nullptr ? S_OK : CO_E_OBJNOTCONNECTED;
}

HRESULT STDMETHODCALLTYPE BandAccessible::get_accChild(VARIANT, IDispatch** object) {
  if (object == nullptr) return E_POINTER;
  *object = nullptr;
  return source_ != nullptr ? E_INVALIDARG : CO_E_OBJNOTCONNECTED;
}

HRESULT STDMETHODCALLTYPE BandAccessible::get_accName(VARIANT child, BSTR* name) {
  if (name == nullptr) return E_POINTER;
  *name = nullptr;
  if (const HRESULT checked = Check(child); checked != S_OK) return checked;
  return ReturnText(AccessibleBandName, name);
}

HRESULT STDMETHODCALLTYPE BandAccessible::get_accValue(VARIANT child, BSTR* value) {
  if (value == nullptr) return E_POINTER;
  *value = nullptr;
  if (const HRESULT checked = Check(child); checked != S_OK) return checked;
  return ComBoundary([&] { return ReturnText(source_->ReadBand().value, value); });
}

HRESULT STDMETHODCALLTYPE BandAccessible::get_accDescription(VARIANT child, BSTR* description) {
  if (description == nullptr) return E_POINTER;
  *description = nullptr;
  if (const HRESULT checked = Check(child); checked != S_OK) return checked;
  return ComBoundary([&] { return ReturnText(source_->ReadBand().description, description); });
}

HRESULT STDMETHODCALLTYPE BandAccessible::get_accRole(VARIANT child, VARIANT* role) {
  if (role == nullptr) return E_POINTER;
  ::VariantInit(role);
  if (const HRESULT checked = Check(child); checked != S_OK) return checked;
  SetLong(role, ROLE_SYSTEM_ANIMATION);
  return S_OK;
}

HRESULT STDMETHODCALLTYPE BandAccessible::get_accState(VARIANT child, VARIANT* state) {
  if (state == nullptr) return E_POINTER;
  ::VariantInit(state);
  if (const HRESULT checked = Check(child); checked != S_OK) return checked;
  return ComBoundary([&] {
    const BandAccessibleSource::Reading band = source_->ReadBand();
    LONG bits = STATE_SYSTEM_MARQUEED | STATE_SYSTEM_FOCUSABLE;
    if (band.focused) bits |= STATE_SYSTEM_FOCUSED;
    if (band.opens) bits |= STATE_SYSTEM_LINKED;
    SetLong(state, bits);
  });
}

HRESULT STDMETHODCALLTYPE BandAccessible::get_accHelp(VARIANT child, BSTR* help) {
  if (help == nullptr) return E_POINTER;
  *help = nullptr;
  const HRESULT checked = Check(child);
  return checked != S_OK ? checked : S_FALSE;
}

HRESULT STDMETHODCALLTYPE BandAccessible::get_accHelpTopic(BSTR* file, VARIANT child,
                                                           LONG* topic) {
  if (file == nullptr || topic == nullptr) return E_POINTER;
  *file = nullptr;
  *topic = 0;
  const HRESULT checked = Check(child);
  return checked != S_OK ? checked : S_FALSE;
}

HRESULT STDMETHODCALLTYPE BandAccessible::get_accKeyboardShortcut(VARIANT child, BSTR* shortcut) {
  if (shortcut == nullptr) return E_POINTER;
  *shortcut = nullptr;
  const HRESULT checked = Check(child);
  return checked != S_OK ? checked : S_FALSE;
}

HRESULT STDMETHODCALLTYPE BandAccessible::get_accFocus(VARIANT* focus) {
  if (focus == nullptr) return E_POINTER;
  ::VariantInit(focus);
  if (source_ == nullptr) return CO_E_OBJNOTCONNECTED;
  return ComBoundary([&] {
    if (!source_->ReadBand().focused) return S_FALSE;
    SetLong(focus, CHILDID_SELF);
    return S_OK;
  });
}

HRESULT STDMETHODCALLTYPE BandAccessible::get_accSelection(VARIANT* selection) {
  if (selection == nullptr) return E_POINTER;
  ::VariantInit(selection);
  return source_ != nullptr ? S_FALSE : CO_E_OBJNOTCONNECTED;
}

HRESULT STDMETHODCALLTYPE BandAccessible::get_accDefaultAction(VARIANT child, BSTR* action) {
  if (action == nullptr) return E_POINTER;
  *action = nullptr;
  if (const HRESULT checked = Check(child); checked != S_OK) return checked;
  return ComBoundary([&] {
    return source_->ReadBand().opens ? ReturnText(AccessibleOpenAction, action) : S_FALSE;
  });
}

HRESULT STDMETHODCALLTYPE BandAccessible::accSelect(LONG, VARIANT child) {
  const HRESULT checked = Check(child);
  return checked != S_OK ? checked : DISP_E_MEMBERNOTFOUND;
}

HRESULT STDMETHODCALLTYPE BandAccessible::accLocation(LONG* left, LONG* top, LONG* width,
                                                      LONG* height, VARIANT child) {
  if (left == nullptr || top == nullptr || width == nullptr || height == nullptr) return E_POINTER;
  *left = *top = *width = *height = 0;
  if (const HRESULT checked = Check(child); checked != S_OK) return checked;
  return ComBoundary([&] {
    RECT rect{};
    if (!source_->BandScreenRect(&rect)) return S_FALSE;
    *left = rect.left;
    *top = rect.top;
    *width = rect.right - rect.left;
    *height = rect.bottom - rect.top;
    return S_OK;
  });
}

HRESULT STDMETHODCALLTYPE BandAccessible::accNavigate(LONG direction, VARIANT start,
                                                      VARIANT* end) {
  if (end == nullptr) return E_POINTER;
  ::VariantInit(end);
  if (const HRESULT checked = Check(start); checked != S_OK) return checked;
  // No children to go to; the siblings are the parent's to tell.
  if (direction < NAVDIR_UP || direction > NAVDIR_LASTCHILD) return E_INVALIDARG;
  return S_FALSE;
}

HRESULT STDMETHODCALLTYPE BandAccessible::accHitTest(LONG left, LONG top, VARIANT* child) {
  if (child == nullptr) return E_POINTER;
  ::VariantInit(child);
  if (source_ == nullptr) return CO_E_OBJNOTCONNECTED;
  return ComBoundary([&] {
    RECT rect{};
    if (!source_->BandScreenRect(&rect) || !::PtInRect(&rect, POINT{left, top})) return S_FALSE;
    SetLong(child, CHILDID_SELF);
    return S_OK;
  });
}

HRESULT STDMETHODCALLTYPE BandAccessible::accDoDefaultAction(VARIANT child) {
  if (const HRESULT checked = Check(child); checked != S_OK) return checked;
  return ComBoundary([&] {
    // Nothing to open: the documented answer of an object without a default action.
    if (!source_->ReadBand().opens) return DISP_E_MEMBERNOTFOUND;
    source_->OpenBandLink();
    return S_OK;
  });
}

HRESULT STDMETHODCALLTYPE BandAccessible::put_accName(VARIANT, BSTR) { return E_NOTIMPL; }

HRESULT STDMETHODCALLTYPE BandAccessible::put_accValue(VARIANT, BSTR) { return E_NOTIMPL; }

// IAccessibleHandler

HRESULT STDMETHODCALLTYPE BandAccessible::AccessibleObjectFromID(LONG, LONG,
                                                                 IAccessible** object) {
  if (object == nullptr) return E_POINTER;
  *object = nullptr;
  if (source_ == nullptr) return CO_E_OBJNOTCONNECTED;
  *object = static_cast<IAccessible*>(this);
  AddRef();
  return S_OK;
}

}  // namespace tidewire
