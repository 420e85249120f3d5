#include "win/message_window.h"

#include "win/module.h"
#include "win/window_class.h"

namespace tidewire {
namespace {

WindowClass messageWindowClass(L"TidewireMessageWindow", 0, nullptr);

}  // namespace

void MessageWindow::Create(DWORD style) {
  if (!messageWindowClass.Register()) return;
  // The window becomes this object's at its first message.
  ::CreateWindowExW(0, messageWindowClass.Name(), nullptr, style, 0, 0, 0, 0, HWND_MESSAGE, nullptr,
                    CodeModule(), static_cast<WindowOwner*>(this));
}

}  // namespace tidewire
