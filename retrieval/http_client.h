#pragma once
// The HTTP seam of the download worker: a session per document, a response per address opened,
// the body read in chunks, and an abort that another thread may call while a call is blocked.

#include <chrono>
#include <cstddef>
#include <memory>
#include <optional>
#include <span>
#include <string>
#include <string_view>

namespace tidewire {

// The moment after which a session's opens and reads fail.
using HttpDeadline = std::chrono::steady_clock::time_point;

class HttpRequest {
 public:
  virtual ~HttpRequest() = default;

  // Reads the next part of the response body into `buffer`. Returns the number of bytes read,
  // 0 at the end of the body, or nothing when the read failed, was aborted or ran past the
  // session's deadline. A body that ends before the length its response announced has failed. A read may wait until the buffer is full or the body has ended (WinINet
  // does).
  virtual std::optional<std::size_t> Read(std::span<char> buffer) = 0;

  // Thread-safe: makes a read in progress return with failure, and every later read fail. The
  // object stays valid until its owner deletes it.
  virtual void Abort() noexcept = 0;
};

// What the server answered when an address was opened.
struct HttpResponse {
  // The response, positioned at the start of its body; null when the address could not be
  // opened (no connection, no response, an abort or the deadline).
  std::unique_ptr<HttpRequest> request;
  // For a redirection (a 3xx status with a Location): the absolute address it points to. The
  // body of such a response is not meant to be read.
  std::optional<std::u16string> redirect;
};

class HttpSession {
 public:
  virtual ~HttpSession() = default;

  // Opens the address exactly as given, without following a redirection. One response at a
  // time: the previous one is deleted before the next address is opened.
  virtual HttpResponse Open(std::u16string_view url) = 0;

  // Thread-safe: makes an Open in progress (connecting, waiting for the response) give no
  // request, and every later one too; reads of its requests fail. The object stays valid until
  // its owner deletes it.
  virtual void Abort() noexcept = 0;
};

class HttpClient {
 public:
  virtual ~HttpClient() = default;

  // A new session, used for one document and then closed; every open and read in it fails once
  // `deadline` has passed. Null when none can be opened. Several threads may each open and use
  // sessions of their own at the same time.
  virtual std::unique_ptr<HttpSession> OpenSession(HttpDeadline deadline) = 0;
};

}  // namespace tidewire
