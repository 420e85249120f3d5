#include "host/main_dlg_win.h"

#include <oleacc.h>
#include <windowsx.h>

#include "control/band_accessible_win.h"
#include "control/band_sizing.h"
#include "host/about_dlg_win.h"
#include "host/host_geometry_win.h"
#include "win/dpi.h"
#include "win/handles.h"
#include "win/module.h"
#include "win/property_frame.h"

namespace tidewire {
namespace {

constexpr WORD MainTemplate = 129;
constexpr WORD AcceleratorTable = 128;
constexpr WORD ProgramIcon = 128;
constexpr LONG_PTR TopmostToolStyles = WS_EX_TOOLWINDOW | WS_EX_TOPMOST;
constexpr DWORD HoverTime = 10;
constexpr wchar_t NormalWindowTitle[] = L"Tidewire";

// The page list of ISpecifyPropertyPages, freed when it goes.
bool IsMouseMessage(UINT message) {
  return message >= WM_MOUSEFIRST && message <= WM_MBUTTONDBLCLK;
}

// Sets a window's extended styles to `styles`; if that changed them, lets the frame know
// without moving, sizing, activating or re-stacking the window.
void SetExtendedStyles(HWND window, LONG_PTR styles) {
  if (::GetWindowLongPtrW(window, GWL_EXSTYLE) == styles) return;
  ::SetWindowLongPtrW(window, GWL_EXSTYLE, styles);
  ::SetWindowPos(window, nullptr, 0, 0, 0, 0,
                 SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE | SWP_NOZORDER | SWP_FRAMECHANGED);
}

HICON LoadProgramIcon(int widthMetric, int heightMetric, UINT dpi) {
  return static_cast<HICON>(::LoadImageW(CodeModule(), MAKEINTRESOURCEW(ProgramIcon), IMAGE_ICON,
                                         SystemMetricForDpi(widthMetric, dpi),
                                         SystemMetricForDpi(heightMetric, dpi), LR_SHARED));
}

}  // namespace

CMainDlg::~CMainDlg() { DestroyWindowIfAlive(); }

bool CMainDlg::Create(HWND owner) {
  return CreateModeless(CodeModule(), MainTemplate, owner) != nullptr;
}

bool CMainDlg::PreTranslateMessage(MSG& message) {
  if (message.message >= WM_KEYFIRST && message.message <= WM_KEYLAST) {
    return accelerators_ != nullptr &&
           ::TranslateAcceleratorW(Handle(), accelerators_, &message) != 0;
  }
  return Handle() != nullptr && ::IsDialogMessageW(Handle(), &message) != 0;
}

LRESULT CMainDlg::AccessibleObject(WPARAM wParam, LPARAM objectId) const {
  // The identifier is compared as 32 bits, as the message's documentation asks. The control
  // fills the client area, so its accessible object is the client's.
  if (closed_ || !gadget_ || static_cast<DWORD>(objectId) != static_cast<DWORD>(OBJID_CLIENT)) {
    return 0;
  }
  ComPtr<IAccessible> accessible;
  if (FAILED(gadget_->QueryInterface(AccessibleIid,
                                     reinterpret_cast<void**>(accessible.GetAddressOf())))) {
    return 0;
  }
  return ::LresultFromObject(AccessibleIid, wParam, accessible.Get());
}

void CMainDlg::SetKeyboardInUse(bool inUse) {
  if (inUse == keyboardInUse_) return;
  keyboardInUse_ = inUse;
  if (inUse) ::SendMessageW(Handle(), WM_CHANGEUISTATE, MAKEWPARAM(UIS_CLEAR, UISF_HIDEFOCUS), 0);
  ::InvalidateRect(Handle(), nullptr, FALSE);
}

bool CMainDlg::OnIdle() { return false; }

bool CMainDlg::HandleWindowMessage(UINT message, WPARAM wParam, LPARAM lParam, LRESULT* result) {
  // The control runs without a window: the mouse messages that hit it are its own first.
  if (IsMouseMessage(message) && site_) site_->ForwardMouseMessage(message, wParam, lParam);
  if (message == WM_LBUTTONDOWN || message == WM_RBUTTONDOWN) SetKeyboardInUse(false);
  *result = 0;
  switch (message) {
    case WM_INITDIALOG:
      OnInitDialog();
      *result = 1;
      return true;
    case WM_ERASEBKGND: *result = 1; return true;
    case WM_PAINT: Paint(); return true;
    case WM_SIZE:
      if (site_) site_->FitToClientArea();
      return false;
    case WM_NCHITTEST: *result = HitTest(lParam); return true;
    case WM_SETCURSOR: SetHostCursor(reinterpret_cast<HWND>(wParam)); return true;
    case WM_MOUSEMOVE: RequestHoverAndLeave(); return true;
    case WM_MOUSELEAVE:
      if (windowless_) {
        LRESULT ignored = 0;
        windowless_->OnWindowMessage(message, wParam, lParam, &ignored);
      }
      return false;
    case WM_LBUTTONDOWN:
      if (gadget_) gadget_->OpenCurrentLink();
      return true;
    case WM_RBUTTONDOWN:
      ShowHostMenu(lParam);
      *result = 1;
      return true;
    case WM_CONTEXTMENU:
      // From the keyboard (-1, -1): at the band's lower-left corner. The menu a right click
      // asks for has been shown on the press already.
      if (static_cast<DWORD>(lParam) == 0xFFFFFFFF) {
        RECT client{};
        ::GetClientRect(Handle(), &client);
        ShowHostMenu(MAKELPARAM(client.left, client.bottom));
      }
      return true;
    case WM_ACTIVATE:
      // Activated by a click or by the keyboard, the band takes the keyboard focus.
      if (LOWORD(wParam) != WA_INACTIVE) ::SetFocus(Handle());
      return true;
    case WM_SETFOCUS:
    case WM_KILLFOCUS:
    case WM_UPDATEUISTATE:
    case WM_SYSCOLORCHANGE:
      // The focus rectangle comes or goes; the colours may have changed (high contrast).
      ::InvalidateRect(Handle(), nullptr, FALSE);
      return false;
    case WM_SETTINGCHANGE:
      if (wParam == SPI_SETHIGHCONTRAST) ::InvalidateRect(Handle(), nullptr, FALSE);
      return false;
    case WM_GETOBJECT:
      *result = AccessibleObject(wParam, lParam);
      return *result != 0;
    case WM_COMMAND:
      // A key of the accelerator table: the band shows where the focus is.
      if (HIWORD(wParam) == 1) SetKeyboardInUse(true);
      return OnCommand(LOWORD(wParam));
    case WM_CLOSE:
      // From any sender, as the window's own close: not left to the dialog's default handling.
      CloseHost(CloseCommand);
      return true;
    case WM_QUERYENDSESSION: *result = TRUE; return true;
    case WM_ENDSESSION:
      // The session ends (log-off, shut-down, an installer or a restart manager closing the
      // program): the process may be ended as soon as this returns, so the values are written
      // now, as closing the window writes them.
      if (wParam != FALSE) CloseHost(CloseCommand);
      return true;
    case WM_SIZING:
      if (lParam != 0) ApplyMinimumSize(wParam, *reinterpret_cast<RECT*>(lParam), dpi_);
      return true;
    case WM_DPICHANGED:
      if (lParam != 0) OnDpiChanged(HIWORD(wParam), *reinterpret_cast<const RECT*>(lParam));
      return true;
    case WM_DESTROY: OnDestroy(); return false;
    default: return false;
  }
}

void CMainDlg::OnInitDialog() {
  // The band's size is this window's own business when the DPI changes (see OnDpiChanged), not
  // the dialog manager's.
  KeepDialogLayoutOnDpiChange(Handle());
  dpi_ = UsableDpi(WindowDpi(Handle()));
  accelerators_ = ::LoadAcceleratorsW(CodeModule(), MAKEINTRESOURCEW(AcceleratorTable));
  // No focus cues for a mouse user: they show once one of the band's keys is used.
  ::SendMessageW(Handle(), WM_CHANGEUISTATE, MAKEWPARAM(UIS_SET, UISF_HIDEFOCUS), 0);
  CreateGadget();
  PlaceWindow();
  // The template makes a topmost tool window; a saved normal state is brought about by one
  // toggle.
  if (client_.stayOnTop == 0) {
    client_.stayOnTop = 1;
    ToggleStayOnTop();
  }
  SetIcons();
  if (MessageLoop* loop = MessageLoop::ForCurrentThread()) {
    loop->AddMessageFilter(*this);
    loop->AddIdleHandler(*this);
  }
  RequestHoverAndLeave();
}

void CMainDlg::SetIcons() {
  ::SendMessageW(Handle(), WM_SETICON, ICON_BIG,
                 reinterpret_cast<LPARAM>(LoadProgramIcon(SM_CXICON, SM_CYICON, dpi_)));
  ::SendMessageW(Handle(), WM_SETICON, ICON_SMALL,
                 reinterpret_cast<LPARAM>(LoadProgramIcon(SM_CXSMICON, SM_CYSMICON, dpi_)));
}

// The window moved to a monitor of another scaling, or the user changed the scaling: the
// suggested rectangle keeps the band's physical size across; its height is made exactly the
// band's height at the new DPI.
void CMainDlg::OnDpiChanged(UINT dpi, const RECT& suggested) {
  dpi_ = UsableDpi(dpi);
  ::SetWindowPos(Handle(), nullptr, suggested.left, suggested.top,
                 suggested.right - suggested.left, BandHeightAt(dpi_),
                 SWP_NOZORDER | SWP_NOACTIVATE);
  SetIcons();
  ::InvalidateRect(Handle(), nullptr, FALSE);
}

void CMainDlg::CreateGadget() {
  ComPtr<IOleClientSite> clientSite;
  if (FAILED(ControlSite::Create(nullptr, IID_PPV_ARGS(&clientSite), Handle()))) return;
  site_ = static_cast<ControlSite*>(clientSite.Get());
  if (FAILED(site_->CreateControl(CLSID_TidewireGadget, IID_PPV_ARGS(&gadget_)))) {
    gadget_.Reset();
    return;
  }
  gadget_->LoadSettings();
  // The host's own settings are read (and later written) only through the control's persistence.
  if (SUCCEEDED(gadget_.As(&persist_))) LoadHostSettings(*persist_.Get(), client_);
  gadget_.As(&windowless_);
  gadget_.As(&menu_);
}

void CMainDlg::PlaceWindow() {
  const HWND window = Handle();
  RECT own{};
  ::GetWindowRect(window, &own);
  // The template's height follows the dialog font; the band's follows the DPI.
  const LONG bandHeight = BandHeightAt(dpi_);
  if (own.bottom - own.top != bandHeight) {
    own.bottom = own.top + bandHeight;
    ::SetWindowPos(window, nullptr, 0, 0, own.right - own.left, bandHeight,
                   SWP_NOMOVE | SWP_NOACTIVATE | SWP_NOZORDER);
  }
  // A damaged rectangle, or one on a monitor removed since, must not bring back for ever a strip
  // that nobody can reach or that covers the desktop: the rows the user drags must lie on a work
  // area, and the band keeps its own height. One saved at another DPI is first brought to this
  // window's.
  if (const std::optional<RECT> saved =
          RescaledPlacement(client_.placement, client_.placementDpi, dpi_)) {
    MONITORINFO monitor{};
    monitor.cbSize = sizeof(monitor);
    const RECT dragged = DraggedRows(*saved, dpi_);
    if (::GetMonitorInfoW(::MonitorFromRect(&dragged, MONITOR_DEFAULTTONEAREST), &monitor)) {
      if (const std::optional<RECT> restored =
              RestoredPlacement(*saved, bandHeight, monitor.rcWork, dpi_)) {
        ::SetWindowPos(window, nullptr, restored->left, restored->top,
                       restored->right - restored->left, restored->bottom - restored->top,
                       SWP_NOACTIVATE | SWP_NOZORDER);
        return;
      }
    }
  }
  MONITORINFO monitor{};
  monitor.cbSize = sizeof(monitor);
  ::GetMonitorInfoW(::MonitorFromWindow(window, MONITOR_DEFAULTTONEAREST), &monitor);
  const POINT corner =
      CentredPosition(monitor.rcWork, SIZE{own.right - own.left, own.bottom - own.top});
  ::SetWindowPos(window, nullptr, corner.x, corner.y, 0, 0,
                 SWP_NOSIZE | SWP_NOACTIVATE | SWP_NOZORDER);
}

void CMainDlg::Paint() {
  const PaintDc paint(Handle());
  if (gadget_) {
    site_->Draw(paint.Get());
    // The focus rectangle over the band once its keys are in use, unless the window's UI state
    // hides focus cues. (Where the user asked for keyboard cues always, SPI_GETKEYBOARDCUES, as
    // Wine does by default, the UI state never hides them: the keys alone then decide.)
    const LRESULT cues = ::SendMessageW(Handle(), WM_QUERYUISTATE, 0, 0);
    if (keyboardInUse_ && ::GetFocus() == Handle() && (cues & UISF_HIDEFOCUS) == 0) {
      RECT client{};
      ::GetClientRect(Handle(), &client);
      ::DrawFocusRect(paint.Get(), &client);
    }
  } else {
    // Without a control the strip is left plain.
    ::FillRect(paint.Get(), &paint.Paint().rcPaint, ::GetSysColorBrush(COLOR_BTNFACE));
  }
}

LRESULT CMainDlg::HitTest(LPARAM screenPoint) const {
  POINT point{GET_X_LPARAM(screenPoint), GET_Y_LPARAM(screenPoint)};
  ::MapWindowPoints(nullptr, Handle(), &point, 1);
  RECT window{};
  ::GetWindowRect(Handle(), &window);
  return HostHitTest(point, window.right - window.left, dpi_);
}

void CMainDlg::SetHostCursor(HWND window) {
  const wchar_t* cursor = IDC_ARROW;
  POINT pointer{};
  if (gadget_ && ::GetCursorPos(&pointer)) {
    ::MapWindowPoints(nullptr, window, &pointer, 1);
    RECT own{};
    ::GetWindowRect(Handle(), &own);
    cursor = CursorForHitTest(HostHitTest(pointer, own.right - own.left, dpi_));
  }
  ::SetCursor(::LoadCursorW(nullptr, cursor));
}

void CMainDlg::RequestHoverAndLeave() {
  TRACKMOUSEEVENT track{};
  track.cbSize = sizeof(track);
  track.dwFlags = TME_HOVER | TME_LEAVE;
  track.hwndTrack = Handle();
  track.dwHoverTime = HoverTime;
  ::TrackMouseEvent(&track);
}

void CMainDlg::ShowHostMenu(LPARAM clientPoint) {
  if (!menu_) return;
  const UniqueMenu menu(::CreatePopupMenu());
  if (!menu) return;
  menu_->QueryContextMenu(menu.Get(), 0, FirstControlCommand, LastControlCommand, 0);
  wchar_t pauseText[] = L"Pause\tCtrl+P";
  MENUITEMINFOW item{};
  item.cbSize = sizeof(item);
  item.fMask = MIIM_STRING;
  item.dwTypeData = pauseText;
  ::SetMenuItemInfoW(menu.Get(), 0, TRUE, &item);
  ::AppendMenuW(menu.Get(), MF_STRING, OptionsCommand, L"Options\tCtrl+O");
  ::AppendMenuW(menu.Get(), MF_STRING, StayOnTopCommand, L"Stay On Top");
  ::AppendMenuW(menu.Get(), MF_STRING, AboutCommand, L"About");
  ::AppendMenuW(menu.Get(), MF_STRING, ExitCommand, L"Exit\tAlt+F4");
  if (client_.stayOnTop != 0) {
    ::CheckMenuItem(menu.Get(), StayOnTopCommand, MF_BYCOMMAND | MF_CHECKED);
  }
  POINT point{GET_X_LPARAM(clientPoint), GET_Y_LPARAM(clientPoint)};
  ::ClientToScreen(Handle(), &point);
  ::TrackPopupMenu(menu.Get(), TPM_LEFTALIGN | TPM_RIGHTBUTTON, point.x, point.y, 0, Handle(),
                   nullptr);
}

bool CMainDlg::OnCommand(WORD id) {
  if (id >= FirstControlCommand && id <= LastControlCommand) {
    if (!menu_) return false;
    CMINVOKECOMMANDINFO command{};
    command.cbSize = sizeof(command);
    command.lpVerb = MAKEINTRESOURCEA(id - FirstControlCommand);
    menu_->InvokeCommand(&command);
    return true;
  }
  switch (id) {
    case OptionsCommand: ShowOptions(); return true;
    case StayOnTopCommand: ToggleStayOnTop(); return true;
    case OpenStoryCommand:
      if (gadget_) gadget_->OpenCurrentLink();
      return true;
    case BandMenuCommand:
      ::SendMessageW(Handle(), WM_CONTEXTMENU, reinterpret_cast<WPARAM>(Handle()),
                     MAKELPARAM(-1, -1));
      return true;
    case AboutCommand: {
      CAboutDlg about;
      about.DoModal(::GetActiveWindow());
      return true;
    }
    case ExitCommand:
    case CloseCommand: CloseHost(id); return true;
    default: return false;
  }
}

void CMainDlg::ToggleStayOnTop() {
  const HWND window = Handle();
  client_.stayOnTop = client_.stayOnTop == 0 ? 1 : 0;
  // Hidden and shown again, the window gains or loses its taskbar button at once.
  ::ShowWindow(window, SW_HIDE);
  const LONG_PTR styles = ::GetWindowLongPtrW(window, GWL_EXSTYLE);
  if (client_.stayOnTop != 0) {
    SetExtendedStyles(window, styles | TopmostToolStyles);
    ::SetWindowPos(window, HWND_TOPMOST, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_SHOWWINDOW);
  } else {
    SetExtendedStyles(window, styles & ~TopmostToolStyles);
    ::SetWindowTextW(window, NormalWindowTitle);
    ::SetWindowPos(window, HWND_NOTOPMOST, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_SHOWWINDOW);
  }
}

void CMainDlg::ShowOptions() {
  ComPtr<ISpecifyPropertyPages> specify;
  if (!gadget_ || FAILED(gadget_.As(&specify))) return;
  ShowPropertyFrame(Handle(), *specify.Get(), gadget_.Get());
}

void CMainDlg::CloseHost(int exitCode) {
  // Once: a close that arrives while the first one runs (or after it) writes nothing more.
  if (closed_) return;
  closed_ = true;
  if (accelerators_ != nullptr) ::DestroyAcceleratorTable(accelerators_);
  accelerators_ = nullptr;
  ::GetWindowRect(Handle(), &client_.placement);
  client_.placementDpi = dpi_;
  if (persist_) SaveHostSettings(*persist_.Get(), client_);
  if (gadget_) gadget_->SaveSettings();
  DestroyWindowIfAlive();
  ::PostQuitMessage(exitCode);
}

void CMainDlg::OnDestroy() {
  if (MessageLoop* loop = MessageLoop::ForCurrentThread()) {
    loop->RemoveMessageFilter(*this);
    loop->RemoveIdleHandler(*this);
  }
  // The control lets go of its site and its view of the window while the window still exists;
  // the control itself goes with the last of the interfaces this object holds.
  if (site_) site_->Close();
}

}  // namespace tidewire
