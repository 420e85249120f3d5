// The control as COM clients see it: created through the registered library, driven through its
// virtual table and through IDispatch, persisted in streams and in the registry, aggregated, and
// keeping the library loaded while it lives.

#include <gtest/gtest.h>
#include <ocidl.h>
#include <olectl.h>
#include <shobjidl.h>
#include <windows.h>

#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

#include "control/tidewire_gadget_win.h"
#include "settings/language_defaults.h"
#include "settings/settings_location.h"
#include "settings/settings_record.h"
#include "tests/server/library_under_test.h"
#include "tests/support/debug_output_monitor_win.h"
#include "tests/support/registry_sandbox_win.h"
#include "tidewire_idl.h"
#include "win/com.h"
#include "win/handles.h"

namespace tidewire {
namespace {

class GadgetComTest : public ::testing::Test {
 protected:
  static void SetUpTestSuite() { ASSERT_EQ(RegisterLibraryUnderTest(), S_OK); }

  static ComPtr<ITidewireGadget> Create(const wchar_t* progId = L"Tidewire.TidewireGadget") {
    CLSID classId{};
    EXPECT_EQ(::CLSIDFromProgID(progId, &classId), S_OK);
    ComPtr<ITidewireGadget> gadget;
    EXPECT_EQ(::CoCreateInstance(classId, nullptr, CLSCTX_INPROC_SERVER, IID_PPV_ARGS(&gadget)),
              S_OK);
    return gadget;
  }

  static std::u16string Text(BSTR text) {
    UniqueBstr owned;
    *owned.Put() = text;
    return std::u16string(owned.View());
  }

