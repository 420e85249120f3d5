#pragma once
// The window base of the host: a dialog made from a template in the program's resources, modeless
// or modal, whose messages go to one virtual handler of the object that owns it.

#include <windows.h>

namespace tidewire {

class DialogWindow {
 public:
  DialogWindow(const DialogWindow&) = delete;
  DialogWindow& operator=(const DialogWindow&) = delete;

  HWND Handle() const { return window_; }

 protected:
  DialogWindow() = default;
  // A derived class destroys its window in its own destructor (DestroyWindowIfAlive), while its
  // handler still exists; a window still alive here is untied from the object, then destroyed.
  virtual ~DialogWindow();

  // Creates the window from dialog template `templateId`; null on failure.
  HWND CreateModeless(HINSTANCE instance, WORD templateId, HWND owner);
  // Runs the dialog of `templateId` modally; returns what EndDialog was given, or -1.
  INT_PTR RunModal(HINSTANCE instance, WORD templateId, HWND owner);
  void DestroyWindowIfAlive();

  // The message handler. Returns whether the message was handled; `result` is then its result
  // (for WM_INITDIALOG, WM_CTLCOLOR* and the other messages whose result a dialog procedure
  // returns itself, that result; for the rest the message result).
  virtual bool HandleMessage(UINT message, WPARAM wParam, LPARAM lParam, LRESULT& result) = 0;

 private:
  static INT_PTR CALLBACK DialogProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);

  HWND window_ = nullptr;
};

}  // namespace tidewire
