// The object base and the OLE control on their own, with objects made for the test: a reference
// taken and dropped while an object is being destroyed (a container called back by the
// destructor) must not delete it a second time; what the control shows of its own is owned by
// the container's window when the control has none.

#include <gtest/gtest.h>
#include <objbase.h>

#include <span>

#include "ole/com_object.h"
#include "ole/ole_control.h"
#include "tests/control/test_control_site_win.h"
#include "win/com.h"
#include "win/handles.h"

namespace tidewire {
namespace {

#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wnon-virtual-dtor"

class CallsBackWhileDestroyed final : public ComObject<CallsBackWhileDestroyed, IPersist> {
 public:
  CallsBackWhileDestroyed(IUnknown* outer, int* destructions)
      : ComObject(outer), destructions_(destructions) {}
  ~CallsBackWhileDestroyed() {
    ++*destructions_;
    AddRef();
    Release();
  }
  static std::span<const InterfaceEntry<CallsBackWhileDestroyed>> InterfaceMap() {
    static constexpr InterfaceEntry<CallsBackWhileDestroyed> map[] = {
        Entry<CallsBackWhileDestroyed, IPersist>()};
    return map;
  }
  HRESULT STDMETHODCALLTYPE GetClassID(CLSID* classId) override {
    *classId = CLSID_NULL;
    return S_OK;
  }

 private:
  int* destructions_;
};

#pragma GCC diagnostic pop

TEST(ComObject, AReferenceTakenDuringDestructionDoesNotDeleteTheObjectAgain) {
  int destructions = 0;
  IPersist* object = nullptr;
  ASSERT_EQ(CallsBackWhileDestroyed::Create(nullptr, IID_PPV_ARGS(&object), &destructions), S_OK);
  object->AddRef();
  EXPECT_EQ(object->Release(), 1u);
  EXPECT_EQ(object->Release(), 0u);
  EXPECT_EQ(destructions, 1);
}

#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wnon-virtual-dtor"

// A control that draws nothing and handles no message.
class BlankControl final : public ComObject<BlankControl, OleControl> {
 public:
  explicit BlankControl(IUnknown* outer) : ComObject(outer) {}
  ~BlankControl() { ReleaseContainer(); }
  static std::span<const InterfaceEntry<BlankControl>> InterfaceMap() {
    static constexpr InterfaceEntry<BlankControl> map[] = {
        Entry<BlankControl, IOleObject>()};
    return map;
  }

 private:
  void DrawControl(HDC, const RECT&) override {}
  bool HandleControlMessage(UINT, WPARAM, LPARAM, LRESULT*) override { return false; }
};

#pragma GCC diagnostic pop

TEST(OleControl, AWindowlessControlsOwnerIsTheWindowOfItsSite) {
  const ComInitialization com;
  const UniqueWindow container(::CreateWindowExW(0, L"STATIC", nullptr, 0, 0, 0, 0, 0,
                                                 HWND_MESSAGE, nullptr, nullptr, nullptr));
  ASSERT_TRUE(container);
  ComPtr<IOleObject> control;
  ASSERT_EQ(BlankControl::Create(nullptr, IID_PPV_ARGS(&control)), S_OK);
  auto* blank = static_cast<BlankControl*>(control.Get());
  EXPECT_EQ(blank->OwnerWindow(), nullptr);

  const RECT position{0, 0, 200, 16};
  ComPtr<IOleClientSite> site;
  ASSERT_EQ(testing_support::TestControlSite::Create(nullptr, IID_PPV_ARGS(&site),
                                                     container.Get(), true, position),
            S_OK);
  control->SetClientSite(site.Get());
  ASSERT_EQ(control->DoVerb(OLEIVERB_INPLACEACTIVATE, nullptr, site.Get(), 0, container.Get(),
                            &position),
            S_OK);
  ASSERT_TRUE(blank->Windowless());
  EXPECT_EQ(blank->OwnerWindow(), container.Get());
  control->Close(OLECLOSE_NOSAVE);
  EXPECT_EQ(blank->OwnerWindow(), nullptr);
  control->SetClientSite(nullptr);
}

}  // namespace
}  // namespace tidewire
