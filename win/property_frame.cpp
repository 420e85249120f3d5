#include "win/property_frame.h"

#include <olectl.h>

#include "win/com.h"

namespace tidewire {

void ShowPropertyFrame(HWND owner, ISpecifyPropertyPages& specify, IUnknown* object) {
  CAUUID pages{};
  if (FAILED(specify.GetPages(&pages))) return;
  if (pages.cElems > 0 && pages.pElems != nullptr) {
    // The page must be creatable in process before the frame is asked to show it.
    ComPtr<IPropertyPage> page;
    if (SUCCEEDED(::CoCreateInstance(pages.pElems[0], nullptr, CLSCTX_INPROC_SERVER,
                                     IID_PPV_ARGS(&page)))) {
      // Owned by a window, the frame stays above it even when it is a topmost one.
      ::OleCreatePropertyFrame(owner, 0, 0, L"", 1, &object, 1, pages.pElems, 0, 0, nullptr);
    }
  }
  ::CoTaskMemFree(pages.pElems);
}

}  // namespace tidewire
