#pragma once
// Owners for the system handles of the ticker control: kernel objects (events, threads), GDI
// objects (font, bitmap) and windows.

#include <windows.h>

#include "retrieval/unique_handle_win.h"

namespace tidewire {

struct KernelHandleTraits {
  using Handle = HANDLE;
  static constexpr Handle Empty() { return nullptr; }
  static void Close(Handle handle) { ::CloseHandle(handle); }
};
using UniqueKernelHandle = UniqueHandle<KernelHandleTraits>;

template <typename GdiHandle>
struct GdiObjectTraits {
  using Handle = GdiHandle;
  static constexpr Handle Empty() { return nullptr; }
  static void Close(Handle handle) { ::DeleteObject(handle); }
};
template <typename GdiHandle>
using UniqueGdiObject = UniqueHandle<GdiObjectTraits<GdiHandle>>;

// A window must be destroyed on the thread that created it; its owner lives on that thread.
struct WindowHandleTraits {
  using Handle = HWND;
  static constexpr Handle Empty() { return nullptr; }
  static void Close(Handle handle) {
    if (::IsWindow(handle)) ::DestroyWindow(handle);
  }
};
using UniqueWindow = UniqueHandle<WindowHandleTraits>;

// The module that holds this code: the library when the control runs in a container, the program
// itself in tests. Its resources and its window classes belong to it.
extern "C" IMAGE_DOS_HEADER __ImageBase;
inline HINSTANCE CodeModule() { return reinterpret_cast<HINSTANCE>(&__ImageBase); }

}  // namespace tidewire
