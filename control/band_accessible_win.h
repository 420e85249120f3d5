#pragma once
// The band as a screen reader sees it: one accessible object (Active Accessibility) of role
// animation, named "Tidewire", whose value is the line on the band. It reads what it answers from
// a BandAccessibleSource, which the control supplies. The object is the control's tear-off: its
// IUnknown, and every interface but IAccessible and IAccessibleHandler, are the control's while
// it is connected; once the control has gone, it stays answerable on its own and every member
// returns CO_E_OBJNOTCONNECTED, so a screen reader that still holds it cannot reach a control
// that no longer exists.

#include <oleacc.h>
#include <windows.h>

#include <string>

#include "win/com.h"

namespace tidewire {

// The identifiers are spelled out: mingw's IID_IAccessible from liboleacc links as data that
// the run time does not resolve, and its headers lack IAccessibleWindowlessSite.
inline constexpr IID AccessibleIid = {
    0x618736e0, 0x3c3d, 0x11cf, {0x81, 0x0c, 0x00, 0xaa, 0x00, 0x38, 0x9b, 0x71}};
inline constexpr IID AccessibleHandlerIid = {
    0x03022430, 0xabc4, 0x11d0, {0xbd, 0xe2, 0x00, 0xaa, 0x00, 0x1a, 0x19, 0x53}};
inline constexpr IID AccessibleWindowlessSiteIid = {
    0xbf3abd9c, 0x76da, 0x4389, {0x9e, 0xb6, 0x14, 0x27, 0xd2, 0x5a, 0xba, 0xb7}};

#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wnon-virtual-dtor"

// What a windowless control's container offers for accessibility (Windows 8 and later): a range
// of object identifiers for the control's events, and the control's accessible parent.
struct IAccessibleWindowlessSite : public IUnknown {
  virtual HRESULT STDMETHODCALLTYPE AcquireObjectIdRange(LONG rangeSize, IAccessibleHandler* owner,
                                                         LONG* rangeBase) = 0;
  virtual HRESULT STDMETHODCALLTYPE ReleaseObjectIdRange(LONG rangeBase,
                                                         IAccessibleHandler* owner) = 0;
  virtual HRESULT STDMETHODCALLTYPE QueryObjectIdRanges(IAccessibleHandler* owner,
                                                        SAFEARRAY** ranges) = 0;
  virtual HRESULT STDMETHODCALLTYPE GetParentAccessible(IAccessible** parent) = 0;
};

#pragma GCC diagnostic pop

// The accessible object's name, its default action and what the description says while paused.
inline constexpr wchar_t AccessibleBandName[] = L"Tidewire";
inline constexpr wchar_t AccessibleOpenAction[] = L"Open";
inline constexpr wchar_t AccessiblePausedText[] = L"Paused";

// What the band tells its accessible object; every call comes on the control's thread.
class BandAccessibleSource {
 public:
  struct Reading {
    std::wstring value;        // the whole line on the band, or the status text
    std::wstring description;  // its feed and the time it was read; "Paused" first while paused
    bool opens = false;        // the line has a link that opening it would open
    bool focused = false;      // the band has the keyboard focus
  };
  virtual Reading ReadBand() = 0;
  // The band's rectangle on the screen; false while it is shown nowhere.
  virtual bool BandScreenRect(RECT* rect) = 0;
  // The accessible object the band lies in; S_FALSE (and null) when there is none.
  virtual HRESULT AccessibleParent(IDispatch** parent) = 0;
  // Opens the line's link, exactly as a click does.
  virtual void OpenBandLink() = 0;

 protected:
  ~BandAccessibleSource() = default;
};

#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wnon-virtual-dtor"

class BandAccessible final : public IAccessible, public IAccessibleHandler {
 public:
  // `source` answers while connected; `identity` is the control's controlling unknown. Neither is
  // held: the control disconnects the object before either goes.
  static ComPtr<BandAccessible> Create(BandAccessibleSource& source, IUnknown& identity);

  // From here every member answers CO_E_OBJNOTCONNECTED and the object is its own identity.
  void Disconnect();
  bool Connected() const { return source_ != nullptr; }

