#pragma once
// Fetching one feed document: the address opened with its redirections followed up to a bound,
// the body read in chunks with a size bound, the whole within a deadline. The download worker
// reads every feed of a pass this way, and the preview tool reads an address the same way.

#include <atomic>
#include <chrono>
#include <cstddef>
#include <memory>
#include <string>
#include <string_view>

#include "retrieval/http_client.h"

namespace tidewire {

// Bodies are read in chunks of this size.
inline constexpr std::size_t FeedChunkBytes = 2048;
// A larger response body is abandoned: one feed must not exhaust the host's memory.
inline constexpr std::size_t MaxFeedDocumentBytes = std::size_t{32} << 20;
// A feed that is not read this long after it was opened is given up for the pass: no server can
// hold a pass for longer.
inline constexpr std::chrono::milliseconds FeedDocumentDeadline{60000};
// Redirections followed for one feed in one pass; a longer chain, or a loop, ends the feed.
inline constexpr int MaxRedirects = 10;

enum class FeedFetchStatus {
  Complete,          // `document` holds the whole body
  NoSession,         // no HTTP session could be opened
  CannotOpen,        // the address could not be opened (no connection, no response)
  TooManyRedirects,  // the address redirected more than MaxRedirects times
  InsecureRedirect,  // an https address redirected to an http one, which is not followed
  ReadFailed,        // a read of the body failed, was aborted or ran past the deadline
  TooLarge,          // the body exceeds MaxFeedDocumentBytes
  Stopped,           // the caller's stop flag was raised while reading
};

struct FeedFetchResult {
  FeedFetchStatus status = FeedFetchStatus::Complete;
  std::string document;  // empty unless the status is Complete
};

// The address opened in `session`, redirections to web addresses followed (at most
// MaxRedirects, never from https to http): the final response's request, or null with
// CannotOpen, TooManyRedirects or InsecureRedirect.
struct OpenedFeed {
  std::unique_ptr<HttpRequest> request;
  FeedFetchStatus status = FeedFetchStatus::Complete;
};
OpenedFeed OpenFeed(HttpSession& session, std::u16string_view url);

// Reads the rest of the body of `request` in FeedChunkBytes chunks. `stop`, when given, is
// polled after every chunk. The document keeps std::string's terminating zero, which the
// decoder relies on.
FeedFetchResult ReadFeedBody(HttpRequest& request, const std::atomic<bool>* stop = nullptr);

// One address in one pass: a session of its own, the request, the whole body, within `deadline`.
FeedFetchResult FetchFeedDocument(HttpClient& http, std::u16string_view url,
                                  std::chrono::milliseconds deadline = FeedDocumentDeadline);

// Why a fetch failed, in a few words ("Feed too large"); empty for Complete.
std::string_view FeedFetchFailure(FeedFetchStatus status);

}  // namespace tidewire
