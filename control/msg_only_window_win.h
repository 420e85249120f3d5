#pragma once
// The control's hidden message-only window: it carries the scroll timer and receives the
// notifications of the download worker and the delay threads, on the control's thread.

#include <windows.h>

#include "control/gadget_handles_win.h"

namespace tidewire {

class CTidewireGadget;

// Posted (both parameters 0) when loaded settings are to be put into effect.
inline constexpr UINT SettingsLoadedMessage = WM_APP + 1;
// The scroll timer's identifier on the message window.
inline constexpr UINT_PTR ScrollTimerId = 0;

class MsgOnlyWindow {
 public:
  explicit MsgOnlyWindow(CTidewireGadget& owner) : owner_(&owner) {}
  MsgOnlyWindow(const MsgOnlyWindow&) = delete;
  MsgOnlyWindow& operator=(const MsgOnlyWindow&) = delete;

  // Creates the window; on failure the handle stays empty and the control carries on without it.
  void Create();
  // Destroys the window if it still exists; messages posted to it afterwards are lost.
  void Destroy() { window_.Reset(); }

  HWND Handle() const { return window_.Get(); }

 private:
  static LRESULT CALLBACK WindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
  LRESULT HandleMessage(HWND window, UINT message, WPARAM wParam, LPARAM lParam);

  CTidewireGadget* owner_;  // not owned: the control contains this window
  UniqueWindow window_;
};

}  // namespace tidewire
