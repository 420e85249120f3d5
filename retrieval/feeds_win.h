#pragma once
// Builds the download manager of a control on Windows: WinINet, a message posted after every
// publication, the debugger output and the MSXML document reader.

#include <windows.h>

#include <memory>

#include "retrieval/feeds.h"
#include "retrieval/feeds_platform.h"

namespace tidewire {

// The Windows pieces, for a control whose hidden window `notifyWindow` receives `notifyMessage`
// (both parameters 0) after every publication.
FeedsPlatform CreateFeedsPlatform(HWND notifyWindow, UINT notifyMessage);

// A Feeds with those pieces. The owner sets the reload period and then the lists.
std::unique_ptr<Feeds> CreateFeeds(HWND notifyWindow, UINT notifyMessage);

}  // namespace tidewire
