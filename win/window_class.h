#pragma once
// A window class of this module whose procedure is the window thunk (win/window_owner.h). It is
// registered on first use, once, from any thread, and unregistered with all others of the module
// by UnregisterWindowClasses when the library that holds it is unloaded.

#include <windows.h>

namespace tidewire {

class WindowClass {
 public:
  // `cursor` is a system cursor (IDC_*) or null for none. Objects of this type live at namespace
  // scope for the whole run.
  WindowClass(const wchar_t* name, UINT style, const wchar_t* cursor)
      : name_(name), style_(style), cursor_(cursor) {}
  WindowClass(const WindowClass&) = delete;
  WindowClass& operator=(const WindowClass&) = delete;

  // Registers the class unless it is registered; false if registering failed.
  bool Register();
  const wchar_t* Name() const { return name_; }

 private:
  friend void UnregisterWindowClasses();

  const wchar_t* name_;
  UINT style_;
  const wchar_t* cursor_;
  bool registered_ = false;
  WindowClass* nextRegistered_ = nullptr;
};

// Removes every class registered through WindowClass from the process, so that a later load of
// the library at another address registers them afresh with its own window procedure.
void UnregisterWindowClasses();

}  // namespace tidewire
