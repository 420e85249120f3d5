#include "host/about_dlg_win.h"

#include <shellapi.h>

#include <algorithm>

#include "control/dpi_scaling.h"
#include "host/host_geometry_win.h"
#include "win/dpi.h"
#include "win/module.h"

namespace tidewire {
namespace {

constexpr WORD AboutTemplate = 100;
constexpr int LinkItem = 1003;
constexpr int TitleItem = 1004;
constexpr WORD LogoBitmap = 206;
constexpr SIZE LogoSize{34, 33};  // pixels at 96 DPI
// The address that item 1003 names.
constexpr wchar_t MakerAddress[] = L"https://quenmar.example";

// The bold items' font: 11 pixels at 96 DPI, scaled as the dialog's own font is.
HFONT MakeItemFont(bool underline, UINT dpi) {
  return ::CreateFontW(ScaleForDpi(-11, dpi), 0, 0, 0, FW_BOLD, FALSE, underline ? TRUE : FALSE, FALSE,
                       DEFAULT_CHARSET, OUT_DEFAULT_PRECIS, CLIP_DEFAULT_PRECIS, DEFAULT_QUALITY,
                       DEFAULT_PITCH | FF_DONTCARE, L"Tahoma");
}

// Widens a one-line item whose text, in its bold font, is wider than the template made it (the
// bold font and the dialog font do not scale in step), as far as the dialog's right margin.
void FitItemToItsText(HWND dialog, int id) {
  const HWND item = ::GetDlgItem(dialog, id);
  wchar_t text[128] = {};
  const int length = ::GetWindowTextW(item, text, 128);
  RECT placed{};
  RECT client{};
  if (item == nullptr || length == 0 || !::GetWindowRect(item, &placed) ||
      !::GetClientRect(dialog, &client)) {
    return;
  }
  ::MapWindowPoints(nullptr, dialog, reinterpret_cast<POINT*>(&placed), 2);
  const HDC dc = ::GetDC(item);
  const HGDIOBJ previous =
      ::SelectObject(dc, reinterpret_cast<HFONT>(::SendMessageW(item, WM_GETFONT, 0, 0)));
  SIZE extent{};
  ::GetTextExtentPoint32W(dc, text, length, &extent);
  ::SelectObject(dc, previous);
  ::ReleaseDC(item, dc);
  // The margin on the right is the one on the left of the dialog's first column.
  const LONG widest = client.right - placed.left - placed.left / 2;
  if (extent.cx <= placed.right - placed.left) return;
  ::SetWindowPos(item, nullptr, 0, 0, std::min<LONG>(extent.cx + 1, widest),
                 placed.bottom - placed.top, SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
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
  const UINT dpi = UsableDpi(WindowDpi(Handle()));
  linkFont_.Reset(MakeItemFont(true, dpi));
  titleFont_.Reset(MakeItemFont(false, dpi));
  if (dpi != BaseDpi) {
    // The picture item shows its bitmap at the bitmap's own size: the logo is stretched to the
    // size it has at 96 DPI times the scaling.
    logo_.Reset(static_cast<HBITMAP>(::LoadImageW(CodeModule(), MAKEINTRESOURCEW(LogoBitmap),
                                                  IMAGE_BITMAP, ScaleForDpi(LogoSize.cx, dpi),
                                                  ScaleForDpi(LogoSize.cy, dpi), 0)));
    for (HWND item = ::GetWindow(Handle(), GW_CHILD); logo_ && item != nullptr;
         item = ::GetWindow(item, GW_HWNDNEXT)) {
      if ((::GetWindowLongW(item, GWL_STYLE) & SS_TYPEMASK) != SS_BITMAP) continue;
      // The bitmap the item loaded from the template is handed back, and is ours to delete.
      const auto previous = reinterpret_cast<HBITMAP>(::SendMessageW(
          item, STM_SETIMAGE, IMAGE_BITMAP, reinterpret_cast<LPARAM>(logo_.Get())));
      if (previous != nullptr && previous != logo_.Get()) ::DeleteObject(previous);
      break;
    }
  }
  ::SendDlgItemMessageW(Handle(), LinkItem, WM_SETFONT, reinterpret_cast<WPARAM>(linkFont_.Get()),
                        FALSE);
  ::SendDlgItemMessageW(Handle(), TitleItem, WM_SETFONT, reinterpret_cast<WPARAM>(titleFont_.Get()),
                        FALSE);
  FitItemToItsText(Handle(), LinkItem);
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
