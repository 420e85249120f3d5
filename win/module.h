#pragma once
// The module that holds this code: the library when it runs in a container, the program itself
// in tests. Its resources and window classes belong to it.

#include <windows.h>

#include <string>

namespace tidewire {

extern "C" IMAGE_DOS_HEADER __ImageBase;
inline HINSTANCE CodeModule() { return reinterpret_cast<HINSTANCE>(&__ImageBase); }

// The full path of a module's file; empty if it cannot be had.
std::wstring ModuleFileName(HINSTANCE module);

// The text of string resource `id` of `module`; empty if it has none.
std::wstring ModuleString(HINSTANCE module, UINT id);

}  // namespace tidewire
