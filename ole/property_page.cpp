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

PropertyPage::~PropertyPage() = default;

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
    if (PageWindow() != nullptr) return E_UNEXPECTED;
    // The page takes the window over at WM_INITDIALOG, before its hooks run.
    const HWND made = ::CreateDialogParamW(
        CodeModule(), MAKEINTRESOURCEW(DialogTemplateId()), parent, &WindowOwner::DialogThunk,
        reinterpret_cast<LPARAM>(static_cast<WindowOwner*>(this)));
    // A dialog that failed after its first message has let go of itself (WM_NCDESTROY).
    if (made == nullptr) return LastErrorResult();
    ::MoveWindow(made, rect->left, rect->top, rect->right - rect->left, rect->bottom - rect->top,
                 TRUE);
    return S_OK;
  });
}

HRESULT STDMETHODCALLTYPE PropertyPage::Deactivate() {
  return ComBoundary([&] { DestroyOwnedWindow(); });
}

HRESULT PropertyPage::MeasureDialog(SIZE& size) const {
  // A child dialog needs a parent: a hidden window that goes with it.
  const UniqueWindow parent(::CreateWindowExW(0, L"STATIC", L"", WS_POPUP, 0, 0, 0, 0, nullptr,
                                              nullptr, CodeModule(), nullptr));
  if (!parent) return LastErrorResult();
  // A dialog without owner: it handles nothing. It goes before its parent.
  const UniqueWindow dialog(::CreateDialogParamW(CodeModule(), MAKEINTRESOURCEW(DialogTemplateId()),
                                                 parent.Get(), &WindowOwner::DialogThunk, 0));
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
  if (PageWindow() == nullptr) return E_UNEXPECTED;
  ::ShowWindow(PageWindow(), static_cast<int>(command));
  return S_OK;
}

HRESULT STDMETHODCALLTYPE PropertyPage::Move(LPCRECT rect) {
  if (rect == nullptr) return E_POINTER;
  if (PageWindow() == nullptr) return E_UNEXPECTED;
  ::MoveWindow(PageWindow(), rect->left, rect->top, rect->right - rect->left,
               rect->bottom - rect->top, TRUE);
  return S_OK;
}

HRESULT STDMETHODCALLTYPE PropertyPage::IsPageDirty() { return dirty_ ? S_OK : S_FALSE; }

HRESULT STDMETHODCALLTYPE PropertyPage::Apply() {
  return ComBoundary([&] {
    if (PageWindow() == nullptr) return E_UNEXPECTED;
    return OnApply();
  });
}

HRESULT STDMETHODCALLTYPE PropertyPage::Help(LPCOLESTR) { return E_NOTIMPL; }

HRESULT STDMETHODCALLTYPE PropertyPage::TranslateAccelerator(MSG* message) {
  return ComBoundary([&] {
    if (message == nullptr) return E_POINTER;
    const HWND dialog = PageWindow();
    if (dialog == nullptr) return S_FALSE;
    // Only keystrokes meant for the page: dialog navigation of another window is not ours.
    if (message->hwnd != dialog && !::IsChild(dialog, message->hwnd)) return S_FALSE;
    return ::IsDialogMessageW(dialog, message) ? S_OK : S_FALSE;
  });
}

bool PropertyPage::HandleWindowMessage(UINT message, WPARAM wParam, LPARAM lParam,
                                       LRESULT* result) {
  if (message != WM_INITDIALOG) return HandlePageMessage(message, wParam, lParam, result);
  OnInitPage();
  SetDirty(false);
  // The frame decides where the focus goes.
  *result = FALSE;
  return true;
}

}  // namespace tidewire
