// OleControl with a dummy control in the test site, without a window of its own: windowless
// activation and deactivation, forwarded messages, the view's redraw requests, drawing through
// IViewObject, what the identity tells a container, and the order in which a closed and
// released control lets go of its container.

#include <gtest/gtest.h>
#include <ocidl.h>
#include <windows.h>

#include <string>
#include <vector>

#include "tests/ole/dummy_control_win.h"
#include "tests/support/dib_picture_win.h"
#include "tests/support/test_control_site_win.h"
#include "win/com.h"
#include "win/handles.h"

namespace tidewire {
namespace {

using testing_support::ActivateInTestSite;
using testing_support::DibPicture;
using testing_support::DummyColour;
using testing_support::DummyControl;
using testing_support::DummyIdentity;
using testing_support::TestControlSite;

class WindowlessControl : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_EQ(DummyControl::Create(nullptr, IID_PPV_ARGS(&control)), S_OK);
    dummy = DummyControl::Of(control.Get());
    ASSERT_EQ(control.As(&windowless), S_OK);
    ASSERT_EQ(control.As(&view), S_OK);
  }
  void TearDown() override {
    control->Close(OLECLOSE_NOSAVE);
    control->SetClientSite(nullptr);
  }

  TestControlSite* Activate() {
    EXPECT_EQ(ActivateInTestSite(control.Get(), container.Get(), true, position, site), S_OK);
    return static_cast<TestControlSite*>(site.Get());
  }

  const ComInitialization com_;
  const RECT position{5, 6, 105, 26};
  const UniqueWindow container{::CreateWindowExW(0, L"STATIC", nullptr, 0, 0, 0, 0, 0,
                                                 HWND_MESSAGE, nullptr, nullptr, nullptr)};
  ComPtr<IOleObject> control;
  DummyControl* dummy = nullptr;
  ComPtr<IOleInPlaceObjectWindowless> windowless;
  ComPtr<IViewObjectEx> view;
  ComPtr<IOleClientSite> site;
};

TEST_F(WindowlessControl, ActivatesWithoutAWindowAndTakesForwardedMessages) {
  EXPECT_EQ(dummy->OwnerWindow(), nullptr);
  TestControlSite* recorder = Activate();
  EXPECT_EQ(recorder->activations, 1);
  EXPECT_EQ(recorder->activationFlags, static_cast<DWORD>(ACTIVATE_WINDOWLESS));
  EXPECT_EQ(dummy->ActivationState(), OleControl::State::InPlaceActive);
  ASSERT_TRUE(dummy->Windowless());
  HWND own = reinterpret_cast<HWND>(1);
  EXPECT_EQ(windowless->GetWindow(&own), E_FAIL);
  EXPECT_EQ(own, nullptr);
  // What it shows of its own belongs to the window of its site.
  EXPECT_EQ(dummy->OwnerWindow(), container.Get());

  LRESULT result = -1;
  EXPECT_EQ(windowless->OnWindowMessage(WM_LBUTTONDOWN, 0, 0, &result), S_OK);
  EXPECT_EQ(result, testing_support::DummyButtonResult);
  EXPECT_EQ(windowless->OnWindowMessage(WM_MOUSEMOVE, 0, 0, &result), S_FALSE);
  EXPECT_EQ(result, 0);
  EXPECT_EQ(dummy->messages, (std::vector<UINT>{WM_LBUTTONDOWN, WM_MOUSEMOVE}));

  ComPtr<IOleInPlaceObject> inPlace;
  control.As(&inPlace);
  EXPECT_EQ(inPlace->InPlaceDeactivate(), S_OK);
  EXPECT_EQ(recorder->deactivations, 1);
  EXPECT_EQ(dummy->ActivationState(), OleControl::State::Loaded);
  EXPECT_FALSE(dummy->Windowless());
  EXPECT_EQ(dummy->OwnerWindow(), nullptr);
}

TEST_F(WindowlessControl, ViewChangeGoesToTheSiteWhileActiveAndToTheAdviseSinkOtherwise) {
  TestControlSite* recorder = Activate();
  view->SetAdvise(DVASPECT_CONTENT, 0, recorder);
  dummy->FireViewChange();
  EXPECT_EQ(recorder->invalidations, 1);
  EXPECT_EQ(recorder->viewChanges, 0);

  ComPtr<IOleInPlaceObject> inPlace;
  control.As(&inPlace);
  inPlace->InPlaceDeactivate();
  dummy->FireViewChange();
  EXPECT_EQ(recorder->invalidations, 1);
  EXPECT_EQ(recorder->viewChanges, 1);
  view->SetAdvise(DVASPECT_CONTENT, 0, nullptr);
}

