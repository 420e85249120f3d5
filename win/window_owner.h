#pragma once
// The owner of one window or dialog whose messages go to one handler, and the two procedures
// (thunks) that find the owner for a message.
//
// The owner is found through the window's user data (GWLP_USERDATA for windows, DWLP_USER for
// dialogs), stored at WM_NCCREATE from CreateWindowEx's creation parameter or at WM_INITDIALOG
// from the dialog's init parameter, both a WindowOwner*. From then on the owner holds the
// handle. At WM_NCDESTROY the thunk clears the user data and the owner gives the handle up
// without destroying it, before the handler sees that last message: a window that its parent or
// the system destroys is never destroyed again, nor a handle the system has since given to
// another window.
//
// A handler that throws: the exception stops at the thunk (it never crosses into system code)
// and the message counts as not handled, so it gets the default processing: DefWindowProcW for a
// window, FALSE from the dialog procedure for a dialog. Whatever the handler had changed before
// it threw stays changed, and the window goes on receiving messages.

#include <windows.h>

#include "win/handles.h"

namespace tidewire {

class WindowOwner {
 public:
  WindowOwner(const WindowOwner&) = delete;
  WindowOwner& operator=(const WindowOwner&) = delete;

  // The window procedure of windows made with a WindowClass; the creation parameter of
  // CreateWindowEx is the WindowOwner* (or null for a window without owner).
  static LRESULT CALLBACK WindowThunk(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
  // The dialog procedure; the init parameter of CreateDialogParam or DialogBoxParam (and their
  // Indirect forms) is the WindowOwner*.
  static INT_PTR CALLBACK DialogThunk(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam);

 protected:
  WindowOwner() = default;
  // A window still alive here is untied from its owner first, so that its last messages reach
  // no handler of an object that is going, and then destroyed. Not virtual: an owner is never
  // deleted through this base, and a virtual destructor would add entries to the table of a COM
  // class that derives from it.
  ~WindowOwner();

  // The window from its first message to WM_NCDESTROY; else null.
  HWND OwnedWindow() const { return window_.Get(); }
  // Destroys the window if there is one; its last messages still reach the handler.
  void DestroyOwnedWindow() { window_.Reset(); }

  // One message; returns whether it was handled, `*result` being its result then. For a dialog
  // that is what the dialog procedure returns for WM_INITDIALOG, WM_CTLCOLOR* and the other
  // messages that return their result directly, else the DWLP_MSGRESULT value.
  virtual bool HandleWindowMessage(UINT message, WPARAM wParam, LPARAM lParam, LRESULT* result) = 0;

 private:
  static void Adopt(HWND window, int slot, LPARAM owner);
  static WindowOwner* Find(HWND window, UINT message, int slot);
  // Runs the handler inside the boundary; false for a message not handled or a handler that
  // threw.
  bool Dispatch(UINT message, WPARAM wParam, LPARAM lParam, LRESULT* result);

  UniqueWindow window_;
  bool dialog_ = false;
};

}  // namespace tidewire
