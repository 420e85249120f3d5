#pragma once
// A hidden message-only window that hands every message to a callback. It carries timers and
// receives messages posted from other threads, on the thread that created it.

#include <windows.h>

#include <functional>

#include "win/window_owner.h"

namespace tidewire {

class MessageWindow final : private WindowOwner {
 public:
  // Called for every message; returns whether it handled the message, `*result` being its
  // result then. The rest go to DefWindowProcW.
  using Handler = std::function<bool(UINT message, WPARAM wParam, LPARAM lParam, LRESULT* result)>;

  explicit MessageWindow(Handler handler) : handler_(std::move(handler)) {}

  // Creates the window with the given styles under HWND_MESSAGE; on failure the handle stays
  // empty and the owner carries on without it.
  void Create(DWORD style = 0);
  // Destroys the window if it still exists; messages posted to it afterwards are lost.
  void Destroy() { DestroyOwnedWindow(); }

  HWND Handle() const { return OwnedWindow(); }

 private:
  bool HandleWindowMessage(UINT message, WPARAM wParam, LPARAM lParam, LRESULT* result) override {
    return handler_ && handler_(message, wParam, lParam, result);
  }

  Handler handler_;
};

}  // namespace tidewire
