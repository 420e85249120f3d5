#include "host/about_dlg_win.h"

#include <shellapi.h>

#include "host/host_geometry_win.h"
#include "win/module.h"

namespace tidewire {
namespace {

constexpr WORD AboutTemplate = 100;
constexpr int LinkItem = 1003;
constexpr int TitleItem = 1004;
// The address that item 1003 names.
constexpr wchar_t MakerAddress[] = L"https://quenmar.example";

HFONT MakeItemFont(bool underline) {
  return ::CreateFontW(-11, 0, 0, 0, FW_BOLD, FALSE, underline ? TRUE : FALSE, FALSE,
                       DEFAULT_CHARSET, OUT_DEFAULT_PRECIS, CLIP_DEFAULT_PRECIS, DEFAULT_QUALITY,
                       DEFAULT_PITCH | FF_DONTCARE, L"Tahoma");
}

// Centres `window` over its parent (or its monitor's work area when it has none), kept inside
// the work area of the monitor nearest to the parent.
void CentreOnParent(HWND window) {
  const HWND parent = ::GetParent(window);
  RECT own{};
  ::GetWindowRect(window, &own);
  const SIZE size{own.right - own.left, own.bottom - own.top};
  MONITORINFO monitor{};
  monitor.cbSize = sizeof(monitor);
  ::GetMonitorInfoW(
      ::MonitorFromWindow(parent != nullptr ? parent : window, MONITOR_DEFAULTTONEAREST), &monitor);
  RECT over = monitor.rcWork;
  if (parent != nullptr && ::IsWindowVisible(parent)) ::GetWindowRect(parent, &over);
  const POINT corner = KeepInside(monitor.rcWork, CentreOver(over, size), size);
  ::SetWindowPos(window, nullptr, corner.x, corner.y, 0, 0,
                 SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
}

}  // namespace

INT_PTR CAboutDlg::DoModal(HWND owner) { return RunModal(CodeModule(), AboutTemplate, owner); }

void CAboutDlg::OnInitDialog() {
  CentreOnParent(Handle());
  faceBrush_.Reset(::CreateSolidBrush(::GetSysColor(COLOR_BTNFACE)));
  linkFont_.Reset(MakeItemFont(true));
  titleFont_.Reset(MakeItemFont(false));
  ::SendDlgItemMessageW(Handle(), LinkItem, WM_SETFONT, reinterpret_cast<WPARAM>(linkFont_.Get()),
                        FALSE);
  ::SendDlgItemMessageW(Handle(), TitleItem, WM_SETFONT, reinterpret_cast<WPARAM>(titleFont_.Get()),
                        FALSE);
}

bool CAboutDlg::PointerOverLink() const {
  POINT pointer{};
  RECT link{};
  return ::GetCursorPos(&pointer) && ::GetWindowRect(::GetDlgItem(Handle(), LinkItem), &link) &&
         ::PtInRect(&link, pointer);
}

bool CAboutDlg::HandleWindowMessage(UINT message, WPARAM wParam, LPARAM lParam, LRESULT* result) {
  switch (message) {
    case WM_INITDIALOG:
      OnInitDialog();
      *result = TRUE;
      return true;
    case WM_CTLCOLORSTATIC: {
      if (reinterpret_cast<HWND>(lParam) != ::GetDlgItem(Handle(), LinkItem)) return false;
      const auto dc = reinterpret_cast<HDC>(wParam);
      ::SetTextColor(dc, RGB(0, 0, 255));
      ::SetBkColor(dc, ::GetSysColor(COLOR_BTNFACE));
      ::SetBkMode(dc, OPAQUE);
      *result = reinterpret_cast<LRESULT>(faceBrush_.Get());
      return true;
    }
    case WM_SETCURSOR:
      ::SetCursor(::LoadCursorW(nullptr, PointerOverLink() ? IDC_HAND : IDC_ARROW));
      *result = TRUE;
      return true;
    case WM_LBUTTONDOWN:
      if (PointerOverLink()) {
        ::ShellExecuteW(nullptr, L"open", MakerAddress, nullptr, nullptr, SW_SHOWNORMAL);
      }
      *result = 0;
      return true;
    case WM_COMMAND:
      if (LOWORD(wParam) == IDOK || LOWORD(wParam) == IDCANCEL) {
        ::EndDialog(Handle(), LOWORD(wParam));
        *result = 0;
        return true;
      }
      return false;
    default: return false;
  }
}

}  // namespace tidewire
