#pragma once
// A small control for the OLE plumbing's tests: it fills its bounds with one colour, records the
// messages its handler receives and consumes a button press (answering 7).

#include <windows.h>

#include <span>
#include <vector>

#include "ole/com_object.h"
#include "ole/ole_control.h"
#include "win/handles.h"

namespace tidewire::testing_support {

// {5C1E4E2A-61D3-4C43-9B0E-6A52D4E1F0A7}
inline constexpr CLSID DummyControlClass = {
    0x5c1e4e2a, 0x61d3, 0x4c43, {0x9b, 0x0e, 0x6a, 0x52, 0xd4, 0xe1, 0xf0, 0xa7}};
inline constexpr COLORREF DummyColour = RGB(0x20, 0xA0, 0x40);
// Its class is registered nowhere: what a container reads of it comes from here.
inline constexpr OleControl::Identity DummyIdentity{
    OLEMISC_ACTIVATEWHENVISIBLE | OLEMISC_SETCLIENTSITEFIRST, {1234, 567}, VIEWSTATUS_OPAQUE,
    L"Dummy Control"};
inline constexpr LRESULT DummyButtonResult = 7;

#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wnon-virtual-dtor"

class DummyControl final : public ComObject<DummyControl, OleControl> {
 public:
  explicit DummyControl(IUnknown* outer) : ComObject(outer) {
    SetControlIdentity(DummyControlClass, DummyIdentity);
  }
  ~DummyControl() { ReleaseContainer(); }
  static std::span<const InterfaceEntry<DummyControl>> InterfaceMap() {
    using D = DummyControl;
    static constexpr InterfaceEntry<D> map[] = {
        Entry<D, IOleObject>(),          Entry<D, IViewObjectEx>(),
        Entry<D, IViewObject2>(),        Entry<D, IViewObject>(),
        Entry<D, IOleInPlaceObjectWindowless>(), Entry<D, IOleInPlaceObject>(),
        Entry<D, IOleWindow, IOleInPlaceObjectWindowless>(),
        Entry<D, IQuickActivate>(),
    };
    return map;
  }
  // The control behind an interface pointer that Create handed out.
  static DummyControl* Of(IOleObject* object) {
    return static_cast<DummyControl*>(static_cast<OleControl*>(object));
  }

  std::vector<UINT> messages;

 private:
  void DrawControl(HDC dc, const RECT& bounds) override {
    const UniqueGdiObject<HBRUSH> brush(::CreateSolidBrush(DummyColour));
    ::FillRect(dc, &bounds, brush.Get());
  }
  bool HandleControlMessage(UINT message, WPARAM, LPARAM, LRESULT* result) override {
    messages.push_back(message);
    if (message != WM_LBUTTONDOWN) return false;
    *result = DummyButtonResult;
    return true;
  }
};

#pragma GCC diagnostic pop

}  // namespace tidewire::testing_support
