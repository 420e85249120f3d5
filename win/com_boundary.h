#pragma once
// The boundary around every COM method, window procedure and thread procedure: nothing thrown
// inside may cross into the caller, which is system or container code.

#include <windows.h>

#include <new>

namespace tidewire {

// Runs `body`, which returns an HRESULT. Running out of memory becomes E_OUTOFMEMORY, any other
// exception E_UNEXPECTED. Window and thread procedures wrap their body in a lambda that stores
// its own result and returns S_OK.
template <typename Body>
HRESULT ComBoundary(Body&& body) noexcept {
  try {
    return body();
  } catch (const std::bad_alloc&) {
    return E_OUTOFMEMORY;
  } catch (...) {
    return E_UNEXPECTED;
  }
}

}  // namespace tidewire
