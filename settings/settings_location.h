#pragma once
// Where the control and the host keep their settings: two binary values of one key under the
// user's hive, HKEY_CURRENT_USER\SOFTWARE\QUENMAR\TidewireGadget, and the debugger output lines
// both write when a value's stream fails.

namespace tidewire {

// The key under HKEY_CURRENT_USER, its subkey that holds the values, and the two together.
inline constexpr wchar_t SettingsKey[] = L"SOFTWARE\\QUENMAR";
inline constexpr wchar_t SettingsSubkey[] = L"TidewireGadget";
inline constexpr wchar_t SettingsKeyPath[] = L"SOFTWARE\\QUENMAR\\TidewireGadget";

// The control's persisted settings, and the host's own (stay-on-top and window placement).
inline constexpr wchar_t ControlSettingsValue[] = L"Settings";
inline constexpr wchar_t ClientSettingsValue[] = L"ClientSettings";

inline constexpr char LoadSettingsSeekLine[] = "Failed to init registry stream to load settings\n";
inline constexpr char SaveSettingsSeekLine[] = "Failed to init registry stream to save settings\n";
inline constexpr char SaveSettingsWriteLine[] =
    "Failed to write to registry stream to save settings\n";

}  // namespace tidewire
