#pragma once
// Handling the test thread's window messages while a test waits for something to happen.

#include <windows.h>

#include <chrono>
#include <functional>

namespace tidewire::testing_support {

// Handles this thread's messages for `duration`.
inline void PumpFor(std::chrono::milliseconds duration) {
  const auto end = std::chrono::steady_clock::now() + duration;
  while (std::chrono::steady_clock::now() < end) {
    ::MsgWaitForMultipleObjects(0, nullptr, FALSE, 10, QS_ALLINPUT);
    MSG message;
    while (::PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) {
      ::TranslateMessage(&message);
      ::DispatchMessageW(&message);
    }
  }
}

// Handles this thread's messages until `done` holds or `limit` has passed; the limit only keeps
// a broken test from hanging. Returns whether `done` held.
inline bool PumpUntil(const std::function<bool()>& done,
                      std::chrono::milliseconds limit = std::chrono::seconds(30)) {
  const auto end = std::chrono::steady_clock::now() + limit;
  while (!done()) {
    if (std::chrono::steady_clock::now() >= end) return false;
    PumpFor(std::chrono::milliseconds(20));
  }
  return true;
}

}  // namespace tidewire::testing_support
