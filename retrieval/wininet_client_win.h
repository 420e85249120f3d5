#pragma once
// HTTP through WinINet: the system's proxy settings, no user interface, redirections and caching
// as the system does them by default.

#include <windows.h>
#include <wininet.h>

#include <memory>

#include "retrieval/http_client.h"
#include "win/handles.h"

namespace tidewire {

class WinInetClient : public HttpClient {
 public:
  std::unique_ptr<HttpSession> OpenSession() override;
};

}  // namespace tidewire