  ComInitialization com_;
  // Every construction may load or save the settings: each test starts without them and leaves
  // them as they were.
  const testing_support::RegistrySandbox settings_;
};

TEST_F(GadgetComTest, BothProgIdsCreateTheControlFromTheRegisteredLibrary) {
  EXPECT_TRUE(Create(L"Tidewire.TidewireGadget"));
  EXPECT_TRUE(Create(L"Tidewire.TidewireGadget.1"));
  wchar_t server[MAX_PATH] = {};
  LONG size = sizeof(server);
  ASSERT_EQ(::RegQueryValueW(HKEY_CLASSES_ROOT,
                             L"CLSID\\{69720D23-6694-45DC-97B3-E39BB5F41A82}\\InprocServer32",
                             server, &size),
            ERROR_SUCCESS);
  wchar_t expected[MAX_PATH] = {};
  ::GetModuleFileNameW(LibraryUnderTest(), expected, MAX_PATH);
  EXPECT_EQ(::lstrcmpiW(server, expected), 0);
}

TEST_F(GadgetComTest, PropertiesConvertUnitsAndFallBackToDefaults) {
  const ComPtr<ITidewireGadget> gadget = Create();
  int value = 0;
  EXPECT_EQ(gadget->put_FeedRefreshRate(5), S_OK);
  EXPECT_EQ(gadget->get_FeedRefreshRate(&value), S_OK);
  EXPECT_EQ(value, 5);
  gadget->put_DelayBetweenFeeds(3);
  gadget->get_DelayBetweenFeeds(&value);
  EXPECT_EQ(value, 3);
  gadget->put_SpeechSpeed(-10);
  gadget->get_SpeechSpeed(&value);
  EXPECT_EQ(value, -10);

  const UniqueBstr empty(u"");
  BSTR text = nullptr;
  EXPECT_EQ(gadget->put_FeedURLs(empty.Get()), S_OK);
  gadget->get_FeedURLs(&text);
  EXPECT_EQ(Text(text), EnglishLanguageDefaults().DefaultFeedList);
  EXPECT_EQ(gadget->put_FeedURLsActive(nullptr), S_OK);
  gadget->get_FeedURLsActive(&text);
  EXPECT_EQ(Text(text), DefaultActiveFlags);

  // Null out-pointers are tolerated and nothing is written.
  EXPECT_EQ(gadget->get_FeedURLs(nullptr), S_OK);
  EXPECT_EQ(gadget->get_SpeechSpeed(nullptr), S_OK);
  EXPECT_EQ(gadget->get_Paused(nullptr), S_OK);

  VARIANT_BOOL paused = VARIANT_FALSE;
  gadget->Pause();
  gadget->get_Paused(&paused);
  EXPECT_EQ(paused, VARIANT_TRUE);
  gadget->Pause();
  gadget->get_Paused(&paused);
  EXPECT_EQ(paused, VARIANT_FALSE);
  // A current line without a link opens nothing. (ShowSettings opens a modal frame: the settings
  // page's tests close it.)
  EXPECT_EQ(gadget->OpenCurrentLink(), S_OK);
  EXPECT_EQ(gadget->IncrementFeed(), S_OK);
}

// Calls a member by dispatch identifier with the given arguments (last argument first).
HRESULT Call(IDispatch& dispatch, DISPID id, WORD flags, std::vector<VARIANT> arguments,
             VARIANT* result = nullptr) {
  DISPPARAMS parameters{arguments.data(), nullptr, static_cast<UINT>(arguments.size()), 0};
  DISPID named = DISPID_PROPERTYPUT;
  if (flags == DISPATCH_PROPERTYPUT) {
    parameters.rgdispidNamedArgs = &named;
    parameters.cNamedArgs = 1;
  }
  return dispatch.Invoke(id, IID_NULL, 0, flags, &parameters, result, nullptr, nullptr);
}

VARIANT Int(int value) {
  VARIANT variant;
  ::VariantInit(&variant);
  variant.vt = VT_I4;
  variant.lVal = value;
  return variant;
}

VARIANT String(const UniqueBstr& text) {
  VARIANT variant;
  ::VariantInit(&variant);
  variant.vt = VT_BSTR;
  variant.bstrVal = text.Get();
  return variant;
}

TEST_F(GadgetComTest, DispatchIdentifiersReachTheSameMembers) {
  const ComPtr<ITidewireGadget> gadget = Create();
  ComPtr<IDispatch> dispatch;
  ASSERT_EQ(gadget.As(&dispatch), S_OK);

  const UniqueBstr feeds(u"http://a.test/ URL http://b.test/");
  const UniqueBstr flags(u"0 URL 1");
  EXPECT_EQ(Call(*dispatch.Get(), 1, DISPATCH_PROPERTYPUT, {String(feeds)}), S_OK);
  EXPECT_EQ(Call(*dispatch.Get(), 2, DISPATCH_PROPERTYPUT, {Int(7)}), S_OK);
  EXPECT_EQ(Call(*dispatch.Get(), 3, DISPATCH_PROPERTYPUT, {Int(4)}), S_OK);
  EXPECT_EQ(Call(*dispatch.Get(), 4, DISPATCH_PROPERTYPUT, {Int(9)}), S_OK);
  EXPECT_EQ(Call(*dispatch.Get(), 14, DISPATCH_METHOD, {}), S_OK);  // Pause
  EXPECT_EQ(Call(*dispatch.Get(), 18, DISPATCH_PROPERTYPUT, {String(flags)}), S_OK);

  BSTR text = nullptr;
  int value = 0;
  gadget->get_FeedURLs(&text);
  EXPECT_EQ(Text(text), u"http://a.test/ URL http://b.test/");
  gadget->get_FeedURLsActive(&text);
  EXPECT_EQ(Text(text), u"0 URL 1");
  gadget->get_FeedRefreshRate(&value);
  EXPECT_EQ(value, 7);
  gadget->get_DelayBetweenFeeds(&value);
  EXPECT_EQ(value, 4);

  UniqueVariant result;
  EXPECT_EQ(Call(*dispatch.Get(), 1, DISPATCH_PROPERTYGET, {}, result.Put()), S_OK);
  ASSERT_EQ(result.Get()->vt, VT_BSTR);
  EXPECT_EQ(Text(::SysAllocString(result.Get()->bstrVal)), u"http://a.test/ URL http://b.test/");
  EXPECT_EQ(Call(*dispatch.Get(), 4, DISPATCH_PROPERTYGET, {}, result.Put()), S_OK);
  EXPECT_EQ(result.Get()->vt, VT_I4);
  EXPECT_EQ(result.Get()->lVal, 9);
  EXPECT_EQ(Call(*dispatch.Get(), 15, DISPATCH_PROPERTYGET, {}, result.Put()), S_OK);
  EXPECT_EQ(result.Get()->vt, VT_BOOL);
  EXPECT_EQ(result.Get()->boolVal, VARIANT_TRUE);
  // IncrementFeed, OpenCurrentLink (no link); ShowSettings (11) in the settings page's tests.
  for (DISPID method : {7, 13}) {
    EXPECT_EQ(Call(*dispatch.Get(), method, DISPATCH_METHOD, {}), S_OK) << method;
  }
  // SetLanguage: another region's default list, then English again.
  const UniqueBstr australia(u"en-AU");
  const UniqueBstr none(u"");
  EXPECT_EQ(Call(*dispatch.Get(), 19, DISPATCH_METHOD, {String(australia)}), S_OK);
  gadget->put_FeedURLs(none.Get());
  gadget->get_FeedURLs(&text);
  EXPECT_NE(Text(text), EnglishLanguageDefaults().DefaultFeedList);
  EXPECT_EQ(Call(*dispatch.Get(), 19, DISPATCH_METHOD, {String(none)}), S_OK);
  gadget->put_FeedURLs(none.Get());
  gadget->get_FeedURLs(&text);
  EXPECT_EQ(Text(text), EnglishLanguageDefaults().DefaultFeedList);

  LPOLESTR name = const_cast<LPOLESTR>(L"FeedURLsActive");
  DISPID id = 0;
  EXPECT_EQ(dispatch->GetIDsOfNames(IID_NULL, &name, 1, 0, &id), S_OK);
  EXPECT_EQ(id, 18);
}

ComPtr<IUnknown> Identity(const ComPtr<ITidewireGadget>& gadget) {
  ComPtr<IUnknown> identity;
  gadget.As(&identity);
  return identity;
}

TEST_F(GadgetComTest, AnswersOnlyTheInterfacesItImplements) {
  const ComPtr<ITidewireGadget> gadget = Create();
  for (const IID* iid :
       {&IID_IDispatch, &IID_IObjectWithSite, &IID_IPersistStreamInit, &IID_ISpecifyPropertyPages,
        &IID_IPersist,
        &IID_IViewObjectEx, &IID_IViewObject2, &IID_IViewObject, &IID_IOleInPlaceObjectWindowless,
        &IID_IOleInPlaceObject, &IID_IOleWindow, &IID_IOleInPlaceActiveObject, &IID_IOleControl,
        &IID_IOleObject, &IID_ISupportErrorInfo, &IID_IQuickActivate, &IID_IDataObject,
        &IID_IProvideClassInfo, &IID_IProvideClassInfo2, &IID_IContextMenu, &AccessibleIid}) {
    ComPtr<IUnknown> found;
    EXPECT_EQ(gadget->QueryInterface(*iid, &found), S_OK);
    // Every interface leads back to the one identity.
    ComPtr<IUnknown> identity;
    found.As(&identity);
    EXPECT_EQ(identity.Get(), Identity(gadget).Get());
  }
  for (const IID* iid : {&IID_IPersistStorage, &IID_IPersistPropertyBag,
                         &IID_IConnectionPointContainer, &IID_IOleInPlaceSite}) {
    ComPtr<IUnknown> found;
    EXPECT_EQ(gadget->QueryInterface(*iid, &found), E_NOINTERFACE);
  }
  ComPtr<ISupportErrorInfo> errorInfo;
  ASSERT_EQ(gadget.As(&errorInfo), S_OK);
  EXPECT_EQ(errorInfo->InterfaceSupportsErrorInfo(IID_ITidewireGadget), S_OK);
  EXPECT_EQ(errorInfo->InterfaceSupportsErrorInfo(IID_IDispatch), S_FALSE);

  ComPtr<IProvideClassInfo2> classInfo;
  ASSERT_EQ(gadget.As(&classInfo), S_OK);
  ComPtr<ITypeInfo> coclass;
  ASSERT_EQ(classInfo->GetClassInfo(&coclass), S_OK);
  TYPEATTR* attributes = nullptr;
  ASSERT_EQ(coclass->GetTypeAttr(&attributes), S_OK);
  EXPECT_TRUE(::IsEqualGUID(attributes->guid, CLSID_TidewireGadget));
  EXPECT_EQ(attributes->typekind, TKIND_COCLASS);
  coclass->ReleaseTypeAttr(attributes);
}

VARIANT Child(LONG id) {
  VARIANT child;
  child.vt = VT_I4;
  child.lVal = id;
  return child;
}

// The accessible object is a tear-off: one object for every request, the control's identity and
// automation interface behind it, and answerable once the control has gone.
TEST_F(GadgetComTest, TheAccessibleObjectIsATearOffThatOutlivesTheControl) {
  ComPtr<ITidewireGadget> gadget = Create();
  ComPtr<IAccessible> band;
  ASSERT_EQ(gadget->QueryInterface(AccessibleIid, reinterpret_cast<void**>(band.GetAddressOf())),
            S_OK);
  ComPtr<IAccessible> again;
  gadget->QueryInterface(AccessibleIid, reinterpret_cast<void**>(again.GetAddressOf()));
  EXPECT_EQ(again.Get(), band.Get());
  ComPtr<ITidewireGadget> back;
  EXPECT_EQ(band.As(&back), S_OK);
  EXPECT_EQ(back.Get(), gadget.Get());
  ComPtr<IDispatch> automation;
  ASSERT_EQ(gadget.As(&automation), S_OK);
  EXPECT_EQ(automation.Get(), static_cast<IDispatch*>(gadget.Get())) << "scripts keep the dual";

  // Not in place: the connecting text, nothing to open, no place on the screen.
  UniqueBstr text;
  EXPECT_EQ(band->get_accValue(Child(CHILDID_SELF), text.Put()), S_OK);
  EXPECT_EQ(text.View(), u"Connecting...");
  EXPECT_EQ(band->get_accDefaultAction(Child(CHILDID_SELF), text.Put()), S_FALSE);
  EXPECT_EQ(band->accDoDefaultAction(Child(CHILDID_SELF)), DISP_E_MEMBERNOTFOUND);
  EXPECT_EQ(band->get_accName(Child(1), text.Put()), E_INVALIDARG) << "there are no children";
  LONG left, top, width, height;
  EXPECT_EQ(band->accLocation(&left, &top, &width, &height, Child(CHILDID_SELF)), S_FALSE);
  gadget->Pause();
  EXPECT_EQ(band->get_accDescription(Child(CHILDID_SELF), text.Put()), S_OK);
  EXPECT_EQ(text.View(), u"Paused");

  gadget.Reset();
  back.Reset();
  automation.Reset();
  again.Reset();
  EXPECT_EQ(band->get_accName(Child(CHILDID_SELF), text.Put()), CO_E_OBJNOTCONNECTED);
  ComPtr<IUnknown> itself;
  EXPECT_EQ(band.As(&itself), S_OK);
}

// Bytes written by Save into a memory stream.
std::vector<std::uint8_t> Saved(IPersistStreamInit& persist) {
  ComPtr<IStream> stream;
  ::CreateStreamOnHGlobal(nullptr, TRUE, &stream);
  EXPECT_EQ(persist.Save(stream.Get(), TRUE), S_OK);
  ULARGE_INTEGER end{};
  stream->Seek(LARGE_INTEGER{}, STREAM_SEEK_CUR, &end);
  std::vector<std::uint8_t> bytes(static_cast<std::size_t>(end.QuadPart));
  stream->Seek(LARGE_INTEGER{}, STREAM_SEEK_SET, nullptr);
  ULONG read = 0;
  stream->Read(bytes.data(), static_cast<ULONG>(bytes.size()), &read);
  return bytes;
}

ComPtr<IStream> StreamOf(const std::vector<std::uint8_t>& bytes) {
  ComPtr<IStream> stream;
  ::CreateStreamOnHGlobal(nullptr, TRUE, &stream);
  stream->Write(bytes.data(), static_cast<ULONG>(bytes.size()), nullptr);
  stream->Seek(LARGE_INTEGER{}, STREAM_SEEK_SET, nullptr);
  return stream;
}

TEST_F(GadgetComTest, PersistsThroughContainerStreamsAndKeepsTheDirtyFlag) {
  const ComPtr<ITidewireGadget> source = Create();
  ComPtr<IPersistStreamInit> persist;
  ASSERT_EQ(source.As(&persist), S_OK);
  CLSID classId{};
  persist->GetClassID(&classId);
  EXPECT_TRUE(::IsEqualCLSID(classId, CLSID_TidewireGadget));
  EXPECT_EQ(persist->InitNew(), S_OK);
  EXPECT_EQ(persist->IsDirty(), S_OK);
  const UniqueBstr feeds(u"http://x.test/feed");
  source->put_FeedURLs(feeds.Get());
  source->put_SpeechSpeed(-7);
  source->put_FeedRefreshRate(12);
  const std::vector<std::uint8_t> bytes = Saved(*persist.Get());
  EXPECT_EQ(persist->IsDirty(), S_FALSE);
  ULARGE_INTEGER size{};
  persist->GetSizeMax(&size);
  EXPECT_EQ(size.QuadPart, bytes.size());

  const ComPtr<ITidewireGadget> copy = Create();
  ComPtr<IPersistStreamInit> copyPersist;
  copy.As(&copyPersist);
  copyPersist->InitNew();
  EXPECT_EQ(copyPersist->Load(StreamOf(bytes).Get()), S_OK);
  EXPECT_EQ(copyPersist->IsDirty(), S_FALSE);
  EXPECT_EQ(Saved(*copyPersist.Get()), bytes);

  // A damaged stream (a version from the future) loads nothing and leaves the flag alone.
  std::vector<std::uint8_t> future = bytes;
  future[0] = 0x01;
  future[1] = 0x0A;
  copyPersist->InitNew();
  EXPECT_EQ(copyPersist->Load(StreamOf(future).Get()), S_OK);
  EXPECT_EQ(copyPersist->IsDirty(), S_OK);
  int speed = 1;
  copy->get_SpeechSpeed(&speed);
  EXPECT_EQ(speed, 0);
  EXPECT_EQ(copyPersist->Load(nullptr), E_POINTER);
}

std::vector<std::uint8_t> RegistrySettings() {
  std::vector<std::uint8_t> bytes(65536);
  DWORD size = static_cast<DWORD>(bytes.size());
  if (::RegGetValueW(HKEY_CURRENT_USER, SettingsKeyPath, ControlSettingsValue,
                     RRF_RT_REG_BINARY, nullptr, bytes.data(), &size) != ERROR_SUCCESS) {
    return {};
  }
  bytes.resize(size);
  return bytes;
}

TEST_F(GadgetComTest, SavesToAndLoadsFromTheUserRegistry) {
  UniqueRegKey subkey;
  ::RegCreateKeyW(HKEY_CURRENT_USER, SettingsKeyPath, subkey.Put());
  const ComPtr<ITidewireGadget> gadget = Create();
  ComPtr<IPersistStreamInit> persist;
  gadget.As(&persist);
  // The key without a stored value: the defaults, and the control wants saving.
  EXPECT_EQ(gadget->LoadSettings(), S_OK);
  EXPECT_EQ(persist->IsDirty(), S_OK);

  gadget->put_DelayBetweenFeeds(42);
  EXPECT_EQ(gadget->SaveSettings(), S_OK);
  EXPECT_EQ(persist->IsDirty(), S_FALSE);
  EXPECT_EQ(RegistrySettings(), Saved(*persist.Get()));

  const ComPtr<ITidewireGadget> other = Create();
  EXPECT_EQ(other->LoadSettings(), S_OK);
  int delay = 0;
  other->get_DelayBetweenFeeds(&delay);
  EXPECT_EQ(delay, 42);
}

void StoreSettings(const std::vector<std::uint8_t>& bytes) {
  UniqueRegKey subkey;
  ASSERT_EQ(::RegCreateKeyW(HKEY_CURRENT_USER, SettingsKeyPath, subkey.Put()),
            ERROR_SUCCESS);
  ASSERT_EQ(::RegSetValueExW(subkey.Get(), ControlSettingsValue, 0, REG_BINARY, bytes.data(),
                             static_cast<DWORD>(bytes.size())),
            ERROR_SUCCESS);
}

TEST_F(GadgetComTest, StoredSettingsItCannotReadAreKeptUntilASettingChanges) {
  // A stream from a newer version: the control runs on its defaults.
  const ComPtr<ITidewireGadget> writer = Create();
  ComPtr<IPersistStreamInit> writerPersist;
  writer.As(&writerPersist);
  writerPersist->InitNew();
  const UniqueBstr feeds(u"http://kept.test/feed");
  writer->put_FeedURLs(feeds.Get());
  std::vector<std::uint8_t> newer = Saved(*writerPersist.Get());
  newer[0] = 0x01;
  newer[1] = 0x0A;
  StoreSettings(newer);

  const ComPtr<ITidewireGadget> gadget = Create();
  ComPtr<IPersistStreamInit> persist;
  gadget.As(&persist);
  EXPECT_EQ(gadget->LoadSettings(), S_OK);
  {
    const testing_support::DebugOutputMonitor monitor;
    ASSERT_TRUE(monitor.Listening());
    EXPECT_EQ(gadget->SaveSettings(), S_OK);
    EXPECT_EQ(RegistrySettings(), newer);
    EXPECT_EQ(monitor.Lines(1),
              std::vector<std::string>{"Stored settings could not be read: kept them unchanged\n"});
  }
  // Saved elsewhere, the defaults are written, and said to be no more than that.
  ComPtr<IStream> stream;
  ::CreateStreamOnHGlobal(nullptr, TRUE, &stream);
  EXPECT_EQ(persist->Save(stream.Get(), TRUE), S_FALSE);
  ULARGE_INTEGER written{};
  stream->Seek(LARGE_INTEGER{}, STREAM_SEEK_CUR, &written);
  EXPECT_GT(written.QuadPart, 0u);

  // A setting changed in this run makes the settings the user's again.
  gadget->put_DelayBetweenFeeds(5);
  EXPECT_EQ(gadget->SaveSettings(), S_OK);
  EXPECT_EQ(RegistrySettings(), Saved(*persist.Get()));
  EXPECT_NE(RegistrySettings(), newer);
}

TEST_F(GadgetComTest, LiveObjectsAndServerLocksKeepTheLibraryLoaded) {
  const auto canUnloadNow = LibraryExport<HRESULT(STDAPICALLTYPE*)()>("DllCanUnloadNow");
  const auto getClassObject =
      LibraryExport<HRESULT(STDAPICALLTYPE*)(REFCLSID, REFIID, void**)>("DllGetClassObject");
  ASSERT_EQ(canUnloadNow(), S_OK);
  ComPtr<IClassFactory> factory;
  ASSERT_EQ(getClassObject(CLSID_TidewireGadget, IID_PPV_ARGS(&factory)), S_OK);
  ComPtr<IClassFactory> again;
  getClassObject(CLSID_TidewireGadget, IID_PPV_ARGS(&again));
  EXPECT_EQ(factory.Get(), again.Get());
  EXPECT_EQ(canUnloadNow(), S_OK);

  ComPtr<ITidewireGadget> gadget;
  ASSERT_EQ(factory->CreateInstance(nullptr, IID_PPV_ARGS(&gadget)), S_OK);
  EXPECT_EQ(canUnloadNow(), S_FALSE);
  gadget.Reset();
  EXPECT_EQ(canUnloadNow(), S_OK);
  factory->LockServer(TRUE);
  EXPECT_EQ(canUnloadNow(), S_FALSE);
  factory->LockServer(FALSE);
  EXPECT_EQ(canUnloadNow(), S_OK);

  // An unlock that no lock preceded does not hide a live object.
  factory->LockServer(FALSE);
  EXPECT_EQ(canUnloadNow(), S_OK);
  ASSERT_EQ(factory->CreateInstance(nullptr, IID_PPV_ARGS(&gadget)), S_OK);
  EXPECT_EQ(canUnloadNow(), S_FALSE);
  gadget.Reset();

  void* none = reinterpret_cast<void*>(1);
  EXPECT_EQ(getClassObject(IID_IUnknown, IID_IClassFactory, &none), CLASS_E_CLASSNOTAVAILABLE);
  EXPECT_EQ(none, nullptr);
  EXPECT_EQ(getClassObject(CLSID_TidewireGadget, IID_IClassFactory, nullptr), E_POINTER);
}

// An outer object that aggregates the control and counts its own references; it lives on the
// stack, so nothing deletes it through IUnknown.
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wnon-virtual-dtor"
class Outer final : public IUnknown {
 public:
  HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** object) override {
    if (::IsEqualIID(iid, IID_IUnknown)) {
      *object = static_cast<IUnknown*>(this);
      AddRef();
      return S_OK;
    }
    return inner->QueryInterface(iid, object);
  }
  ULONG STDMETHODCALLTYPE AddRef() override { return ++references; }
  ULONG STDMETHODCALLTYPE Release() override { return --references; }

