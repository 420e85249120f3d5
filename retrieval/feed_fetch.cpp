#include "retrieval/feed_fetch.h"

#include <array>
#include <optional>
#include <utility>

namespace tidewire {
namespace {

bool StartsWithIgnoringCase(std::u16string_view text, std::u16string_view prefix) {
  if (text.size() < prefix.size()) return false;
  for (std::size_t i = 0; i < prefix.size(); ++i) {
    char16_t c = text[i];
    if (c >= u'A' && c <= u'Z') c = static_cast<char16_t>(c - u'A' + u'a');
    if (c != prefix[i]) return false;
  }
  return true;
}

// A redirection is followed to the web only: never to a local file or another protocol.
bool IsSecureAddress(std::u16string_view url) { return StartsWithIgnoringCase(url, u"https://"); }

bool IsWebAddress(std::u16string_view url) {
  return StartsWithIgnoringCase(url, u"http://") || IsSecureAddress(url);
}

}  // namespace

OpenedFeed OpenFeed(HttpSession& session, std::u16string_view url) {
  std::u16string address(url);
  for (int followed = 0;; ++followed) {
    HttpResponse response = session.Open(address);
    if (!response.request) return {nullptr, FeedFetchStatus::CannotOpen};
    if (!response.redirect) return {std::move(response.request), FeedFetchStatus::Complete};
    if (followed == MaxRedirects) return {nullptr, FeedFetchStatus::TooManyRedirects};
    if (!IsWebAddress(*response.redirect)) return {nullptr, FeedFetchStatus::CannotOpen};
    // WinINet's own redirect handling refuses to leave HTTPS for HTTP (unless told
    // INTERNET_FLAG_IGNORE_REDIRECT_TO_HTTP); followed by hand, the same rule holds here, or a
    // network in the middle could turn every secure feed into a plain one.
    if (IsSecureAddress(address) && !IsSecureAddress(*response.redirect)) {
      return {nullptr, FeedFetchStatus::InsecureRedirect};
    }
    address = std::move(*response.redirect);
    // Closed unread before the next address is opened.
    response.request.reset();
  }
}

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

FeedFetchResult FetchFeedDocument(HttpClient& http, std::u16string_view url,
                                  std::chrono::milliseconds deadline) {
  std::unique_ptr<HttpSession> session =
      http.OpenSession(std::chrono::steady_clock::now() + deadline);
  if (!session) return {FeedFetchStatus::NoSession, {}};
  // Declared after the session, so the request is closed before its session.
  OpenedFeed opened = OpenFeed(*session, url);
  if (!opened.request) return {opened.status, {}};
  return ReadFeedBody(*opened.request);
}

std::string_view FeedFetchFailure(FeedFetchStatus status) {
  switch (status) {
    case FeedFetchStatus::Complete: return {};
    case FeedFetchStatus::NoSession: return "no internet session could be opened";
    case FeedFetchStatus::CannotOpen: return "cannot connect or no response";
    case FeedFetchStatus::TooManyRedirects: return "too many redirects";
    case FeedFetchStatus::InsecureRedirect: return "redirected from https to http";
    case FeedFetchStatus::ReadFailed: return "reading the response failed";
    case FeedFetchStatus::TooLarge: return "Feed too large";
    case FeedFetchStatus::Stopped: return "stopped";
  }
  return {};
}

}  // namespace tidewire
