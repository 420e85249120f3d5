#include "server/registration_win.h"

#include "control/gadget_identity_win.h"

#include <comcat.h>
#include <oleauto.h>

#include <array>
#include <cwchar>
#include <string>
#include <string_view>

#include "win/com.h"
#include "win/com_boundary.h"
#include "win/handles.h"
#include "win/module.h"

// Standard categories defined in the uuid library; mingw-w64's headers do not declare them.
extern "C" const CATID CATID_SafeForInitializing;
extern "C" const CATID CATID_SafeForScripting;

namespace tidewire {
namespace {

// Which registration a row belongs to: the application identifier is written first and removed
// last, around the classes.
enum class Part { Application, Classes };

// How a row treats its key.
enum class KeyRule {
  Replace,  // our key: deleted with everything below it, then written anew
  Merge,    // our key: written over whatever is there
  Inside,   // below the key of an earlier Replace or Merge row, and goes with it
};

// One key below HKEY_CLASSES_ROOT and, unless `data` is null, one text value in it. Key and data
// may hold the placeholders below. Keys of Replace and Merge rows are removed with their whole
// tree on unregistration; parents shared with others (AppID, CLSID) are never.
struct RegistryRow {
  Part part;
  KeyRule rule;
  const wchar_t* key;
  const wchar_t* name;  // null: the key's default value
  const wchar_t* data;  // null: the key alone
};

// %MODULE% the server's file, %APPID% the application identifier, %MISCSTATUS% the control's
// status bits in decimal and %USERTYPE% its user type name (both from its identity, which
// answers containers when there is no registration), %CONTROL% and %PAGE% the two class
// identifiers, %LIBID% the type library's identifier.
constexpr RegistryRow Registration[] = {
    {Part::Application, KeyRule::Merge, L"AppID\\%APPID%", nullptr, L"Tidewire"},
    {Part::Application, KeyRule::Merge, L"AppID\\Tidewire.DLL", L"AppID", L"%APPID%"},

    {Part::Classes, KeyRule::Merge, L"Tidewire.TidewireGadget.1", nullptr, L"%USERTYPE%"},
    {Part::Classes, KeyRule::Inside, L"Tidewire.TidewireGadget.1\\CLSID", nullptr, L"%CONTROL%"},
    {Part::Classes, KeyRule::Merge, L"Tidewire.TidewireGadget", nullptr, L"%USERTYPE%"},
    {Part::Classes, KeyRule::Inside, L"Tidewire.TidewireGadget\\CLSID", nullptr, L"%CONTROL%"},
    {Part::Classes, KeyRule::Inside, L"Tidewire.TidewireGadget\\CurVer", nullptr,
     L"Tidewire.TidewireGadget.1"},
    {Part::Classes, KeyRule::Replace, L"CLSID\\%CONTROL%", nullptr, L"%USERTYPE%"},
    {Part::Classes, KeyRule::Inside, L"CLSID\\%CONTROL%\\ProgID", nullptr,
     L"Tidewire.TidewireGadget.1"},
    {Part::Classes, KeyRule::Inside, L"CLSID\\%CONTROL%\\VersionIndependentProgID", nullptr,
     L"Tidewire.TidewireGadget"},
    {Part::Classes, KeyRule::Inside, L"CLSID\\%CONTROL%\\Programmable", nullptr, nullptr},
    {Part::Classes, KeyRule::Inside, L"CLSID\\%CONTROL%\\InprocServer32", nullptr, L"%MODULE%"},
    {Part::Classes, KeyRule::Inside, L"CLSID\\%CONTROL%\\InprocServer32", L"ThreadingModel",
     L"Apartment"},
    {Part::Classes, KeyRule::Inside, L"CLSID\\%CONTROL%", L"AppID", L"%APPID%"},
    {Part::Classes, KeyRule::Inside, L"CLSID\\%CONTROL%\\Control", nullptr, nullptr},
    {Part::Classes, KeyRule::Inside, L"CLSID\\%CONTROL%\\ToolboxBitmap32", nullptr,
     L"%MODULE%, 102"},
    {Part::Classes, KeyRule::Inside, L"CLSID\\%CONTROL%\\MiscStatus", nullptr, L"0"},
    {Part::Classes, KeyRule::Inside, L"CLSID\\%CONTROL%\\MiscStatus\\1", nullptr,
     L"%MISCSTATUS%"},
    {Part::Classes, KeyRule::Inside, L"CLSID\\%CONTROL%\\TypeLib", nullptr, L"%LIBID%"},
    {Part::Classes, KeyRule::Inside, L"CLSID\\%CONTROL%\\Version", nullptr, L"1.0"},

    {Part::Classes, KeyRule::Merge, L"Tidewire.TidewireGadgetPropPage.1", nullptr,
     L"TidewireGadgetPropPage Class"},
    {Part::Classes, KeyRule::Inside, L"Tidewire.TidewireGadgetPropPage.1\\CLSID", nullptr,
     L"%PAGE%"},
    {Part::Classes, KeyRule::Merge, L"Tidewire.TidewireGadgetPropPage", nullptr,
     L"TidewireGadgetPropPage Class"},
    {Part::Classes, KeyRule::Inside, L"Tidewire.TidewireGadgetPropPage\\CLSID", nullptr,
     L"%PAGE%"},
    {Part::Classes, KeyRule::Inside, L"Tidewire.TidewireGadgetPropPage\\CurVer", nullptr,
     L"Tidewire.TidewireGadgetPropPage.1"},
    {Part::Classes, KeyRule::Replace, L"CLSID\\%PAGE%", nullptr, L"TidewireGadgetPropPage Class"},
    {Part::Classes, KeyRule::Inside, L"CLSID\\%PAGE%\\ProgID", nullptr,
     L"Tidewire.TidewireGadgetPropPage.1"},
    {Part::Classes, KeyRule::Inside, L"CLSID\\%PAGE%\\VersionIndependentProgID", nullptr,
     L"Tidewire.TidewireGadgetPropPage"},
    {Part::Classes, KeyRule::Inside, L"CLSID\\%PAGE%\\InprocServer32", nullptr, L"%MODULE%"},
    {Part::Classes, KeyRule::Inside, L"CLSID\\%PAGE%\\InprocServer32", L"ThreadingModel",
     L"Apartment"},
    {Part::Classes, KeyRule::Inside, L"CLSID\\%PAGE%", L"AppID", L"%APPID%"},
    {Part::Classes, KeyRule::Inside, L"CLSID\\%PAGE%\\TypeLib", nullptr, L"%LIBID%"},
};

// The control is entered in both categories; the settings page in none.
struct Category {
  const CATID& id;
  const wchar_t* description;
};
const std::array<Category, 2> ControlCategories = {{
    {CATID_SafeForInitializing, L"Controls safely initializable from persistent data!"},
    {CATID_SafeForScripting, L"Controls safely  scriptable!"},
}};
constexpr LCID CategoryDescriptionLocale = 0x409;  // English

struct Placeholder {
  std::wstring_view name;  // with its enclosing percent signs
  std::wstring text;
};
using Placeholders = std::array<Placeholder, 7>;

std::wstring GuidText(const GUID& guid) {
  wchar_t text[39] = {};
  ::StringFromGUID2(guid, text, static_cast<int>(std::size(text)));
  return text;
}

Placeholders MakePlaceholders(std::wstring modulePath) {
  return {{
      {L"%MODULE%", std::move(modulePath)},
      {L"%APPID%", GuidText(TidewireAppId)},
      {L"%MISCSTATUS%", std::to_wstring(TidewireGadgetIdentity.miscStatus)},
      {L"%USERTYPE%", TidewireGadgetIdentity.userType},
      {L"%CONTROL%", GuidText(CLSID_TidewireGadget)},
      {L"%PAGE%", GuidText(CLSID_TidewireGadgetPropPage)},
      {L"%LIBID%", GuidText(LIBID_TidewireLib)},
  }};
}

// Replaces every known placeholder in `text`; the substituted texts are not scanned again.
std::wstring Expand(std::wstring_view text, const Placeholders& placeholders) {
  std::wstring result;
  while (!text.empty()) {
    const Placeholder* match = nullptr;
    for (const Placeholder& placeholder : placeholders) {
      if (text.starts_with(placeholder.name)) match = &placeholder;
    }
    if (match != nullptr) {
      result += match->text;
      text.remove_prefix(match->name.size());
    } else {
      result += text.front();
      text.remove_prefix(1);
    }
  }
  return result;
}

HRESULT DeleteTree(const std::wstring& key) {
  const LSTATUS status = ::RegDeleteTreeW(HKEY_CLASSES_ROOT, key.c_str());
  return status == ERROR_FILE_NOT_FOUND ? S_OK : HRESULT_FROM_WIN32(status);
}

HRESULT WriteRow(const RegistryRow& row, const Placeholders& placeholders) {
  const std::wstring key = Expand(row.key, placeholders);
  if (row.rule == KeyRule::Replace) {
    if (const HRESULT result = DeleteTree(key); FAILED(result)) return result;
  }
  UniqueRegKey handle;
  LSTATUS status =
      ::RegCreateKeyExW(HKEY_CLASSES_ROOT, key.c_str(), 0, nullptr, REG_OPTION_NON_VOLATILE,
                        KEY_SET_VALUE, nullptr, handle.Put(), nullptr);
  if (status == ERROR_SUCCESS && row.data != nullptr) {
    const std::wstring data = Expand(row.data, placeholders);
    status = ::RegSetValueExW(handle.Get(), row.name, 0, REG_SZ,
                              reinterpret_cast<const BYTE*>(data.c_str()),
                              static_cast<DWORD>((data.size() + 1) * sizeof(wchar_t)));
  }
  return HRESULT_FROM_WIN32(status);
}

// Writes the rows of one part in table order; stops at the first failure.
HRESULT WriteRows(Part part, const Placeholders& placeholders) {
  for (const RegistryRow& row : Registration) {
    if (row.part != part) continue;
    if (const HRESULT result = WriteRow(row, placeholders); FAILED(result)) return result;
  }
  return S_OK;
}

// Removes the keys of one part; carries on after a failure and returns the first one.
HRESULT RemoveRows(Part part, const Placeholders& placeholders) {
  HRESULT first = S_OK;
  for (const RegistryRow& row : Registration) {
    if (row.part != part || row.rule == KeyRule::Inside) continue;
    const HRESULT result = DeleteTree(Expand(row.key, placeholders));
    if (SUCCEEDED(first)) first = result;
  }
  return first;
}

// Registering from the file itself loads its type-library resource 1.
HRESULT RegisterTypeLibrary(const std::wstring& modulePath) {
  ComPtr<ITypeLib> library;
  return ::LoadTypeLibEx(modulePath.c_str(), REGKIND_REGISTER, &library);
}

HRESULT UnregisterTypeLibrary(const std::wstring& modulePath) {
  ComPtr<ITypeLib> library;
  HRESULT result = ::LoadTypeLibEx(modulePath.c_str(), REGKIND_NONE, &library);
  if (FAILED(result)) return result;
  TLIBATTR* attributes = nullptr;
  result = library->GetLibAttr(&attributes);
  if (FAILED(result)) return result;
  const TLIBATTR copy = *attributes;
  library->ReleaseTLibAttr(attributes);
  // A library that is not registered (unregistered before, by hand or by an earlier run) has
  // nothing to remove; the platform would report the missing key as a failure.
  wchar_t version[16] = {};
  std::swprintf(version, std::size(version), L"\\%x.%x", copy.wMajorVerNum, copy.wMinorVerNum);
  UniqueRegKey registered;
  if (::RegOpenKeyExW(HKEY_CLASSES_ROOT, (L"TypeLib\\" + GuidText(copy.guid) + version).c_str(), 0,
                      KEY_READ, registered.Put()) == ERROR_FILE_NOT_FOUND) {
    return S_OK;
  }
  return ::UnRegisterTypeLib(copy.guid, copy.wMajorVerNum, copy.wMinorVerNum, copy.lcid,
                             copy.syskind);
}

HRESULT CategoryRegister(ComPtr<ICatRegister>& categories) {
  return ::CoCreateInstance(CLSID_StdComponentCategoriesMgr, nullptr, CLSCTX_INPROC_SERVER,
                            IID_PPV_ARGS(&categories));
}

// Creates each category with its description and enters the control in it.
HRESULT EnterControlInCategories() {
  ComPtr<ICatRegister> categories;
  if (const HRESULT result = CategoryRegister(categories); FAILED(result)) return result;
  for (const Category& category : ControlCategories) {
    CATEGORYINFO info = {};
    info.catid = category.id;
    info.lcid = CategoryDescriptionLocale;
    std::wstring_view(category.description)
        .copy(info.szDescription, std::size(info.szDescription) - 1);
    HRESULT result = categories->RegisterCategories(1, &info);
    if (FAILED(result)) return result;
    CATID id = category.id;
    result = categories->RegisterClassImplCategories(CLSID_TidewireGadget, 1, &id);
    if (FAILED(result)) return result;
  }
  return S_OK;
}

// The categories themselves stay. The control is entered in them under its own class key; once
// unregistration has removed that key, it is in none and there is nothing left to remove (the
// manager would report the missing class as a failure).
HRESULT RemoveControlFromCategories(const Placeholders& placeholders) {
  UniqueRegKey classKey;
  if (::RegOpenKeyExW(HKEY_CLASSES_ROOT, Expand(L"CLSID\\%CONTROL%", placeholders).c_str(), 0,
                      KEY_READ, classKey.Put()) == ERROR_FILE_NOT_FOUND) {
    return S_OK;
  }
  ComPtr<ICatRegister> categories;
  if (const HRESULT result = CategoryRegister(categories); FAILED(result)) return result;
  for (const Category& category : ControlCategories) {
    CATID id = category.id;
    const HRESULT result = categories->UnRegisterClassImplCategories(CLSID_TidewireGadget, 1, &id);
    if (FAILED(result)) return result;
  }
  return S_OK;
}

// Runs registration code with the system's default locale as the thread locale, so that what is
// written does not depend on the locale of the calling thread.
class SystemThreadLocale {
 public:
  SystemThreadLocale() : previous_(::GetThreadLocale()) {
    ::SetThreadLocale(::GetSystemDefaultLCID());
  }
  ~SystemThreadLocale() { ::SetThreadLocale(previous_); }
  SystemThreadLocale(const SystemThreadLocale&) = delete;
  SystemThreadLocale& operator=(const SystemThreadLocale&) = delete;

