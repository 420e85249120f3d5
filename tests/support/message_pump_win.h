#pragma once
// Handling the test thread's window messages while a test waits for something to happen.

#include <windows.h>

#include <chrono>
#include <functional>

namespace tidewire::testing_support {

// Handles the messages this thread has queued now, showing each to `seen` first if given.
inline void DispatchPending(const std::function<void(const MSG&)>& seen = nullptr) {
  MSG message;
  while (::PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) {
    if (seen) seen(message);
    ::TranslateMessage(&message);
    ::DispatchMessageW(&message);
  }
}

// Handles this thread's messages for `duration`, showing each to `seen` first if given.
inline void PumpFor(std::chrono::milliseconds duration,
                    const std::function<void(const MSG&)>& seen = nullptr) {
  const auto end = std::chrono::steady_clock::now() + duration;
  for (;;) {
    DispatchPending(seen);
    const auto left =
        std::chrono::duration_cast<std::chrono::milliseconds>(end - std::chrono::steady_clock::now());
    if (left.count() <= 0) return;
    ::MsgWaitForMultipleObjects(0, nullptr, FALSE, static_cast<DWORD>(left.count()), QS_ALLINPUT);
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
