#include "host/dialog_window_win.h"

namespace tidewire {
namespace {

const DLGTEMPLATE* FindTemplate(HINSTANCE instance, WORD templateId) {
  const HRSRC found = ::FindResourceW(instance, MAKEINTRESOURCEW(templateId), RT_DIALOG);
  if (found == nullptr) return nullptr;
  const HGLOBAL loaded = ::LoadResource(instance, found);
  return loaded != nullptr ? static_cast<const DLGTEMPLATE*>(::LockResource(loaded)) : nullptr;
}

}  // namespace

HWND DialogWindow::CreateModeless(HINSTANCE instance, WORD templateId, HWND owner) {
  const DLGTEMPLATE* dialogTemplate = FindTemplate(instance, templateId);
  if (dialogTemplate == nullptr) return nullptr;
  return ::CreateDialogIndirectParamW(instance, dialogTemplate, owner, &DialogThunk,
                                      reinterpret_cast<LPARAM>(static_cast<WindowOwner*>(this)));
}

INT_PTR DialogWindow::RunModal(HINSTANCE instance, WORD templateId, HWND owner) {
  return ::DialogBoxParamW(instance, MAKEINTRESOURCEW(templateId), owner, &DialogThunk,
                           reinterpret_cast<LPARAM>(static_cast<WindowOwner*>(this)));
}

}  // namespace tidewire
