#pragma once
// The window base of the host: a dialog made from a template in the program's resources, modeless
// or modal, whose messages go to the one handler of the object that owns it (WindowOwner's
// HandleWindowMessage).

#include <windows.h>

#include "win/window_owner.h"

namespace tidewire {

class DialogWindow : public WindowOwner {
 public:
  HWND Handle() const { return OwnedWindow(); }

 protected:
  DialogWindow() = default;
  // A derived class destroys its window in its own destructor (DestroyWindowIfAlive), while its
  // handler still exists; a window still alive here is untied from the object, then destroyed.
  virtual ~DialogWindow() = default;

  // Creates the window from dialog template `templateId`; null on failure.
  HWND CreateModeless(HINSTANCE instance, WORD templateId, HWND owner);
  // Runs the dialog of `templateId` modally; returns what EndDialog was given, or -1.
  INT_PTR RunModal(HINSTANCE instance, WORD templateId, HWND owner);
  void DestroyWindowIfAlive() { DestroyOwnedWindow(); }
};

}  // namespace tidewire
