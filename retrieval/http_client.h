#pragma once
// The HTTP seam of the download worker: a session per feed, a request per address, the body read
// in chunks, and an abort that another thread may call while a read is blocked.

#include <cstddef>
#include <memory>
#include <optional>
#include <span>
#include <string_view>

namespace tidewire {

class HttpRequest {
 public:
  virtual ~HttpRequest() = default;

  // Reads the next part of the response body into `buffer`. Returns the number of bytes read,
  // 0 at the end of the body, or nothing when the read failed or the request was aborted. A read
  // may wait until the buffer is full or the body has ended (WinINet does).
  virtual std::optional<std::size_t> Read(std::span<char> buffer) = 0;

  // Thread-safe: makes a read in progress return with failure, and every later read fail. The
  // object stays valid until its owner deletes it.
  virtual void Abort() noexcept = 0;
};

class HttpSession {
 public:
  virtual ~HttpSession() = default;

  // Opens the address exactly as given; the request is positioned at the start of the body.
  // Returns null when the address cannot be opened.
  virtual std::unique_ptr<HttpRequest> OpenUrl(std::u16string_view url) = 0;

  // Thread-safe: makes an OpenUrl in progress (connecting, waiting for the response) return
  // null, and every later one too. The object stays valid until its owner deletes it.
  virtual void Abort() noexcept = 0;
};

class HttpClient {
 public:
  virtual ~HttpClient() = default;

  // A new session, used for one feed and then closed. Null when none can be opened.
  virtual std::unique_ptr<HttpSession> OpenSession() = 0;
};

}  // namespace tidewire
