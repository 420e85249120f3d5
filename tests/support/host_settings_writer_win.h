#pragma once
// The user's stored values for TidewireApp, written before it starts (by the demo and the
// benchmarks): the control's settings with a feed list, every feed active, and a speed; and,
// when given, the band's place.

#include <windows.h>

#include <cstdint>
#include <optional>
#include <string>

#include "settings/memory_byte_stream.h"
#include "settings/settings_location.h"
#include "settings/settings_stream.h"
#include "win/handles.h"

namespace tidewire::testing_support {

inline bool SetBinaryValue(HKEY key, const wchar_t* name, const void* bytes, std::size_t size) {
  return ::RegSetValueExW(key, name, 0, REG_BINARY, static_cast<const BYTE*>(bytes),
                          static_cast<DWORD>(size)) == ERROR_SUCCESS;
}

// `feeds` is the feed list as the control keeps it (addresses separated by " URL "). A
// placement is stored as a topmost band's.
inline bool StoreHostSettings(const std::u16string& feeds, std::int32_t speed,
                              const std::optional<RECT>& placement) {
  UniqueRegKey key;
  if (::RegCreateKeyW(HKEY_CURRENT_USER, SettingsKeyPath, key.Put()) != ERROR_SUCCESS) {
    return false;
  }
  SettingsRecord record;
  record.speech_feed_URLs = feeds;
  std::u16string flags = u"1";
  for (std::size_t at = feeds.find(u" URL "); at != std::u16string::npos;
       at = feeds.find(u" URL ", at + 1)) {
    flags += u" URL 1";
  }
  record.speech_feed_URLs_active = flags;
  record.speech_speed = speed;
  MemoryByteStream stream;
  if (SaveSettingsStream(record, stream) != 0 ||
      !SetBinaryValue(key.Get(), ControlSettingsValue, stream.Bytes().data(),
                      stream.Bytes().size())) {
    return false;
  }
  if (!placement) return true;
  const std::int32_t client[5] = {1, placement->left, placement->top, placement->right,
                                  placement->bottom};
  return SetBinaryValue(key.Get(), ClientSettingsValue, client, sizeof(client));
}

}  // namespace tidewire::testing_support
