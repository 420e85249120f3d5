// The control's COM class made in the test's own process, with a stand-in for the server's
// self-registration: what the built library cannot show from outside.

#include <gtest/gtest.h>
#include <ocidl.h>
#include <windows.h>

#include "control/gadget_identity_win.h"
#include "control/tidewire_gadget_win.h"
#include "win/com.h"

namespace tidewire {
namespace {

int registrations = 0;

HRESULT STDAPICALLTYPE RecordRegistration() {
  ++registrations;
  return E_ACCESSDENIED;
}

TEST(GadgetClass, EveryConstructionCallsTheRegistrationItIsGivenWhateverItAnswers) {
  const ComInitialization com;
  registrations = 0;
  ComPtr<IOleObject> first;
  ASSERT_EQ(CTidewireGadget::CreateInstance(nullptr, IID_PPV_ARGS(&first), &RecordRegistration),
            S_OK);
  EXPECT_EQ(registrations, 1);
  ComPtr<IOleObject> second;
  ASSERT_EQ(CTidewireGadget::CreateInstance(nullptr, IID_PPV_ARGS(&second), &RecordRegistration),
            S_OK);
  EXPECT_EQ(registrations, 2);
  ComPtr<IOleObject> unregistered;
  ASSERT_EQ(CTidewireGadget::CreateInstance(nullptr, IID_PPV_ARGS(&unregistered), nullptr), S_OK);
  EXPECT_EQ(registrations, 2);
}

TEST(GadgetClass, InterfacesAreTheObjectsOwnAndTheOleControlAnswersFromItsIdentity) {
  const ComInitialization com;
  ComPtr<ITidewireGadget> gadget;
  ASSERT_EQ(CTidewireGadget::CreateInstance(nullptr, IID_PPV_ARGS(&gadget), nullptr), S_OK);
  auto* object = static_cast<CTidewireGadget*>(gadget.Get());
  ComPtr<IOleObject> oleObject;
  ASSERT_EQ(gadget.As(&oleObject), S_OK);
  EXPECT_EQ(oleObject.Get(), static_cast<IOleObject*>(object));
  ComPtr<IViewObjectEx> view;
  ASSERT_EQ(gadget.As(&view), S_OK);
  EXPECT_EQ(view.Get(), static_cast<IViewObjectEx*>(object));

  // What containers learn is what the registration records.
  DWORD misc = 0;
  EXPECT_EQ(oleObject->GetMiscStatus(DVASPECT_CONTENT, &misc), S_OK);
  EXPECT_EQ(misc, TidewireGadgetMiscStatus);
  SIZEL extent{};
  EXPECT_EQ(oleObject->GetExtent(DVASPECT_CONTENT, &extent), S_OK);
  EXPECT_EQ(extent.cx, TidewireGadgetIdentity.initialExtent.cx);
  EXPECT_EQ(extent.cy, TidewireGadgetIdentity.initialExtent.cy);
  DWORD status = 0;
  EXPECT_EQ(view->GetViewStatus(&status), S_OK);
  EXPECT_EQ(status, TidewireGadgetIdentity.viewStatus);
  CLSID classId{};
  EXPECT_EQ(oleObject->GetUserClassID(&classId), S_OK);
  EXPECT_TRUE(::IsEqualCLSID(classId, CLSID_TidewireGadget));
}

}  // namespace
}  // namespace tidewire
