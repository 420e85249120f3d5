// The server's registration in Wine's registry. This program carries the type library itself
// and registers its own file as the server, so the module path in the entries is its own.

#include <gtest/gtest.h>
#include <windows.h>

#include <algorithm>
#include <initializer_list>
#include <string>
#include <string_view>
#include <vector>

#include "server/registration_win.h"
#include "win/com.h"
#include "win/handles.h"
#include "win/module.h"

namespace tidewire {
namespace {

constexpr std::wstring_view AppId = L"{CC891649-6CB5-4F20-B4BA-80EDCFB050D2}";
constexpr std::wstring_view ControlClassText = L"{69720D23-6694-45DC-97B3-E39BB5F41A82}";
constexpr std::wstring_view PageClassText = L"{08525449-69CB-4892-B2C8-09FC4FF35025}";
constexpr std::wstring_view LibId = L"{1252E9DE-41C1-4FAF-8C6C-42D751FD65DD}";
constexpr std::wstring_view InterfaceText = L"{0524AC37-9F7F-46E7-A059-A4C698070392}";
constexpr std::wstring_view SafeForScripting = L"{7DD95801-9882-11CF-9FA9-00AA006C42C4}";
constexpr std::wstring_view SafeForInitializing = L"{7DD95802-9882-11CF-9FA9-00AA006C42C4}";

// The keys the registration owns or shares, listed with everything below them.
std::vector<std::wstring> ListedKeys() {
  const std::wstring control(ControlClassText), page(PageClassText);
  return {L"AppID\\" + std::wstring(AppId),
          L"AppID\\Tidewire.DLL",
          L"Tidewire.TidewireGadget",
          L"Tidewire.TidewireGadget.1",
          L"Tidewire.TidewireGadgetPropPage",
          L"Tidewire.TidewireGadgetPropPage.1",
          L"CLSID\\" + control,
          L"CLSID\\" + page,
          L"TypeLib\\" + std::wstring(LibId),
          L"Interface\\" + std::wstring(InterfaceText),
          L"Component Categories\\" + std::wstring(SafeForScripting),
          L"Component Categories\\" + std::wstring(SafeForInitializing)};
}

// "path [name] = data" for each value of the key, or "path" alone if it has none; then the same
// for its subkeys.
void ListKey(const std::wstring& path, std::vector<std::wstring>& lines) {
  UniqueRegKey key;
  if (::RegOpenKeyExW(HKEY_CLASSES_ROOT, path.c_str(), 0, KEY_READ, key.Put()) != ERROR_SUCCESS) {
    return;
  }
  const std::size_t valueLines = lines.size();
  for (DWORD index = 0;; ++index) {
    wchar_t name[256];
    DWORD nameLength = std::size(name);
    DWORD type = 0;
    std::wstring data(1024, L'\0');
    DWORD dataSize = static_cast<DWORD>(data.size() * sizeof(wchar_t));
    if (::RegEnumValueW(key.Get(), index, name, &nameLength, nullptr, &type,
                        reinterpret_cast<BYTE*>(data.data()), &dataSize) != ERROR_SUCCESS) {
      break;
    }
    data.resize(dataSize / sizeof(wchar_t));
    if (!data.empty() && data.back() == L'\0') data.pop_back();
    if (type != REG_SZ) data = L"(type " + std::to_wstring(type) + L")";
    lines.push_back(path + L" [" + name + L"] = " + data);
  }
  if (lines.size() == valueLines) lines.push_back(path);
  for (DWORD index = 0;; ++index) {
    wchar_t name[256];
    DWORD nameLength = std::size(name);
    if (::RegEnumKeyExW(key.Get(), index, name, &nameLength, nullptr, nullptr, nullptr, nullptr) !=
        ERROR_SUCCESS) {
      break;
    }
    ListKey(path + L"\\" + name, lines);
  }
}

std::string Narrow(std::wstring_view text) {
  std::string result;
  for (const wchar_t c : text) result += c < 0x80 ? static_cast<char>(c) : '?';
  return result;
}

std::string Sorted(std::vector<std::wstring> lines) {
  std::sort(lines.begin(), lines.end());
  std::string text;
  for (const std::wstring& line : lines) text += Narrow(line) + "\n";
  return text;
}

std::string RegistryListing() {
  std::vector<std::wstring> lines;
  for (const std::wstring& key : ListedKeys()) ListKey(key, lines);
  return Sorted(std::move(lines));
}

std::wstring Replaced(std::wstring text, std::wstring_view name, std::wstring_view value) {
  for (std::size_t at = text.find(name); at != std::wstring::npos;
       at = text.find(name, at + value.size())) {
    text.replace(at, name.size(), value);
  }
  return text;
}

// The listing expected from `tables` (one line per key or value, $-names standing for the
// identifiers and the module's path), plus `extra` lines.
std::string Expected(std::initializer_list<std::wstring_view> tables,
                     std::vector<std::wstring> extra = {}) {
  const std::wstring modulePath = ModuleFileName(CodeModule());
  std::wstring text;
  for (const std::wstring_view table : tables) text += table;
  for (const auto& [name, value] : {std::pair{L"$APPID", AppId},
                                    {L"$CONTROL", ControlClassText},
                                    {L"$PAGE", PageClassText},
                                    {L"$LIBID", LibId},
                                    {L"$INTERFACE", InterfaceText},
                                    {L"$SCRIPTING", SafeForScripting},
                                    {L"$INITIALIZING", SafeForInitializing}}) {
    text = Replaced(std::move(text), name, value);
  }
  text = Replaced(std::move(text), L"$MODULE_DIR", modulePath.substr(0, modulePath.rfind(L'\\')));
  text = Replaced(std::move(text), L"$MODULE", modulePath);
  text = Replaced(std::move(text), L"$SYSKIND", sizeof(void*) == 8 ? L"win64" : L"win32");
  std::vector<std::wstring> lines = std::move(extra);
  for (std::size_t start = 0, end; (end = text.find(L'\n', start)) != std::wstring::npos;
       start = end + 1) {
    if (end > start) lines.push_back(text.substr(start, end - start));
  }
  return Sorted(std::move(lines));
}

constexpr std::wstring_view Categories =
    LR"(Component Categories\$SCRIPTING [409] = Controls safely  scriptable!
Component Categories\$INITIALIZING [409] = Controls safely initializable from persistent data!
)";

// What the platform's type-library registration writes. Wine records the file in its \\?\ form.
constexpr std::wstring_view TypeLibrary =
    LR"(TypeLib\$LIBID
TypeLib\$LIBID\1.0 [] = Tidewire 1.0 Type Library
TypeLib\$LIBID\1.0\0
TypeLib\$LIBID\1.0\0\$SYSKIND [] = \\?\$MODULE
TypeLib\$LIBID\1.0\FLAGS [] = 8
TypeLib\$LIBID\1.0\HELPDIR [] = \\?\$MODULE_DIR
Interface\$INTERFACE [] = ITidewireGadget
Interface\$INTERFACE\ProxyStubClsid [] = {00020424-0000-0000-C000-000000000046}
Interface\$INTERFACE\ProxyStubClsid32 [] = {00020424-0000-0000-C000-000000000046}
Interface\$INTERFACE\TypeLib [] = $LIBID
Interface\$INTERFACE\TypeLib [Version] = 1.0
)";