  ULONG references = 1;
  ComPtr<IUnknown> inner;
};
#pragma GCC diagnostic pop

TEST_F(GadgetComTest, AggregatedControlDelegatesToItsOuterObject) {
  Outer outer;
  ASSERT_EQ(::CoCreateInstance(CLSID_TidewireGadget, &outer, CLSCTX_INPROC_SERVER,
                               IID_PPV_ARGS(&outer.inner)),
            S_OK);
  EXPECT_EQ(outer.references, 1u);
  ComPtr<ITidewireGadget> gadget;
  ASSERT_EQ(outer.QueryInterface(IID_PPV_ARGS(&gadget)), S_OK);
  EXPECT_EQ(outer.references, 2u);
  ComPtr<IUnknown> identity;
  gadget->QueryInterface(IID_PPV_ARGS(&identity));
  EXPECT_EQ(identity.Get(), static_cast<IUnknown*>(&outer));
  identity.Reset();
  gadget.Reset();
  EXPECT_EQ(outer.references, 1u);
  outer.inner.Reset();

  ComPtr<ITidewireGadget> refused;
  EXPECT_EQ(::CoCreateInstance(CLSID_TidewireGadget, &outer, CLSCTX_INPROC_SERVER,
                               IID_PPV_ARGS(&refused)),
            CLASS_E_NOAGGREGATION);
}

// The control's own operations follow the interface in its primary virtual table: the call below
// goes through the table of an object made by the library.
TEST_F(GadgetComTest, SizingFollowsTheInterfaceInThePrimaryTable) {
  LRESULT (CTidewireGadget::*sizing)(RECT&) = &CTidewireGadget::OnSizing;
  std::uintptr_t representation = 0;
  static_assert(sizeof(sizing) >= sizeof(representation));
  std::memcpy(&representation, &sizing, sizeof(representation));
  // A pointer to a virtual member holds one plus the offset of its slot in the table.
  constexpr std::uintptr_t interfaceSlots = 3 + 4 + 18;
  EXPECT_EQ(representation, 1 + interfaceSlots * sizeof(void*));

  const ComPtr<ITidewireGadget> gadget = Create();
  auto* control = static_cast<CTidewireGadget*>(gadget.Get());
  RECT tall{5, 100, 405, 140};
  EXPECT_EQ(control->OnSizing(tall), 0);
  EXPECT_EQ(tall.bottom, 116);
  RECT low{5, 100, 405, 110};
  control->OnSizing(low);
  EXPECT_EQ(low.bottom, 110);
}

}  // namespace
}  // namespace tidewire
