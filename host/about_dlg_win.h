#pragma once
// CAboutDlg: the modal About box with the program's logo, its name and version, and a link to
// the maker's web site.

#include <windows.h>

#include "host/dialog_window_win.h"
#include "win/handles.h"

namespace tidewire {

class CAboutDlg final : public DialogWindow {
 public:
  CAboutDlg() = default;
  ~CAboutDlg() override { DestroyWindowIfAlive(); }

  // Runs the box owned by `owner`; returns the identifier of the button that closed it.
  INT_PTR DoModal(HWND owner);

 private:
  bool HandleWindowMessage(UINT message, WPARAM wParam, LPARAM lParam, LRESULT* result) override;
  void OnInitDialog();
  bool PointerOverLink() const;

  // Released after the window (and the items that use them) are gone.
  UniqueGdiObject<HBRUSH> faceBrush_;
  UniqueGdiObject<HFONT> linkFont_;
  UniqueGdiObject<HFONT> titleFont_;
  UniqueGdiObject<HBITMAP> logo_;  // the logo at the dialog's DPI, where that is not 96
};

}  // namespace tidewire
