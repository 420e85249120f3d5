#pragma once
// HTTP through WinINet in asynchronous mode: the system's proxy settings, no user interface,
// caching as the system does it, redirections reported rather than followed, and every wait for
// the network bounded by the session's deadline and ended at once by an abort.

#include <windows.h>
#include <wininet.h>

#include <chrono>
#include <memory>

#include "retrieval/http_client.h"

namespace tidewire {

// The system's own timeouts are long (under Wine there are none for sending and receiving): a
// silent server would hold a feed, and with it the pass, for as long as it stays silent.
inline constexpr std::chrono::milliseconds DefaultNetworkTimeout{30000};

struct WinInetTimeouts {
  std::chrono::milliseconds connect = DefaultNetworkTimeout;
  std::chrono::milliseconds send = DefaultNetworkTimeout;
  std::chrono::milliseconds receive = DefaultNetworkTimeout;
};

class WinInetClient : public HttpClient {
 public:
  explicit WinInetClient(WinInetTimeouts timeouts = {}) : timeouts_(timeouts) {}

  std::unique_ptr<HttpSession> OpenSession(HttpDeadline deadline) override;

 private:
  WinInetTimeouts timeouts_;
};

}  // namespace tidewire
