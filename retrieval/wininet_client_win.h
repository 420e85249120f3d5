#pragma once
// HTTP through WinINet: the system's proxy settings, no user interface, redirections and caching
// as the system does them by default.

#include <windows.h>
#include <wininet.h>

#include <memory>

#include "retrieval/http_client.h"
#include "retrieval/unique_handle_win.h"

namespace tidewire {

struct InternetHandleTraits {
  using Handle = HINTERNET;
  static constexpr Handle Empty() { return nullptr; }
  static void Close(Handle handle) { ::InternetCloseHandle(handle); }
};
using UniqueInternetHandle = UniqueHandle<InternetHandleTraits>;

class WinInetClient : public HttpClient {
 public:
  std::unique_ptr<HttpSession> OpenSession() override;
};

}  // namespace tidewire
