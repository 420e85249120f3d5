#pragma once
// Finding a window that a test or tool waits for: among a thread's or a process's top-level
// windows, or among a window's descendants.

#include <windows.h>

#include <functional>

namespace tidewire::testing_support {

namespace window_search_detail {

struct Search {
  const std::function<bool(HWND)>* wanted;
  bool visibleOnly;
  DWORD process;  // 0: any process
  HWND found;
};

inline BOOL CALLBACK Visit(HWND window, LPARAM parameter) {
  auto& search = *reinterpret_cast<Search*>(parameter);
  if (search.process != 0) {
    DWORD owner = 0;
    ::GetWindowThreadProcessId(window, &owner);
    if (owner != search.process) return TRUE;
  }
  if (search.visibleOnly && !::IsWindowVisible(window)) return TRUE;
  if (!(*search.wanted)(window)) return TRUE;
  search.found = window;
  return FALSE;
}

}  // namespace window_search_detail

// A visible top-level window of `process` that `wanted` accepts; null if there is none.
inline HWND FindProcessWindow(DWORD process, const std::function<bool(HWND)>& wanted) {
  window_search_detail::Search search{&wanted, true, process, nullptr};
  ::EnumWindows(&window_search_detail::Visit, reinterpret_cast<LPARAM>(&search));
  return search.found;
}

// A visible top-level window of `thread` that `wanted` accepts; null if there is none.
inline HWND FindThreadWindow(DWORD thread, const std::function<bool(HWND)>& wanted) {
  window_search_detail::Search search{&wanted, true, 0, nullptr};
  ::EnumThreadWindows(thread, &window_search_detail::Visit, reinterpret_cast<LPARAM>(&search));
  return search.found;
}

// A descendant of `window` that `wanted` accepts (a visible one if `visibleOnly`); null if none.
inline HWND FindChildWindow(HWND window, const std::function<bool(HWND)>& wanted,
                            bool visibleOnly = true) {
  window_search_detail::Search search{&wanted, visibleOnly, 0, nullptr};
  ::EnumChildWindows(window, &window_search_detail::Visit, reinterpret_cast<LPARAM>(&search));
  return search.found;
}

}  // namespace tidewire::testing_support
