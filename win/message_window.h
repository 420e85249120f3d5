#pragma once
// A hidden message-only window that hands every message to a callback. It carries timers and
// receives messages posted from other threads, on the thread that created it.

#include <windows.h>

#include <functional>

#include "win/handles.h"

namespace tidewire {

class MessageWindow {
 public:
  // Called for every message; returns the message's result. Messages it does not handle go to
  // DefWindowProcW, which the callback calls itself.
  using Handler = std::function<LRESULT(HWND window, UINT message, WPARAM wParam, LPARAM lParam)>;

  explicit MessageWindow(Handler handler) : handler_(std::move(handler)) {}
  MessageWindow(const MessageWindow&) = delete;
  MessageWindow& operator=(const MessageWindow&) = delete;

  // Creates the window with the given styles under HWND_MESSAGE; on failure the handle stays
  // empty and the owner carries on without it.
  void Create(DWORD style = 0);
  // Destroys the window if it still exists; messages posted to it afterwards are lost.
  void Destroy() { window_.Reset(); }

  HWND Handle() const { return window_.Get(); }

 private:
  static LRESULT CALLBACK WindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);

  Handler handler_;
  UniqueWindow window_;
};

// Removes the window class from the process: a library calls it when it is unloaded, so that a
// later load at another address registers the class afresh with its own window procedure.
void UnregisterMessageWindowClass();

}  // namespace tidewire
