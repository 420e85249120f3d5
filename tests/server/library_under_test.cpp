#include "tests/server/library_under_test.h"

#include <string>

namespace tidewire {

HMODULE LibraryUnderTest() {
  // The build folder's path, on the drive that Wine maps to the root of the file system.
  static const HMODULE library = ::LoadLibraryW((std::wstring(L"Z:") + TIDEWIRE_DLL_PATH).c_str());
  return library;
}

HRESULT RegisterLibraryUnderTest() {
  const auto registerServer = LibraryExport<HRESULT(STDAPICALLTYPE*)()>("DllRegisterServer");
  return registerServer != nullptr ? registerServer() : E_FAIL;
}

}  // namespace tidewire
