#pragma once
// One owner per system handle. A traits type names the handle kind, its empty value and how it
// is closed; the wrapper moves but never copies, so a handle cannot be closed twice by accident.

#include <utility>

namespace tidewire {

template <typename Traits>
class UniqueHandle {
 public:
  using Handle = typename Traits::Handle;

  UniqueHandle() = default;
  explicit UniqueHandle(Handle handle) : handle_(handle) {}
  UniqueHandle(UniqueHandle&& other) noexcept : handle_(other.Take()) {}
  UniqueHandle& operator=(UniqueHandle&& other) noexcept {
    if (this != &other) Reset(other.Take());
    return *this;
  }
  UniqueHandle(const UniqueHandle&) = delete;
  UniqueHandle& operator=(const UniqueHandle&) = delete;
  ~UniqueHandle() { Reset(); }

  Handle Get() const { return handle_; }
  explicit operator bool() const { return handle_ != Traits::Empty(); }

  // Gives ownership away: the caller closes the handle.
  [[nodiscard]] Handle Take() { return std::exchange(handle_, Traits::Empty()); }

  // For an out-parameter: releases what the wrapper held and hands out its slot.
  [[nodiscard]] Handle* Put() {
    Reset();
    return &handle_;
  }

  void Reset(Handle handle = Traits::Empty()) {
    const Handle old = std::exchange(handle_, handle);
    if (old != Traits::Empty()) Traits::Close(old);
  }

 private:
  Handle handle_ = Traits::Empty();
};

}  // namespace tidewire
