#pragma once
// COM ownership helpers: ComPtr, an owned BSTR, an owned VARIANT and the per-thread COM
// initialisation guard.

#include <objbase.h>
#include <oleauto.h>
#include <wrl/client.h>

#include <string>
#include <string_view>
#include <utility>

namespace tidewire {

using Microsoft::WRL::ComPtr;

static_assert(sizeof(wchar_t) == sizeof(char16_t), "Windows text is UTF-16");

inline const wchar_t* WideChars(std::u16string_view text) {
  return reinterpret_cast<const wchar_t*>(text.data());
}
inline std::u16string_view Utf16View(const wchar_t* text, std::size_t length) {
  return {reinterpret_cast<const char16_t*>(text), length};
}

// Takes over a reference that the caller already owns. (mingw's ComPtr::Attach adds a reference
// of its own, unlike the platform's, so it would leak one.)
template <typename Interface>
ComPtr<Interface> AdoptComPtr(Interface* owned) {
  ComPtr<Interface> pointer;
  *pointer.GetAddressOf() = owned;
  return pointer;
}

// A BSTR with one owner; moves, never copies.
class UniqueBstr {
 public:
  UniqueBstr() = default;
  explicit UniqueBstr(std::u16string_view text)
      : value_(::SysAllocStringLen(WideChars(text), static_cast<UINT>(text.size()))) {}
  UniqueBstr(UniqueBstr&& other) noexcept : value_(other.Take()) {}
  UniqueBstr& operator=(UniqueBstr&& other) noexcept {
    if (this != &other) Reset(other.Take());
    return *this;
  }
  UniqueBstr(const UniqueBstr&) = delete;
  UniqueBstr& operator=(const UniqueBstr&) = delete;
  ~UniqueBstr() { Reset(); }

  BSTR Get() const { return value_; }
  std::u16string_view View() const { return Utf16View(value_, ::SysStringLen(value_)); }
  [[nodiscard]] BSTR Take() { return std::exchange(value_, nullptr); }
  // For an out-parameter: frees what was held and hands out the slot.
  [[nodiscard]] BSTR* Put() {
    Reset();
    return &value_;
  }
  void Reset(BSTR value = nullptr) { ::SysFreeString(std::exchange(value_, value)); }

 private:
  BSTR value_ = nullptr;
};

// A VARIANT that is cleared when it goes.
class UniqueVariant {
 public:
  UniqueVariant() { ::VariantInit(&value_); }
  ~UniqueVariant() { ::VariantClear(&value_); }
  UniqueVariant(const UniqueVariant&) = delete;
  UniqueVariant& operator=(const UniqueVariant&) = delete;

  VARIANT* Get() { return &value_; }
  const VARIANT* Get() const { return &value_; }
  // For an out-parameter: clears what was held first.
  [[nodiscard]] VARIANT* Put() {
    ::VariantClear(&value_);
    return &value_;
  }

 private:
  VARIANT value_;
};

// Initialises COM on this thread for the guard's lifetime; a failed initialisation is not undone.
class ComInitialization {
 public:
  explicit ComInitialization(DWORD model = COINIT_APARTMENTTHREADED)
      : result_(::CoInitializeEx(nullptr, model)) {}
  ComInitialization(const ComInitialization&) = delete;
  ComInitialization& operator=(const ComInitialization&) = delete;
  ~ComInitialization() {
    if (SUCCEEDED(result_)) ::CoUninitialize();
  }

  HRESULT Result() const { return result_; }

 private:
  HRESULT result_;
};

}  // namespace tidewire
