#pragma once
// The base of every COM object of ours: one reference count, QueryInterface answered from a
// table of interface entries in the order the class gives, and aggregation through a nested
// non-delegating unknown.
//
//   class CThing : public ComObject<CThing, IFirst, ISecond> {
//    public:
//     static std::span<const InterfaceEntry<CThing>> InterfaceMap();  // or a const member
//   };
//   std::span<const InterfaceEntry<CThing>> CThing::InterfaceMap() {
//     static constexpr InterfaceEntry<CThing> map[] = {Entry<CThing, IFirst>(), ...};
//     return map;
//   }
//
// The first interface is the primary base: its virtual table is the object's own, and virtual
// functions that the class adds come after its members. The object's identity (IUnknown) is
// the inner unknown, or the outer unknown when the object is aggregated.

#include <objbase.h>

#include <atomic>
#include <limits>
#include <span>

namespace tidewire {

template <typename Derived>
struct InterfaceEntry {
  const IID* iid;
  void* (*cast)(Derived* object);
};

// The entry for `Interface`, reached through `Path` where the object derives from it more than
// once (for example IOleWindow through IOleInPlaceObject).
template <typename Derived, typename Interface, typename Path = Interface>
constexpr InterfaceEntry<Derived> Entry() {
  return {&__uuidof(Interface), [](Derived* object) -> void* {
            return static_cast<Interface*>(static_cast<Path*>(object));
          }};
}

// COM interfaces have no virtual destructors: an object is deleted through its own class only
// (by the inner unknown's Release), never through an interface pointer.
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wnon-virtual-dtor"

template <typename Derived, typename... Interfaces>
class ComObject : public Interfaces... {
 public:
  ComObject(const ComObject&) = delete;
  ComObject& operator=(const ComObject&) = delete;

  // The members of IUnknown on every interface of the object go to the controlling unknown.
  HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** object) final {
    return controlling_->QueryInterface(iid, object);
  }
  ULONG STDMETHODCALLTYPE AddRef() final { return controlling_->AddRef(); }
  ULONG STDMETHODCALLTYPE Release() final { return controlling_->Release(); }

  // The non-delegating unknown: what an aggregating outer object holds.
  IUnknown* InnerUnknown() { return &inner_; }
  IUnknown* ControllingUnknown() const { return controlling_; }

  // Makes an object and hands out `iid` of it, as a class object's CreateInstance does. An
  // aggregating outer object may only ask for IUnknown, and receives the inner unknown.
  template <typename... Arguments>
  static HRESULT Create(IUnknown* outer, REFIID iid, void** object, Arguments&&... arguments) {
    if (object == nullptr) return E_POINTER;
    *object = nullptr;
    if (outer != nullptr && !::IsEqualIID(iid, IID_IUnknown)) return CLASS_E_NOAGGREGATION;
    auto* made = new Derived(outer, static_cast<Arguments&&>(arguments)...);
    IUnknown* inner = made->InnerUnknown();
    // The inner unknown holds one reference while asking, so a failed query deletes the object.
    inner->AddRef();
    const HRESULT result = inner->QueryInterface(iid, object);
    inner->Release();
    return result;
  }

 protected:
  explicit ComObject(IUnknown* outer) : controlling_(outer != nullptr ? outer : &inner_) {}
  ~ComObject() = default;

 private:
  class Inner final : public IUnknown {
   public:
    explicit Inner(ComObject& owner) : owner_(owner) {}
    Inner(const Inner&) = delete;
    Inner& operator=(const Inner&) = delete;

    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** object) override {
      if (object == nullptr) return E_POINTER;
      *object = nullptr;
      if (::IsEqualIID(iid, IID_IUnknown)) {
        *object = static_cast<IUnknown*>(this);
        AddRef();
        return S_OK;
      }
      Derived* derived = static_cast<Derived*>(&owner_);
      for (const InterfaceEntry<Derived>& entry : derived->InterfaceMap()) {
        if (::IsEqualIID(iid, *entry.iid)) {
          *object = entry.cast(derived);
          // Through the interface, so that an aggregate counts on the outer object.
          static_cast<IUnknown*>(*object)->AddRef();
          return S_OK;
        }
      }
      return E_NOINTERFACE;
    }
    ULONG STDMETHODCALLTYPE AddRef() override { return ++references_; }
    ULONG STDMETHODCALLTYPE Release() override {
      const ULONG left = --references_;
      if (left == 0) {
        // Code run by the destructor (a container called back while the object lets go of it)
        // may take and drop a reference: from here the count cannot reach zero again, so the
        // object is deleted once.
        references_ = Destroying;
        delete static_cast<Derived*>(&owner_);
      }
      return left;
    }

   private:
    static constexpr ULONG Destroying = std::numeric_limits<ULONG>::max() / 2;

    ComObject& owner_;
    std::atomic<ULONG> references_{0};
  };

  Inner inner_{*this};
  IUnknown* controlling_;
};

#pragma GCC diagnostic pop

}  // namespace tidewire