// What the registration writes itself.
constexpr std::wstring_view Registered =
    LR"(AppID\$APPID [] = Tidewire
AppID\Tidewire.DLL [AppID] = $APPID
Tidewire.TidewireGadget.1 [] = Tidewire Gadget
Tidewire.TidewireGadget.1\CLSID [] = $CONTROL
Tidewire.TidewireGadget [] = Tidewire Gadget
Tidewire.TidewireGadget\CLSID [] = $CONTROL
Tidewire.TidewireGadget\CurVer [] = Tidewire.TidewireGadget.1
CLSID\$CONTROL [] = Tidewire Gadget
CLSID\$CONTROL [AppID] = $APPID
CLSID\$CONTROL\ProgID [] = Tidewire.TidewireGadget.1
CLSID\$CONTROL\VersionIndependentProgID [] = Tidewire.TidewireGadget
CLSID\$CONTROL\Programmable
CLSID\$CONTROL\Control
CLSID\$CONTROL\InprocServer32 [] = $MODULE
CLSID\$CONTROL\InprocServer32 [ThreadingModel] = Apartment
CLSID\$CONTROL\ToolboxBitmap32 [] = $MODULE, 102
CLSID\$CONTROL\MiscStatus [] = 0
CLSID\$CONTROL\MiscStatus\1 [] = 131473
CLSID\$CONTROL\TypeLib [] = $LIBID
CLSID\$CONTROL\Version [] = 1.0
CLSID\$CONTROL\Implemented Categories
CLSID\$CONTROL\Implemented Categories\$SCRIPTING
CLSID\$CONTROL\Implemented Categories\$INITIALIZING
Tidewire.TidewireGadgetPropPage.1 [] = TidewireGadgetPropPage Class
Tidewire.TidewireGadgetPropPage.1\CLSID [] = $PAGE
Tidewire.TidewireGadgetPropPage [] = TidewireGadgetPropPage Class
Tidewire.TidewireGadgetPropPage\CLSID [] = $PAGE
Tidewire.TidewireGadgetPropPage\CurVer [] = Tidewire.TidewireGadgetPropPage.1
CLSID\$PAGE [] = TidewireGadgetPropPage Class
CLSID\$PAGE [AppID] = $APPID
CLSID\$PAGE\ProgID [] = Tidewire.TidewireGadgetPropPage.1
CLSID\$PAGE\VersionIndependentProgID [] = Tidewire.TidewireGadgetPropPage
CLSID\$PAGE\InprocServer32 [] = $MODULE
CLSID\$PAGE\InprocServer32 [ThreadingModel] = Apartment
CLSID\$PAGE\TypeLib [] = $LIBID
)";

