#include "host/host_settings_win.h"

#include "control/dpi_scaling.h"
#include "settings/settings_location.h"
#include "win/com.h"
#include "win/handles.h"
#include "win/registry_stream.h"

namespace tidewire {
namespace {

constexpr wchar_t ClientDpiValue[] = L"ClientDpi";

// A stream over a value of the settings subkey, at its start; null when there is none.
ComPtr<IStream> OpenValueStream(HKEY key, const wchar_t* value, DWORD mode,
                                const char* seekFailureLine) {
  return OpenRegistryValueStream(key, SettingsSubkey, value, mode, seekFailureLine);
}

// Reads exactly sizeof(field) bytes into `field`; a shorter read leaves the field as it was.
template <typename Field>
void ReadField(IStream& stream, Field& field) {
  Field read{};
  ULONG count = 0;
  if (SUCCEEDED(stream.Read(&read, sizeof(read), &count)) && count == sizeof(read)) field = read;
}

// Copies what was written into `from` (from its start to its current position) into `to`.
bool CopyStream(IStream& from, IStream& to) {
  ULARGE_INTEGER size{};
  if (FAILED(from.Seek(LARGE_INTEGER{}, STREAM_SEEK_CUR, &size)) ||
      FAILED(from.Seek(LARGE_INTEGER{}, STREAM_SEEK_SET, nullptr))) {
    return false;
  }
  return SUCCEEDED(from.CopyTo(&to, size, nullptr, nullptr));
}

void LoadControlSettings(HKEY key, IPersistStreamInit& persist) {
  const ComPtr<IStream> stream =
      OpenValueStream(key, ControlSettingsValue, STGM_READ, LoadSettingsSeekLine);
  if (!stream) {
    persist.InitNew();
  } else if (FAILED(persist.Load(stream.Get()))) {
    ::OutputDebugStringA("Failed to read from registry stream to load settings\n");
    persist.InitNew();
  }
}

void LoadClientSettings(HKEY key, ClientSettings& client) {
  const ComPtr<IStream> stream = OpenValueStream(
      key, ClientSettingsValue, STGM_READ,
      "Failed to init registry stream to load client settings\n");
  if (!stream) return;
  ReadField(*stream.Get(), client.stayOnTop);
  ReadField(*stream.Get(), client.placement);
  DWORD dpi = 0;
  DWORD size = sizeof(dpi);
  client.placementDpi = BaseDpi;
  if (::RegGetValueW(key, SettingsSubkey, ClientDpiValue, RRF_RT_REG_DWORD, nullptr, &dpi,
                     &size) == ERROR_SUCCESS &&
      IsPlausibleDpi(dpi)) {
    client.placementDpi = dpi;
  }
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
  // Releasing a write stream stores its bytes as the value, so the control saves into memory
  // first: the value is replaced only by settings that are the user's (S_OK), never by the
  // defaults that stand in for a stored value the control could not read (S_FALSE).
  ComPtr<IStream> saved;
  HRESULT result = ::CreateStreamOnHGlobal(nullptr, TRUE, &saved);
  if (SUCCEEDED(result)) result = persist.Save(saved.Get(), TRUE);
  if (result == S_OK) {
    if (const ComPtr<IStream> stream = OpenValueStream(key.Get(), ControlSettingsValue,
                                                       STGM_WRITE, SaveSettingsSeekLine)) {
      if (!CopyStream(*saved.Get(), *stream.Get())) ::OutputDebugStringA(SaveSettingsWriteLine);
    }
  } else if (FAILED(result)) {
    ::OutputDebugStringA(SaveSettingsWriteLine);
  }
  if (const ComPtr<IStream> stream =
          OpenValueStream(key.Get(), ClientSettingsValue, STGM_WRITE,
                          "Failed to init registry stream to save client settings\n")) {
    stream->Write(&client.stayOnTop, sizeof(client.stayOnTop), nullptr);
    stream->Write(&client.placement, sizeof(client.placement), nullptr);
  }
  const DWORD dpi = UsableDpi(client.placementDpi);
  UniqueRegKey subkey;
  if (::RegCreateKeyW(key.Get(), SettingsSubkey, subkey.Put()) == ERROR_SUCCESS) {
    ::RegSetValueExW(subkey.Get(), ClientDpiValue, 0, REG_DWORD,
                     reinterpret_cast<const BYTE*>(&dpi), sizeof(dpi));
  }
}

}  // namespace tidewire
