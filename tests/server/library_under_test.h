#pragma once
// The built Tidewire.dll, loaded into the test process and registered in the test prefix.

#include <windows.h>

namespace tidewire {

// The library, loaded once from the build folder (TIDEWIRE_DLL_PATH).
HMODULE LibraryUnderTest();

// One of its exports, as a function pointer of the given type.
template <typename Function>
Function LibraryExport(const char* name) {
  return reinterpret_cast<Function>(
      reinterpret_cast<void*>(::GetProcAddress(LibraryUnderTest(), name)));
}

// Calls the library's DllRegisterServer.
HRESULT RegisterLibraryUnderTest();

}  // namespace tidewire
