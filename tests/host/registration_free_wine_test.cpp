// TidewireApp run from a folder of its own with the private assembly beside it, while the library
// is registered in neither view of the classes (the machine's, the user's) and the library in
// that folder is a test build whose self-registration is refused, as a standard user's is on
// Windows. Everything the program offers must work from the assembly alone, and the control must
// answer containers without a registration. Needs a display.

#include <gtest/gtest.h>
#include <objbase.h>
#include <ocidl.h>
#include <oleidl.h>
#include <windows.h>

#include <list>
#include <string>
#include <thread>

#include "server/registration_win.h"
#include "tests/host/host_probe_win.h"
#include "tidewire_idl.h"
#include "win/com.h"

namespace tidewire {
namespace {

using namespace host_probe;

// The folder's program, on the drive that Wine maps to the root of the file system.
const std::wstring HostProgram = std::wstring(L"Z:") + TIDEWIRE_REGISTRATION_FREE_APP;

std::wstring GuidText(const GUID& guid) {
  wchar_t text[39] = {};
  ::StringFromGUID2(guid, text, 39);
  return text;
}

// Every key the library's registration writes, taken away from the machine's and the user's
// classes for the test and put back exactly afterwards.
class NoRegistration {
 public:
  NoRegistration() {
    const std::wstring keys[] = {
        L"CLSID\\" + GuidText(CLSID_TidewireGadget),
        L"CLSID\\" + GuidText(CLSID_TidewireGadgetPropPage),
        L"Tidewire.TidewireGadget",
        L"Tidewire.TidewireGadget.1",
        L"Tidewire.TidewireGadgetPropPage",
        L"Tidewire.TidewireGadgetPropPage.1",
        L"TypeLib\\" + GuidText(LIBID_TidewireLib),
        L"Interface\\" + GuidText(IID_ITidewireGadget),
        L"AppID\\" + GuidText(TidewireAppId),
        L"AppID\\Tidewire.DLL",
    };
    for (const HKEY root : {HKEY_LOCAL_MACHINE, HKEY_CURRENT_USER}) {
      for (const std::wstring& key : keys) kept_.emplace_back(root, L"Software\\Classes\\" + key);
    }
  }

  // Whether the class of the control is registered in the merged view that COM reads.
  static bool ControlRegistered() {
    UniqueRegKey key;
    return ::RegOpenKeyExW(HKEY_CLASSES_ROOT, (L"CLSID\\" + GuidText(CLSID_TidewireGadget)).c_str(),
                           0, KEY_READ, key.Put()) == ERROR_SUCCESS;
  }

 private:
  std::list<testing_support::RegistrySandbox> kept_;
};

// The activation context of the program's manifest, active on this thread while it lives: what
// the program's process has from its start.
class ProgramActivationContext {
 public:
  explicit ProgramActivationContext(const std::wstring& program) {
    ACTCTXW context{};
    context.cbSize = sizeof(context);
    context.dwFlags = ACTCTX_FLAG_RESOURCE_NAME_VALID;
    context.lpSource = program.c_str();
    context.lpResourceName = CREATEPROCESS_MANIFEST_RESOURCE_ID;
    context_ = ::CreateActCtxW(&context);
    if (context_ != INVALID_HANDLE_VALUE && !::ActivateActCtx(context_, &cookie_)) cookie_ = 0;
  }
  ProgramActivationContext(const ProgramActivationContext&) = delete;
  ProgramActivationContext& operator=(const ProgramActivationContext&) = delete;
  ~ProgramActivationContext() {
    if (cookie_ != 0) ::DeactivateActCtx(0, cookie_);
    if (context_ != INVALID_HANDLE_VALUE) ::ReleaseActCtx(context_);
  }

  bool Active() const { return cookie_ != 0; }

 private:
  HANDLE context_ = INVALID_HANDLE_VALUE;
  ULONG_PTR cookie_ = 0;
};

class RegistrationFreeHost : public HostProbeBase {
 protected:
  RegistrationFreeHost() : HostProbeBase(HostProgram) {}
  void SetUp() override {
    HostProbeBase::SetUp();
    ASSERT_FALSE(NoRegistration::ControlRegistered());
  }