 private:
  LCID previous_;
};

}  // namespace

HRESULT RegisterServer(HINSTANCE module) noexcept {
  return ComBoundary([module] {
    const std::wstring modulePath = ModuleFileName(module);
    if (modulePath.empty()) return E_FAIL;
    const Placeholders placeholders = MakePlaceholders(modulePath);
    HRESULT result = S_OK;
    {
      const SystemThreadLocale locale;
      result = WriteRows(Part::Application, placeholders);
      if (SUCCEEDED(result)) result = WriteRows(Part::Classes, placeholders);
      if (SUCCEEDED(result)) result = RegisterTypeLibrary(modulePath);
    }
    if (FAILED(result)) return result;
    return EnterControlInCategories();
  });
}

HRESULT UnregisterServer(HINSTANCE module) noexcept {
  return ComBoundary([module] {
    const std::wstring modulePath = ModuleFileName(module);
    if (modulePath.empty()) return E_FAIL;
    const Placeholders placeholders = MakePlaceholders(modulePath);
    HRESULT result = S_OK;
    {
      const SystemThreadLocale locale;
      // Everything that can be removed is; the first failure is the answer.
      const HRESULT classes = RemoveRows(Part::Classes, placeholders);
      const HRESULT typeLibrary = UnregisterTypeLibrary(modulePath);
      const HRESULT application = RemoveRows(Part::Application, placeholders);
      result = FAILED(classes) ? classes : FAILED(typeLibrary) ? typeLibrary : application;
    }
    if (FAILED(result)) return result;
    return RemoveControlFromCategories(placeholders);
  });
}

}  // namespace tidewire
