#pragma once
// The system's property frame over one object's pages.

#include <ocidl.h>

namespace tidewire {

// Shows, modally over `owner`, the frame with the pages that `specify` names for `object`; nothing
// when it names none or its first page cannot be created in process.
void ShowPropertyFrame(HWND owner, ISpecifyPropertyPages& specify, IUnknown* object);

}  // namespace tidewire
