#include "win/window_class.h"

#include <mutex>
#include <utility>

#include "win/module.h"
#include "win/window_owner.h"

namespace tidewire {
namespace {

std::mutex classLock;
WindowClass* firstRegistered = nullptr;

}  // namespace

bool WindowClass::Register() {
  const std::lock_guard guard(classLock);
  if (registered_) return true;
  WNDCLASSEXW windowClass{};
  windowClass.cbSize = sizeof(windowClass);
  windowClass.style = style_;
  windowClass.lpfnWndProc = &WindowOwner::WindowThunk;
  windowClass.hInstance = CodeModule();
  windowClass.hCursor = cursor_ != nullptr ? ::LoadCursorW(nullptr, cursor_) : nullptr;
  windowClass.lpszClassName = name_;
  if (::RegisterClassExW(&windowClass) == 0) return false;
  registered_ = true;
  nextRegistered_ = firstRegistered;
  firstRegistered = this;
  return true;
}

void UnregisterWindowClasses() {
  const std::lock_guard guard(classLock);
  for (WindowClass* each = firstRegistered; each != nullptr;) {
    ::UnregisterClassW(each->name_, CodeModule());
    each->registered_ = false;
    each = std::exchange(each->nextRegistered_, nullptr);
  }
  firstRegistered = nullptr;
}

}  // namespace tidewire
