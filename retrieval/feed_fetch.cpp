#include "retrieval/feed_fetch.h"

#include <array>
#include <memory>
#include <optional>

namespace tidewire {

FeedFetchResult ReadFeedBody(HttpRequest& request, const std::atomic<bool>* stop) {
  FeedFetchResult result;
  std::array<char, FeedChunkBytes> chunk;
  for (;;) {
    std::optional<std::size_t> count = request.Read(chunk);
    if (!count) return {FeedFetchStatus::ReadFailed, {}};
    if (*count == 0) return result;
    if (stop != nullptr && stop->load()) return {FeedFetchStatus::Stopped, {}};
    if (*count > MaxFeedDocumentBytes - result.document.size()) {
      return {FeedFetchStatus::TooLarge, {}};
    }
    // std::string grows geometrically.
    result.document.append(chunk.data(), *count);
  }
}

FeedFetchResult FetchFeedDocument(HttpClient& http, std::u16string_view url) {
  std::unique_ptr<HttpSession> session = http.OpenSession();
  if (!session) return {FeedFetchStatus::NoSession, {}};
  // Declared after the session, so the request is closed before its session.
  std::unique_ptr<HttpRequest> request = session->OpenUrl(url);
  if (!request) return {FeedFetchStatus::CannotOpen, {}};
  return ReadFeedBody(*request);
}

std::string_view FeedFetchFailure(FeedFetchStatus status) {
  switch (status) {
    case FeedFetchStatus::Complete: return {};
    case FeedFetchStatus::NoSession: return "no internet session could be opened";
    case FeedFetchStatus::CannotOpen: return "cannot connect or no response";
    case FeedFetchStatus::ReadFailed: return "reading the response failed";
    case FeedFetchStatus::TooLarge: return "Feed too large";
    case FeedFetchStatus::Stopped: return "stopped";
  }
  return {};
}

}  // namespace tidewire