void SetText(const std::wstring& key, const wchar_t* name, const wchar_t* text) {
  UniqueRegKey handle;
  ASSERT_EQ(::RegCreateKeyExW(HKEY_CLASSES_ROOT, key.c_str(), 0, nullptr, 0, KEY_SET_VALUE, nullptr,
                              handle.Put(), nullptr),
            ERROR_SUCCESS);
  ASSERT_EQ(::RegSetValueExW(handle.Get(), name, 0, REG_SZ, reinterpret_cast<const BYTE*>(text),
                             static_cast<DWORD>((wcslen(text) + 1) * sizeof(wchar_t))),
            ERROR_SUCCESS);
}

class RegistrationTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_HRESULT_SUCCEEDED(com_.Result());
    // Start from nothing: another run may have registered another file under the same keys.
    UnregisterServer(CodeModule());
    ASSERT_HRESULT_SUCCEEDED(RegisterServer(CodeModule()));
  }
  void TearDown() override { UnregisterServer(CodeModule()); }

  ComInitialization com_;
};

TEST_F(RegistrationTest, WritesEveryKeyAndValue) {
  EXPECT_EQ(RegistryListing(), Expected({Registered, TypeLibrary, Categories}));

  CLSID clsid = {};
  ASSERT_HRESULT_SUCCEEDED(::CLSIDFromProgID(L"Tidewire.TidewireGadget", &clsid));
  EXPECT_TRUE(::IsEqualCLSID(clsid, CLSID_TidewireGadget));
}

TEST_F(RegistrationTest, ReplacesClassKeysAndMergesProgIdKeys) {
  const std::wstring controlKey = L"CLSID\\" + std::wstring(ControlClassText);
  SetText(controlKey + L"\\Stray", nullptr, L"left behind");
  SetText(controlKey + L"\\InprocServer32", nullptr, L"C:\\elsewhere.dll");
  SetText(L"Tidewire.TidewireGadget", L"Kept", L"by the merge");

  ASSERT_HRESULT_SUCCEEDED(RegisterServer(CodeModule()));

  EXPECT_EQ(RegistryListing(), Expected({Registered, TypeLibrary, Categories},
                                        {L"Tidewire.TidewireGadget [Kept] = by the merge"}));
}

TEST_F(RegistrationTest, UnregistrationLeavesTheAppIdKeyAndTheCategories) {
  ASSERT_HRESULT_SUCCEEDED(UnregisterServer(CodeModule()));

  EXPECT_EQ(RegistryListing(), Expected({Categories}));
  UniqueRegKey appIds;
  EXPECT_EQ(::RegOpenKeyExW(HKEY_CLASSES_ROOT, L"AppID", 0, KEY_READ, appIds.Put()), ERROR_SUCCESS);
  ComPtr<ITypeLib> library;
  EXPECT_HRESULT_FAILED(::LoadRegTypeLib(LIBID_TidewireLib, 1, 0, 0, &library));
}

TEST_F(RegistrationTest, UnregisteringAServerThatIsNotRegisteredSucceeds) {
  ASSERT_HRESULT_SUCCEEDED(UnregisterServer(CodeModule()));
  EXPECT_EQ(UnregisterServer(CodeModule()), S_OK);
  EXPECT_EQ(RegistryListing(), Expected({Categories}));
}

}  // namespace
}  // namespace tidewire
