#include "win/registry_stream.h"

#include <shlwapi.h>

namespace tidewire {

ComPtr<IStream> OpenRegistryValueStream(HKEY key, const wchar_t* subkey, const wchar_t* value,
                                        DWORD mode, const char* seekFailureLine) {
  if (mode == STGM_READ &&
      ::RegGetValueW(key, subkey, value, RRF_RT_ANY, nullptr, nullptr, nullptr) != ERROR_SUCCESS) {
    return nullptr;
  }
  ComPtr<IStream> stream = AdoptComPtr(::SHOpenRegStream2W(key, subkey, value, mode));
  if (stream && FAILED(stream->Seek(LARGE_INTEGER{}, STREAM_SEEK_SET, nullptr))) {
    ::OutputDebugStringA(seekFailureLine);
    return nullptr;
  }
  return stream;
}

}  // namespace tidewire