  // Declared last: the registration comes back after the program has gone.
  const NoRegistration registration_;
};

TEST_F(RegistrationFreeHost, ControlFromTheAssemblyAnswersContainersWithoutARegistration) {
  const ComInitialization com;
  const ProgramActivationContext assembly(HostProgram);
  ASSERT_TRUE(assembly.Active());
  ComPtr<IOleObject> control;
  ASSERT_EQ(::CoCreateInstance(CLSID_TidewireGadget, nullptr, CLSCTX_INPROC_SERVER,
                               IID_PPV_ARGS(&control)),
            S_OK);
  // Its self-registration was refused and wrote nothing.
  EXPECT_FALSE(NoRegistration::ControlRegistered());

  for (const DWORD form : {USERCLASSTYPE_FULL, USERCLASSTYPE_SHORT, USERCLASSTYPE_APPNAME}) {
    LPOLESTR name = nullptr;
    EXPECT_EQ(control->GetUserType(form, &name), S_OK) << "form " << form;
    EXPECT_STREQ(name, L"Tidewire Gadget") << "form " << form;
    ::CoTaskMemFree(name);
  }
  ComPtr<IEnumOLEVERB> verbs;
  EXPECT_EQ(control->EnumVerbs(&verbs), OLEOBJ_E_NOVERBS);
  ComPtr<IDataObject> data;
  ASSERT_EQ(control.As(&data), S_OK);
  ComPtr<IEnumFORMATETC> formats;
  ASSERT_EQ(data->EnumFormatEtc(DATADIR_GET, &formats), S_OK);
  FORMATETC format{};
  EXPECT_EQ(formats->Next(1, &format, nullptr), S_FALSE);

  // The settings page comes from the assembly too, the type information from the library file.
  ComPtr<IPropertyPage> page;
  EXPECT_EQ(::CoCreateInstance(CLSID_TidewireGadgetPropPage, nullptr, CLSCTX_INPROC_SERVER,
                               IID_PPV_ARGS(&page)),
            S_OK);
  ComPtr<IProvideClassInfo> classInfo;
  ASSERT_EQ(control.As(&classInfo), S_OK);
  ComPtr<ITypeInfo> typeInfo;
  EXPECT_EQ(classInfo->GetClassInfo(&typeInfo), S_OK);
}

// Opens the program's menu with a right click and chooses its first item, the control's.
bool ChooseFirstMenuItem(HostProcess& host, HWND window) {
  ::PostMessageW(window, WM_RBUTTONDOWN, MK_RBUTTON, MAKELPARAM(60, 10));
  const HWND menu =
      host.WaitForWindow([](HWND shown) { return ClassOf(shown) == L"#32768"; }, 10s);
  if (menu == nullptr) return false;
  ::PostMessageW(menu, WM_KEYDOWN, VK_DOWN, 0);
  ::PostMessageW(menu, WM_KEYDOWN, VK_RETURN, 0);
  for (int wait = 0; wait < 100 && ::IsWindowVisible(menu); ++wait) {
    std::this_thread::sleep_for(50ms);
  }
  return !::IsWindowVisible(menu);
}

TEST_F(RegistrationFreeHost, ProgramRunsItsBandMenuAboutBoxAndSettingsPage) {
  const HWND window = Start();
  ASSERT_NE(window, nullptr);
  EXPECT_TRUE(BandMoves(window, 10s)) << "the band never moves";

  ASSERT_TRUE(ChooseFirstMenuItem(*host_, window));
  // Paused, the band keeps still; the first look may still catch the last step.
  std::this_thread::sleep_for(300ms);
  EXPECT_FALSE(BandMoves(window, 1500ms)) << "the control's menu item did not pause the band";
  ASSERT_TRUE(ChooseFirstMenuItem(*host_, window));
  EXPECT_TRUE(BandMoves(window, 10s)) << "the control's menu item did not resume the band";

  ExpectAboutBoxShownAndClosed(window);
  ExpectSettingsPageShownAndClosed(window);

  const RECT placed = WindowRect(window);
  EXPECT_EQ(CloseWith(window, WM_COMMAND, ExitCommand), 1u);
  // Only a control can have written its settings back; nothing registered the library meanwhile.
  ExpectValuesWritten(1, placed);
  EXPECT_FALSE(NoRegistration::ControlRegistered());
}

}  // namespace
}  // namespace tidewire
