// TidewireApp: the stand-alone host of the ticker control. One thread, one window, one control;
// the command line is not used.

#include <windows.h>
// After windows.h, which it needs.
#include <commctrl.h>

#include "host/main_dlg_win.h"
#include "host/message_loop_win.h"
#include "win/com.h"
#include "win/com_boundary.h"

namespace {

// Creates the main window and runs the loop until the window posts its exit code.
int Run(int show) {
  tidewire::MessageLoop loop;
  const tidewire::LoopRegistration registration(loop);
  // Declared after the loop: the window object, and with it the control, goes first.
  tidewire::CMainDlg mainWindow;
  if (!mainWindow.Create(nullptr)) return 0;
  ::ShowWindow(mainWindow.Handle(), show);
  return loop.Run();
}

}  // namespace

int WINAPI wWinMain(HINSTANCE, HINSTANCE, PWSTR, int show) {
  const tidewire::ComInitialization com;
  INITCOMMONCONTROLSEX controls{};
  controls.dwSize = sizeof(controls);
  controls.dwICC = ICC_BAR_CLASSES;
  ::InitCommonControlsEx(&controls);
  int exitCode = 0;
  tidewire::ComBoundary([&] { exitCode = Run(show); });
  return exitCode;
}
