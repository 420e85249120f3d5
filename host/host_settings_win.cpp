#include "host/host_settings_win.h"

#include <shlwapi.h>

#include "win/com.h"
#include "win/handles.h"

namespace tidewire {
namespace {

constexpr wchar_t SettingsKey[] = L"SOFTWARE\\QUENMAR";
constexpr wchar_t SettingsSubkey[] = L"TidewireGadget";
constexpr wchar_t ControlValue[] = L"Settings";
constexpr wchar_t ClientValue[] = L"ClientSettings";

// A stream over a value of the subkey; null when there is none. For reading, a value that does
// not exist gives none (some platforms would open an empty stream for it).
ComPtr<IStream> OpenValueStream(HKEY key, const wchar_t* value, DWORD mode) {
  if (mode == STGM_READ && ::RegGetValueW(key, SettingsSubkey, value, RRF_RT_ANY, nullptr, nullptr,
                                          nullptr) != ERROR_SUCCESS) {
    return nullptr;
  }
  return AdoptComPtr(::SHOpenRegStream2W(key, SettingsSubkey, value, mode));
}

bool SeekToStart(IStream& stream) {
  return SUCCEEDED(stream.Seek(LARGE_INTEGER{}, STREAM_SEEK_SET, nullptr));
}

// Reads exactly sizeof(field) bytes into `field`; a shorter read leaves the field as it was.
template <typename Field>
void ReadField(IStream& stream, Field& field) {
  Field read{};
  ULONG count = 0;
  if (SUCCEEDED(stream.Read(&read, sizeof(read), &count)) && count == sizeof(read)) field = read;
}

void LoadControlSettings(HKEY key, IPersistStreamInit& persist) {
  const ComPtr<IStream> stream = OpenValueStream(key, ControlValue, STGM_READ);
  if (!stream) {
    persist.InitNew();
  } else if (!SeekToStart(*stream.Get())) {
    ::OutputDebugStringA("Failed to init registry stream to load settings\n");
    persist.InitNew();
  } else if (FAILED(persist.Load(stream.Get()))) {
    ::OutputDebugStringA("Failed to read from registry stream to load settings\n");
    persist.InitNew();
  }
}

void LoadClientSettings(HKEY key, ClientSettings& client) {
  const ComPtr<IStream> stream = OpenValueStream(key, ClientValue, STGM_READ);
  if (!stream) return;
  if (!SeekToStart(*stream.Get())) {
    ::OutputDebugStringA("Failed to init registry stream to load client settings\n");
    return;
  }
  ReadField(*stream.Get(), client.stayOnTop);
  ReadField(*stream.Get(), client.placement);
}

}  // namespace

void LoadHostSettings(IPersistStreamInit& persist, ClientSettings& client) {
  UniqueRegKey key;
  if (::RegCreateKeyW(HKEY_CURRENT_USER, SettingsKey, key.Put()) != ERROR_SUCCESS) {
    persist.InitNew();
    return;
  }
  LoadControlSettings(key.Get(), persist);
  LoadClientSettings(key.Get(), client);
}

void SaveHostSettings(IPersistStreamInit& persist, const ClientSettings& client) {
  UniqueRegKey key;
  if (::RegCreateKeyW(HKEY_CURRENT_USER, SettingsKey, key.Put()) != ERROR_SUCCESS) return;
  // Releasing a write stream stores its bytes as the value.
  if (const ComPtr<IStream> stream = OpenValueStream(key.Get(), ControlValue, STGM_WRITE)) {
    if (!SeekToStart(*stream.Get())) {
      ::OutputDebugStringA("Failed to init registry stream to save settings\n");
    } else if (FAILED(persist.Save(stream.Get(), TRUE))) {
      ::OutputDebugStringA("Failed to write to registry stream to save settings\n");
    }
  }
  if (const ComPtr<IStream> stream = OpenValueStream(key.Get(), ClientValue, STGM_WRITE)) {
    if (!SeekToStart(*stream.Get())) {
      ::OutputDebugStringA("Failed to init registry stream to save client settings\n");
    } else {
      stream->Write(&client.stayOnTop, sizeof(client.stayOnTop), nullptr);
      stream->Write(&client.placement, sizeof(client.placement), nullptr);
    }
  }
}

}  // namespace tidewire
