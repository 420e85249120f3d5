#include "ole/property_page.h"

#include <cstring>

#include "win/com_boundary.h"
#include "win/module.h"

namespace tidewire {
namespace {

HRESULT LastErrorResult() {
  const DWORD error = ::GetLastError();
  return error != ERROR_SUCCESS ? HRESULT_FROM_WIN32(error) : E_FAIL;
}

// The procedure of the dialog made only to be measured: it handles nothing.
INT_PTR CALLBACK MeasuringDialogProc(HWND, UINT, WPARAM, LPARAM) { return FALSE; }

// A copy of a string resource in task memory, as PROPPAGEINFO hands strings out.
LPOLESTR TaskMemString(UINT id) {
  const std::wstring text = ModuleString(CodeModule(), id);
  auto* copy = static_cast<LPOLESTR>(::CoTaskMemAlloc((text.size() + 1) * sizeof(wchar_t)));
  if (copy == nullptr) return nullptr;
  std::memcpy(copy, text.c_str(), (text.size() + 1) * sizeof(wchar_t));
  return copy;
}

}  // namespace

PropertyPage::PropertyPage() = default;

PropertyPage::~PropertyPage() {
  // The page's hooks are gone by now: the dialog, if a frame left it open, is detached from the
  // page before it is destroyed, so that its last messages reach no hook.
  if (dialog_) ::SetWindowLongPtrW(dialog_.Get(), DWLP_USER, 0);
}

void PropertyPage::SetDirty(bool dirty) {
  if (dirty == dirty_) return;
  dirty_ = dirty;
  if (site_) site_->OnStatusChange(dirty ? PROPPAGESTATUS_DIRTY : PROPPAGESTATUS_CLEAN);
}

void PropertyPage::ReportDirty() {
  dirty_ = true;
  if (site_) site_->OnStatusChange(PROPPAGESTATUS_DIRTY);
}

HRESULT STDMETHODCALLTYPE PropertyPage::SetPageSite(IPropertyPageSite* site) {
  return ComBoundary([&] {
    // A frame sets the site once and takes it away with null.
    if (site != nullptr && site_) return E_UNEXPECTED;
    site_ = site;
    return S_OK;
  });
}

HRESULT STDMETHODCALLTYPE PropertyPage::Activate(HWND parent, LPCRECT rect, BOOL) {
  return ComBoundary([&]() -> HRESULT {
    if (rect == nullptr) return E_POINTER;
    if (dialog_) return E_UNEXPECTED;
    // The dialog procedure takes the window over at WM_INITDIALOG, before the hooks run.
    const HWND made =
        ::CreateDialogParamW(CodeModule(), MAKEINTRESOURCEW(DialogTemplateId()), parent,
                             &PropertyPage::DialogProc, reinterpret_cast<LPARAM>(this));
    // A dialog that failed after its first message has let go of itself (WM_NCDESTROY).
    if (made == nullptr) return LastErrorResult();
    ::MoveWindow(made, rect->left, rect->top, rect->right - rect->left, rect->bottom - rect->top,
                 TRUE);
    return S_OK;
  });
}

HRESULT STDMETHODCALLTYPE PropertyPage::Deactivate() {
  return ComBoundary([&] {
    dialog_.Reset();
    return S_OK;
  });
}

HRESULT PropertyPage::MeasureDialog(SIZE& size) const {
  // A child dialog needs a parent: a hidden window that goes with it.
  const UniqueWindow parent(::CreateWindowExW(0, L"STATIC", L"", WS_POPUP, 0, 0, 0, 0, nullptr,
                                              nullptr, CodeModule(), nullptr));
  if (!parent) return LastErrorResult();
  const UniqueWindow dialog(::CreateDialogParamW(CodeModule(), MAKEINTRESOURCEW(DialogTemplateId()),
                                                 parent.Get(), &MeasuringDialogProc, 0));
  if (!dialog) return LastErrorResult();
  RECT bounds{};
  ::GetWindowRect(dialog.Get(), &bounds);
  size = {bounds.right - bounds.left, bounds.bottom - bounds.top};
  return S_OK;
}

HRESULT STDMETHODCALLTYPE PropertyPage::GetPageInfo(PROPPAGEINFO* info) {
  return ComBoundary([&]() -> HRESULT {
    if (info == nullptr) return E_POINTER;
    SIZE size{};
    const HRESULT measured = MeasureDialog(size);
    if (FAILED(measured)) return measured;
    const LPOLESTR title = TaskMemString(TitleStringId());
    if (title == nullptr) return E_OUTOFMEMORY;
    info->cb = sizeof(*info);
    info->pszTitle = title;
    info->size = size;
    info->pszDocString = nullptr;
    info->pszHelpFile = nullptr;
    info->dwHelpContext = 0;
    return S_OK;
  });
}

HRESULT STDMETHODCALLTYPE PropertyPage::SetObjects(ULONG count, IUnknown** objects) {
  return ComBoundary([&] {
    if (count > 0 && objects == nullptr) return E_POINTER;
    std::vector<ComPtr<IUnknown>> kept(objects, objects + count);
    objects_.swap(kept);
    return S_OK;
  });
}

HRESULT STDMETHODCALLTYPE PropertyPage::Show(UINT command) {
  if (!dialog_) return E_UNEXPECTED;
  ::ShowWindow(dialog_.Get(), static_cast<int>(command));
  return S_OK;
}

HRESULT STDMETHODCALLTYPE PropertyPage::Move(LPCRECT rect) {
  if (rect == nullptr) return E_POINTER;
  if (!dialog_) return E_UNEXPECTED;
  ::MoveWindow(dialog_.Get(), rect->left, rect->top, rect->right - rect->left,
               rect->bottom - rect->top, TRUE);
  return S_OK;
}

HRESULT STDMETHODCALLTYPE PropertyPage::IsPageDirty() { return dirty_ ? S_OK : S_FALSE; }

HRESULT STDMETHODCALLTYPE PropertyPage::Apply() {
  return ComBoundary([&] {
    if (!dialog_) return E_UNEXPECTED;
    return OnApply();
  });
}

HRESULT STDMETHODCALLTYPE PropertyPage::Help(LPCOLESTR) { return E_NOTIMPL; }

HRESULT STDMETHODCALLTYPE PropertyPage::TranslateAccelerator(MSG* message) {
  return ComBoundary([&] {
    if (message == nullptr) return E_POINTER;
    const HWND dialog = dialog_.Get();
    if (dialog == nullptr) return S_FALSE;
    // Only keystrokes meant for the page: dialog navigation of another window is not ours.
    if (message->hwnd != dialog && !::IsChild(dialog, message->hwnd)) return S_FALSE;
    return ::IsDialogMessageW(dialog, message) ? S_OK : S_FALSE;
  });
}

INT_PTR CALLBACK PropertyPage::DialogProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam) {
  if (message == WM_INITDIALOG) ::SetWindowLongPtrW(dialog, DWLP_USER, lParam);
  auto* page = reinterpret_cast<PropertyPage*>(::GetWindowLongPtrW(dialog, DWLP_USER));
  if (page == nullptr) return FALSE;
  INT_PTR result = FALSE;
  ComBoundary([&] {
    result = page->HandleDialogMessage(dialog, message, wParam, lParam);
    return S_OK;
  });
  return result;
}

INT_PTR PropertyPage::HandleDialogMessage(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam) {
  switch (message) {
    case WM_INITDIALOG:
      dialog_.Reset(dialog);
      OnInitPage();
      SetDirty(false);
      // The frame decides where the focus goes.
      return FALSE;
    case WM_NCDESTROY:
      // Destroyed with its parent, without Deactivate: the handle is no longer ours to destroy.
      ::SetWindowLongPtrW(dialog, DWLP_USER, 0);
      if (dialog_.Get() == dialog) static_cast<void>(dialog_.Take());
      return FALSE;
    default: return HandlePageMessage(message, wParam, lParam) ? TRUE : FALSE;
  }
}

}  // namespace tidewire