  // IUnknown
  HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** object) override;
  ULONG STDMETHODCALLTYPE AddRef() override;
  ULONG STDMETHODCALLTYPE Release() override;

  // IDispatch: a screen reader calls the members of IAccessible directly; there is no type
  // information to offer.
  HRESULT STDMETHODCALLTYPE GetTypeInfoCount(UINT* count) override;
  HRESULT STDMETHODCALLTYPE GetTypeInfo(UINT index, LCID locale, ITypeInfo** info) override;
  HRESULT STDMETHODCALLTYPE GetIDsOfNames(REFIID iid, LPOLESTR* names, UINT count, LCID locale,
                                          DISPID* ids) override;
  HRESULT STDMETHODCALLTYPE Invoke(DISPID member, REFIID iid, LCID locale, WORD flags,
                                   DISPPARAMS* parameters, VARIANT* result, EXCEPINFO* exception,
                                   UINT* argumentError) override;

  // IAccessible: one object without children.
  HRESULT STDMETHODCALLTYPE get_accParent(IDispatch** parent) override;
  HRESULT STDMETHODCALLTYPE get_accChildCount(LONG* count) override;
  HRESULT STDMETHODCALLTYPE get_accChild(VARIANT child, IDispatch** object) override;
  HRESULT STDMETHODCALLTYPE get_accName(VARIANT child, BSTR* name) override;
  HRESULT STDMETHODCALLTYPE get_accValue(VARIANT child, BSTR* value) override;
  HRESULT STDMETHODCALLTYPE get_accDescription(VARIANT child, BSTR* description) override;
  HRESULT STDMETHODCALLTYPE get_accRole(VARIANT child, VARIANT* role) override;
  HRESULT STDMETHODCALLTYPE get_accState(VARIANT child, VARIANT* state) override;
  HRESULT STDMETHODCALLTYPE get_accHelp(VARIANT child, BSTR* help) override;
  HRESULT STDMETHODCALLTYPE get_accHelpTopic(BSTR* file, VARIANT child, LONG* topic) override;
  HRESULT STDMETHODCALLTYPE get_accKeyboardShortcut(VARIANT child, BSTR* shortcut) override;
  HRESULT STDMETHODCALLTYPE get_accFocus(VARIANT* focus) override;
  HRESULT STDMETHODCALLTYPE get_accSelection(VARIANT* selection) override;
  HRESULT STDMETHODCALLTYPE get_accDefaultAction(VARIANT child, BSTR* action) override;
  HRESULT STDMETHODCALLTYPE accSelect(LONG flags, VARIANT child) override;
  HRESULT STDMETHODCALLTYPE accLocation(LONG* left, LONG* top, LONG* width, LONG* height,
                                        VARIANT child) override;
  HRESULT STDMETHODCALLTYPE accNavigate(LONG direction, VARIANT start, VARIANT* end) override;
  HRESULT STDMETHODCALLTYPE accHitTest(LONG left, LONG top, VARIANT* child) override;
  HRESULT STDMETHODCALLTYPE accDoDefaultAction(VARIANT child) override;
  HRESULT STDMETHODCALLTYPE put_accName(VARIANT child, BSTR name) override;
  HRESULT STDMETHODCALLTYPE put_accValue(VARIANT child, BSTR value) override;

  // IAccessibleHandler: the object of the one identifier a windowless site gave the control.
  HRESULT STDMETHODCALLTYPE AccessibleObjectFromID(LONG window, LONG objectId,
                                                   IAccessible** object) override;

 private:
  BandAccessible(BandAccessibleSource& source, IUnknown& identity)
      : source_(&source), identity_(&identity) {}
  ~BandAccessible() = default;

  // S_OK when connected and `child` names the object itself; the error to return otherwise.
  HRESULT Check(const VARIANT& child) const;

  LONG references_ = 1;
  BandAccessibleSource* source_;
  IUnknown* identity_;
};

#pragma GCC diagnostic pop

}  // namespace tidewire
