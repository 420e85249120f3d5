#include "retrieval/wininet_client_win.h"

#include <atomic>
#include <string>
#include <utility>

namespace tidewire {
namespace {

static_assert(sizeof(wchar_t) == sizeof(char16_t), "Windows text is UTF-16");

class WinInetRequest : public HttpRequest {
 public:
  explicit WinInetRequest(UniqueInternetHandle request) : request_(std::move(request)) {}

  ~WinInetRequest() override {
    // An aborted request was closed by Abort already.
    if (aborted_.load()) static_cast<void>(request_.Take());
  }

  std::optional<std::size_t> Read(std::span<char> buffer) override {
    if (aborted_.load()) return std::nullopt;
    DWORD count = 0;
    if (!::InternetReadFile(request_.Get(), buffer.data(), static_cast<DWORD>(buffer.size()),
                            &count)) {
      return std::nullopt;
    }
    return count;
  }

  void Abort() noexcept override {
    // Closing the handle from this thread makes a read blocked in it return with failure; the
    // wrapper keeps the value (it is not changed while another thread may read it).
    bool expected = false;
    if (aborted_.compare_exchange_strong(expected, true)) ::InternetCloseHandle(request_.Get());
  }

 private:
  UniqueInternetHandle request_;
  std::atomic<bool> aborted_{false};
};

class WinInetSession : public HttpSession {
 public:
  explicit WinInetSession(UniqueInternetHandle internet) : internet_(std::move(internet)) {}

  ~WinInetSession() override {
    if (aborted_.load()) static_cast<void>(internet_.Take());
  }

  std::unique_ptr<HttpRequest> OpenUrl(std::u16string_view url) override {
    const std::wstring address(url.begin(), url.end());
    UniqueInternetHandle request(
        ::InternetOpenUrlW(internet_.Get(), address.c_str(), nullptr, 0, INTERNET_FLAG_NO_UI, 0));
    if (!request) return nullptr;
    return std::make_unique<WinInetRequest>(std::move(request));
  }

  void Abort() noexcept override {
    // Closing the internet handle ends the operations in progress on its child handles.
    bool expected = false;
    if (aborted_.compare_exchange_strong(expected, true)) ::InternetCloseHandle(internet_.Get());
  }

 private:
  UniqueInternetHandle internet_;
  std::atomic<bool> aborted_{false};
};

}  // namespace

std::unique_ptr<HttpSession> WinInetClient::OpenSession() {
  UniqueInternetHandle internet(
      ::InternetOpenW(nullptr, INTERNET_OPEN_TYPE_PRECONFIG, nullptr, nullptr, 0));
  if (!internet) return nullptr;
  return std::make_unique<WinInetSession>(std::move(internet));
}

}  // namespace tidewire
