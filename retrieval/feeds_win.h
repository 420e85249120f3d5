#pragma once
// Builds the download manager of a control on Windows: WinINet, the posted NextHeadlineMessage,
// the debugger output and the MSXML document reader.

#include <windows.h>

#include <memory>

#include "retrieval/feeds.h"
#include "retrieval/feeds_platform.h"

namespace tidewire {

// The Windows pieces, for a control whose hidden window is `notifyWindow`.
FeedsPlatform CreateFeedsPlatform(HWND notifyWindow);

// A Feeds with those pieces. The owner sets the reload period and then the lists.
std::unique_ptr<Feeds> CreateFeeds(HWND notifyWindow);

}  // namespace tidewire