TEST_F(WindowlessControl, DrawsWithinTheBoundsItIsGivenOrWhereItWasPlaced) {
  const COLORREF untouched = RGB(0x12, 0x34, 0x56);
  DibPicture picture(120, 40);
  picture.Fill(untouched);
  const RECTL bounds{20, 4, 60, 20};
  ASSERT_EQ(view->Draw(DVASPECT_CONTENT, -1, nullptr, nullptr, nullptr, picture.Dc(), &bounds,
                       nullptr, nullptr, 0),
            S_OK);
  ::GdiFlush();
  EXPECT_EQ(picture.Pixel(20, 4), DummyColour);
  EXPECT_EQ(picture.Pixel(59, 19), DummyColour);
  EXPECT_EQ(picture.Pixel(19, 10), untouched);
  EXPECT_EQ(picture.Pixel(60, 10), untouched);
  EXPECT_EQ(picture.Pixel(30, 20), untouched);
  EXPECT_EQ(view->Draw(DVASPECT_ICON, -1, nullptr, nullptr, nullptr, picture.Dc(), &bounds,
                       nullptr, nullptr, 0),
            DV_E_DVASPECT);
  // Without bounds a loaded control cannot know where to draw; a windowless active one draws
  // at the rectangle its container last set (device units).
  EXPECT_EQ(view->Draw(DVASPECT_CONTENT, -1, nullptr, nullptr, nullptr, picture.Dc(), nullptr,
                       nullptr, nullptr, 0),
            E_INVALIDARG);
  Activate();
  picture.Fill(untouched);
  const RECT moved{70, 10, 110, 30};
  ASSERT_EQ(windowless->SetObjectRects(&moved, &moved), S_OK);
  RECTL reported{};
  ASSERT_EQ(view->GetRect(DVASPECT_CONTENT, &reported), S_OK);
  EXPECT_EQ(reported.left, 70);
  EXPECT_EQ(reported.bottom, 30);
  ASSERT_EQ(view->Draw(DVASPECT_CONTENT, -1, nullptr, nullptr, nullptr, picture.Dc(), nullptr,
                       nullptr, nullptr, 0),
            S_OK);
  ::GdiFlush();
  EXPECT_EQ(picture.Pixel(70, 10), DummyColour);
  EXPECT_EQ(picture.Pixel(109, 29), DummyColour);
  EXPECT_EQ(picture.Pixel(69, 10), untouched);
  EXPECT_EQ(picture.Pixel(10, 10), untouched);
}

TEST_F(WindowlessControl, AnswersFromItsIdentity) {
  DWORD misc = 0;
  EXPECT_EQ(control->GetMiscStatus(DVASPECT_CONTENT, &misc), S_OK);
  EXPECT_EQ(misc, DummyIdentity.miscStatus);
  DWORD status = 0;
  EXPECT_EQ(view->GetViewStatus(&status), S_OK);
  EXPECT_EQ(status, DummyIdentity.viewStatus);
  CLSID classId{};
  EXPECT_EQ(control->GetUserClassID(&classId), S_OK);
  EXPECT_TRUE(::IsEqualCLSID(classId, testing_support::DummyControlClass));

  // The extent starts as the identity's and then is what the container set; the natural extent
  // stays the identity's.
  SIZEL extent{};
  EXPECT_EQ(control->GetExtent(DVASPECT_CONTENT, &extent), S_OK);
  EXPECT_EQ(extent.cx, DummyIdentity.initialExtent.cx);
  EXPECT_EQ(extent.cy, DummyIdentity.initialExtent.cy);
  SIZEL set{3000, 400};
  EXPECT_EQ(control->SetExtent(DVASPECT_CONTENT, &set), S_OK);
  EXPECT_EQ(view->GetExtent(DVASPECT_CONTENT, -1, nullptr, &extent), S_OK);
  EXPECT_EQ(extent.cx, 3000);
  EXPECT_EQ(view->GetNaturalExtent(DVASPECT_CONTENT, -1, nullptr, nullptr, nullptr, &extent),
            S_OK);
  EXPECT_EQ(extent.cx, DummyIdentity.initialExtent.cx);

  const RECT area{20, 4, 220, 20};
  DWORD hit = 0;
  view->QueryHitPoint(DVASPECT_CONTENT, &area, POINT{30, 10}, 0, &hit);
  EXPECT_EQ(hit, static_cast<DWORD>(HITRESULT_HIT));
  view->QueryHitPoint(DVASPECT_CONTENT, &area, POINT{10, 10}, 0, &hit);
  EXPECT_EQ(hit, static_cast<DWORD>(HITRESULT_OUTSIDE));

  // Quick activation reports the same bits and takes the container's site.
  ComPtr<IQuickActivate> quick;
  ASSERT_EQ(control.As(&quick), S_OK);
  ComPtr<IOleClientSite> quickSite;
  TestControlSite::Create(nullptr, IID_PPV_ARGS(&quickSite), nullptr, true, RECT{});
  QACONTAINER offered{};
  offered.cbSize = sizeof(offered);
  offered.pClientSite = quickSite.Get();
  QACONTROL answered{};
  answered.cbSize = sizeof(answered);
  EXPECT_EQ(quick->QuickActivate(&offered, &answered), S_OK);
  EXPECT_EQ(answered.dwMiscStatus, DummyIdentity.miscStatus);
  EXPECT_EQ(answered.dwViewStatus, DummyIdentity.viewStatus);
  ComPtr<IOleClientSite> taken;
  control->GetClientSite(&taken);
  EXPECT_EQ(taken.Get(), quickSite.Get());
}

