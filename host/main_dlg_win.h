#pragma once
// CMainDlg: the program's main window, a borderless strip made from dialog template 129 that
// hosts the ticker control over its whole client area. It can be dragged by its top rows,
// stretched sideways, kept on top of other windows or not, and offers the control's Pause item
// with the host's own commands on a popup menu.

#include <ocidl.h>
#include <shobjidl.h>
#include <windows.h>

#include "host/control_site_win.h"
#include "host/dialog_window_win.h"
#include "host/host_settings_win.h"
#include "host/message_loop_win.h"
#include "tidewire_idl.h"
#include "win/com.h"

namespace tidewire {

// Command identifiers of the main window.
inline constexpr WORD FirstControlCommand = 800;  // the control's menu items, 800 ... 950
inline constexpr WORD LastControlCommand = 950;
inline constexpr WORD OptionsCommand = 1010;
inline constexpr WORD StayOnTopCommand = 1020;
inline constexpr WORD OpenStoryCommand = 1030;  // Enter: the story on the band, as a click opens it
inline constexpr WORD BandMenuCommand = 1040;   // Shift+F10, the context-menu key: the menu
inline constexpr WORD AboutCommand = 57664;
inline constexpr WORD ExitCommand = 1;   // the exit code of a program ended from the menu
inline constexpr WORD CloseCommand = 2;  // ... and of one whose window was closed

class CMainDlg final : public DialogWindow, public MessageFilter, public IdleHandler {
 public:
  CMainDlg() = default;
  ~CMainDlg() override;

  // Creates the window (hidden) with the control in it; false if the window cannot be made.
  bool Create(HWND owner);

  // MessageFilter: keyboard messages go to the accelerators only, the rest to the dialog.
  bool PreTranslateMessage(MSG& message) override;
  // IdleHandler: nothing to do.
  bool OnIdle() override;

 private:
  bool HandleWindowMessage(UINT message, WPARAM wParam, LPARAM lParam, LRESULT* result) override;
  void OnInitDialog();
  void CreateGadget();
  void PlaceWindow();
  void SetIcons();
  void OnDpiChanged(UINT dpi, const RECT& suggested);
  void Paint();
  LRESULT HitTest(LPARAM screenPoint) const;
  void SetHostCursor(HWND window);
  void RequestHoverAndLeave();
  void ShowHostMenu(LPARAM clientPoint);
  // The band's accessible object, for a screen reader's WM_GETOBJECT.
  LRESULT AccessibleObject(WPARAM wParam, LPARAM objectId) const;
  // Whether the focus rectangle shows: after a key of the band's, until the next click.
  void SetKeyboardInUse(bool inUse);
  bool OnCommand(WORD id);
  void ToggleStayOnTop();
  void ShowOptions();
  void CloseHost(int exitCode);
  void OnDestroy();

  HACCEL accelerators_ = nullptr;  // a resource of the program
  bool closed_ = false;
  bool keyboardInUse_ = false;  // a key of the band's was used since the last click
  ClientSettings client_;
  UINT dpi_ = 96;  // of the window: sizes, hit-testing and the saved rectangle follow it
  ComPtr<ControlSite> site_;
  // The control's interfaces, released in reverse order: menu, windowless, persistence, gadget.
  ComPtr<ITidewireGadget> gadget_;
  ComPtr<IPersistStreamInit> persist_;
  ComPtr<IOleInPlaceObjectWindowless> windowless_;
  ComPtr<IContextMenu> menu_;
};

}  // namespace tidewire
