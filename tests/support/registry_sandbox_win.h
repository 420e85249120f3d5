#pragma once
// A registry key kept apart for one test: on construction everything under the key (values with
// their types, subkeys, their values) is saved and the key deleted; on destruction the key is
// deleted again and what was there is written back exactly. A parent key that did not exist
// before is removed again when nothing else was put under it. Processes that the test starts
// see the same registry, so they run inside the sandbox too.

#include <windows.h>

#include <cstdint>
#include <string>
#include <utility>
#include <vector>

#include "settings/settings_location.h"
#include "win/handles.h"

namespace tidewire::testing_support {

class RegistrySandbox {
 public:
  // The control's and the host's settings key.
  RegistrySandbox() : RegistrySandbox(HKEY_CURRENT_USER, SettingsKeyPath) {}
  RegistrySandbox(HKEY root, std::wstring path) : root_(root), path_(std::move(path)) {
    const std::size_t separator = path_.rfind(L'\\');
    if (separator != std::wstring::npos) {
      parent_ = path_.substr(0, separator);
      parentExisted_ = Exists(parent_);
    }
    UniqueRegKey key;
    existed_ = ::RegOpenKeyExW(root_, path_.c_str(), 0, KEY_READ, key.Put()) == ERROR_SUCCESS;
    if (existed_) Save(key.Get(), saved_);
    ::RegDeleteTreeW(root_, path_.c_str());
  }
  RegistrySandbox(const RegistrySandbox&) = delete;
  RegistrySandbox& operator=(const RegistrySandbox&) = delete;

  ~RegistrySandbox() {
    ::RegDeleteTreeW(root_, path_.c_str());
    if (existed_) {
      UniqueRegKey key;
      if (::RegCreateKeyExW(root_, path_.c_str(), 0, nullptr, 0, KEY_ALL_ACCESS, nullptr,
                            key.Put(), nullptr) == ERROR_SUCCESS) {
        Restore(key.Get(), saved_);
      }
    } else if (!parent_.empty() && !parentExisted_) {
      // Fails, and so keeps the key, when something else lives under it.
      ::RegDeleteKeyW(root_, parent_.c_str());
    }
  }

 private:
  struct Value {
    std::wstring name;
    DWORD type;
    std::vector<std::uint8_t> data;
  };
  struct Key {
    std::vector<Value> values;
    std::vector<std::pair<std::wstring, Key>> subkeys;
  };

  bool Exists(const std::wstring& path) const {
    UniqueRegKey key;
    return ::RegOpenKeyExW(root_, path.c_str(), 0, KEY_READ, key.Put()) == ERROR_SUCCESS;
  }

  static void Save(HKEY key, Key& into) {
    DWORD nameLength = 0;
    DWORD dataLength = 0;
    DWORD subkeyNameLength = 0;
    ::RegQueryInfoKeyW(key, nullptr, nullptr, nullptr, nullptr, &subkeyNameLength, nullptr,
                       nullptr, &nameLength, &dataLength, nullptr, nullptr);
    for (DWORD index = 0;; ++index) {
      std::wstring name(nameLength + 1, L'\0');
      DWORD length = nameLength + 1;
      Value value{{}, 0, std::vector<std::uint8_t>(dataLength)};
      DWORD size = dataLength;
      if (::RegEnumValueW(key, index, name.data(), &length, nullptr, &value.type,
                          value.data.data(), &size) != ERROR_SUCCESS) {
        break;
      }
      value.name.assign(name.data(), length);
      value.data.resize(size);
      into.values.push_back(std::move(value));
    }
    for (DWORD index = 0;; ++index) {
      std::wstring name(subkeyNameLength + 1, L'\0');
      DWORD length = subkeyNameLength + 1;
      if (::RegEnumKeyExW(key, index, name.data(), &length, nullptr, nullptr, nullptr,
                          nullptr) != ERROR_SUCCESS) {
        break;
      }
      name.resize(length);
      UniqueRegKey subkey;
      if (::RegOpenKeyExW(key, name.c_str(), 0, KEY_READ, subkey.Put()) != ERROR_SUCCESS) continue;
      into.subkeys.emplace_back(name, Key{});
      Save(subkey.Get(), into.subkeys.back().second);
    }
  }

  static void Restore(HKEY key, const Key& from) {
    for (const Value& value : from.values) {
      ::RegSetValueExW(key, value.name.c_str(), 0, value.type, value.data.data(),
                       static_cast<DWORD>(value.data.size()));
    }
    for (const auto& [name, saved] : from.subkeys) {
      UniqueRegKey subkey;
      if (::RegCreateKeyExW(key, name.c_str(), 0, nullptr, 0, KEY_ALL_ACCESS, nullptr,
                            subkey.Put(), nullptr) == ERROR_SUCCESS) {
        Restore(subkey.Get(), saved);
      }
    }
  }

  HKEY root_;
  std::wstring path_;
  std::wstring parent_;
  bool parentExisted_ = false;
  bool existed_ = false;
  Key saved_;
};

}  // namespace tidewire::testing_support