// What a container reads of a class that is not registered (a registration-free run) comes from
// the identity: its user type name for every form, no verbs, no formats in either direction.
TEST_F(WindowlessControl, UnregisteredClassAnswersUserTypeVerbsAndFormatsFromItsIdentity) {
  for (const DWORD form : {USERCLASSTYPE_FULL, USERCLASSTYPE_SHORT, USERCLASSTYPE_APPNAME}) {
    LPOLESTR name = nullptr;
    EXPECT_EQ(control->GetUserType(form, &name), S_OK) << "form " << form;
    EXPECT_STREQ(name, DummyIdentity.userType) << "form " << form;
    ::CoTaskMemFree(name);
  }
  IEnumOLEVERB* verbs = reinterpret_cast<IEnumOLEVERB*>(1);
  EXPECT_EQ(control->EnumVerbs(&verbs), OLEOBJ_E_NOVERBS);
  EXPECT_EQ(verbs, nullptr);
  for (const DWORD direction : {DATADIR_GET, DATADIR_SET}) {
    ComPtr<IEnumFORMATETC> formats;
    ASSERT_EQ(dummy->EnumFormatEtc(direction, &formats), S_OK) << "direction " << direction;
    ComPtr<IEnumFORMATETC> copy;
    ASSERT_EQ(formats->Clone(&copy), S_OK);
    for (IEnumFORMATETC* enumeration : {formats.Get(), copy.Get()}) {
      FORMATETC format{};
      ULONG fetched = 9;
      EXPECT_EQ(enumeration->Next(1, &format, &fetched), S_FALSE);
      EXPECT_EQ(fetched, 0u);
    }
  }
}

#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wnon-virtual-dtor"

// An outer object around a test site that writes down every release it receives with the count
// left, under its name.
class ReleaseRecorder final : public IUnknown {
 public:
  ReleaseRecorder(const char* name, std::vector<std::string>& log) : name_(name), log_(log) {
    TestControlSite::Create(this, IID_IUnknown, reinterpret_cast<void**>(&inner_), nullptr, true,
                            RECT{0, 0, 100, 20});
  }
  ~ReleaseRecorder() { inner_->Release(); }
  ReleaseRecorder(const ReleaseRecorder&) = delete;
  ReleaseRecorder& operator=(const ReleaseRecorder&) = delete;

  template <typename Interface>
  Interface* As() {
    Interface* result = nullptr;
    inner_->QueryInterface(IID_PPV_ARGS(&result));
    Release();
    return result;
  }
  ULONG References() const { return references_; }

  HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** object) override {
    if (::IsEqualIID(iid, IID_IUnknown)) {
      *object = this;
      AddRef();
      return S_OK;
    }
    return inner_->QueryInterface(iid, object);
  }
  ULONG STDMETHODCALLTYPE AddRef() override { return ++references_; }
  ULONG STDMETHODCALLTYPE Release() override {
    --references_;
    log_.push_back(name_ + std::to_string(references_));
    return references_;
  }

 private:
  std::string name_;
  std::vector<std::string>& log_;
  IUnknown* inner_ = nullptr;
  ULONG references_ = 1;
};

#pragma GCC diagnostic pop

TEST(OleControlRelease, ClosingAndReleasingLetGoOfEverySiteTheClientSiteLast) {
  const ComInitialization com;
  std::vector<std::string> log;
  ReleaseRecorder site("site", log);
  ReleaseRecorder sink("sink", log);
  {
    ComPtr<IOleObject> control;
    ASSERT_EQ(DummyControl::Create(nullptr, IID_PPV_ARGS(&control)), S_OK);
    control->SetClientSite(site.As<IOleClientSite>());
    ComPtr<IViewObject> view;
    control.As(&view);
    view->SetAdvise(DVASPECT_CONTENT, 0, sink.As<IAdviseSink>());
    const RECT position{0, 0, 100, 20};
    ASSERT_EQ(control->DoVerb(OLEIVERB_INPLACEACTIVATE, nullptr, nullptr, 0, nullptr, &position),
              S_OK);
    EXPECT_GT(site.References(), 2u) << "client site and in-place sites are held";

    // Closing deactivates: the in-place sites go, the client site and the sink stay.
    EXPECT_EQ(control->Close(OLECLOSE_NOSAVE), S_OK);
    EXPECT_EQ(DummyControl::Of(control.Get())->ActivationState(), OleControl::State::Loaded);
    EXPECT_EQ(site.References(), 2u);
    EXPECT_EQ(sink.References(), 2u);
    log.clear();
  }
  // The last release lets go of the sink and then of the client site, once each.
  EXPECT_EQ(log, (std::vector<std::string>{"sink1", "site1"}));
}

}  // namespace
}  // namespace tidewire
