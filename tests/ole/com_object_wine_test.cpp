// The object base on its own, with an object made for the test: a reference taken and dropped
// while an object is being destroyed (a container called back by the destructor) must not
// delete it a second time.

#include <gtest/gtest.h>
#include <objbase.h>

#include <span>

#include "ole/com_object.h"

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

}  // namespace
}  // namespace tidewire
