// The registry sandbox puts back exactly what was under its key, subkeys included, and leaves
// no key behind where there was none.

#include "registry_sandbox_win.h"

#include <gtest/gtest.h>
#include <windows.h>

#include <string>

#include "win/handles.h"

namespace tidewire {
namespace {

using testing_support::RegistrySandbox;

constexpr wchar_t Parent[] = L"SOFTWARE\\TidewireSandboxTest";
constexpr wchar_t Path[] = L"SOFTWARE\\TidewireSandboxTest\\Key";

void Set(const wchar_t* path, const wchar_t* name, DWORD type, const void* data, DWORD size) {
  UniqueRegKey key;
  ASSERT_EQ(::RegCreateKeyExW(HKEY_CURRENT_USER, path, 0, nullptr, 0, KEY_SET_VALUE, nullptr,
                              key.Put(), nullptr),
            ERROR_SUCCESS);
  ASSERT_EQ(::RegSetValueExW(key.Get(), name, 0, type, static_cast<const BYTE*>(data), size),
            ERROR_SUCCESS);
}

bool Exists(const wchar_t* path) {
  UniqueRegKey key;
  return ::RegOpenKeyExW(HKEY_CURRENT_USER, path, 0, KEY_READ, key.Put()) == ERROR_SUCCESS;
}

// The value's type and bytes as one string, empty when it is missing.
std::wstring Read(const wchar_t* path, const wchar_t* name) {
  wchar_t data[64] = {};
  DWORD size = sizeof(data);
  DWORD type = 0;
  if (::RegGetValueW(HKEY_CURRENT_USER, path, name, RRF_RT_ANY | RRF_NOEXPAND, &type, data,
                     &size) != ERROR_SUCCESS) {
    return {};
  }
  return std::to_wstring(type) + L":" + std::wstring(data, size / sizeof(wchar_t));
}

TEST(RegistrySandbox, RestoresValuesAndSubkeysExactlyAndRemovesWhatItDidNotFind) {
  ::RegDeleteTreeW(HKEY_CURRENT_USER, Parent);
  const std::wstring sub = std::wstring(Path) + L"\\Sub";
  const DWORD number = 0x01020304;
  Set(Path, L"Binary", REG_BINARY, "\x01\x00\x02", 3);
  Set(Path, L"", REG_SZ, L"default", 16);
  Set(sub.c_str(), L"Number", REG_DWORD, &number, sizeof(number));
  const std::wstring binary = Read(Path, L"Binary");
  const std::wstring byDefault = Read(Path, L"");
  const std::wstring numbered = Read(sub.c_str(), L"Number");
  ASSERT_FALSE(binary.empty());
  {
    const RegistrySandbox sandbox(HKEY_CURRENT_USER, Path);
    EXPECT_FALSE(Exists(Path));
    Set(Path, L"Binary", REG_SZ, L"changed", 16);
    Set(Path, L"Added", REG_SZ, L"added", 12);
    Set((std::wstring(Path) + L"\\Other").c_str(), L"X", REG_SZ, L"x", 4);
  }
  EXPECT_EQ(Read(Path, L"Binary"), binary);
  EXPECT_EQ(Read(Path, L""), byDefault);
  EXPECT_EQ(Read(sub.c_str(), L"Number"), numbered);
  EXPECT_EQ(Read(Path, L"Added"), L"");
  EXPECT_FALSE(Exists((std::wstring(Path) + L"\\Other").c_str()));

  // Nothing there before: nothing there after, not even the parent the test's writes created.
  ::RegDeleteTreeW(HKEY_CURRENT_USER, Parent);
  {
    const RegistrySandbox sandbox(HKEY_CURRENT_USER, Path);
    Set(Path, L"Added", REG_SZ, L"added", 12);
  }
  EXPECT_FALSE(Exists(Parent));
}

}  // namespace
}  // namespace tidewire
