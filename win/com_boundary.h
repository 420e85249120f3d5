#pragma once
// The boundary around every COM method, window procedure and thread procedure: nothing thrown
// inside may cross into the caller, which is system or container code.

#include <windows.h>

#include <new>
#include <type_traits>

namespace tidewire {

// Runs `body`, which returns an HRESULT or nothing (then a normal return is S_OK). Running out
// of memory becomes E_OUTOFMEMORY, any other exception E_UNEXPECTED.
template <typename Body>
HRESULT ComBoundary(Body&& body) noexcept {
  try {
    if constexpr (std::is_void_v<decltype(body())>) {
      body();
      return S_OK;
    } else {
      return body();
    }
  } catch (const std::bad_alloc&) {
    return E_OUTOFMEMORY;
  } catch (...) {
    return E_UNEXPECTED;
  }
}

}  // namespace tidewire
