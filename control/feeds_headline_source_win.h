#pragma once
// The control's headline source as the control normally makes it: the download manager with the
// system's HTTP client, posting NextHeadlineMessage to the control's hidden window.

#include <windows.h>

#include <memory>

#include "control/headline_source.h"

namespace tidewire {

std::unique_ptr<HeadlineSource> CreateFeedsHeadlineSource(HWND notifyWindow);

}  // namespace tidewire
