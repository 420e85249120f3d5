#pragma once
// Fetching one feed document: the body read in chunks with a size bound. The download worker
// reads every feed of a pass this way, and the preview tool reads an address the same way.

#include <atomic>
#include <cstddef>
#include <string>
#include <string_view>

#include "retrieval/http_client.h"

namespace tidewire {

// Bodies are read in chunks of this size.
inline constexpr std::size_t FeedChunkBytes = 2048;
// A larger response body is abandoned: one feed must not exhaust the host's memory.
inline constexpr std::size_t MaxFeedDocumentBytes = std::size_t{32} << 20;

enum class FeedFetchStatus {
  Complete,    // `document` holds the whole body
  NoSession,   // no HTTP session could be opened
  CannotOpen,  // the address could not be opened (no connection, no response)
  ReadFailed,  // a read of the body failed or was aborted
  TooLarge,    // the body exceeds MaxFeedDocumentBytes
  Stopped,     // the caller's stop flag was raised while reading
};

struct FeedFetchResult {
  FeedFetchStatus status = FeedFetchStatus::Complete;
  std::string document;  // empty unless the status is Complete
};

// Reads the rest of the body of `request` in FeedChunkBytes chunks. `stop`, when given, is
// polled after every chunk. The document keeps std::string's terminating zero, which the
// decoder relies on.
FeedFetchResult ReadFeedBody(HttpRequest& request, const std::atomic<bool>* stop = nullptr);

// One address in one pass: a session of its own, the request, the whole body.
FeedFetchResult FetchFeedDocument(HttpClient& http, std::u16string_view url);

// Why a fetch failed, in a few words ("Feed too large"); empty for Complete.
std::string_view FeedFetchFailure(FeedFetchStatus status);

}  // namespace tidewire
