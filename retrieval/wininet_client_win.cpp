#include "retrieval/wininet_client_win.h"

#include <algorithm>
#include <array>
#include <cstdint>
#include <condition_variable>
#include <mutex>
#include <string>
#include <unordered_map>
#include <utility>

#include "retrieval/feed_fetch.h"
#include "win/handles.h"
#include "win/module.h"

namespace tidewire {
namespace {

static_assert(sizeof(wchar_t) == sizeof(char16_t), "Windows text is UTF-16");

// Why asynchronous mode: a call blocked in a silent socket is not ended by closing its handle
// from another thread (Wine's WinINet goes on waiting), so a stop could not be made independent
// of the network. In asynchronous mode the worker waits for a call's completion together with
// the abort event and the deadline, and may stop waiting at any moment.

enum class Call { None, Open, Read };

// One session's traffic with WinINet: what the status callback reports, and what a call in
// progress writes into. After a stop or the deadline WinINet may go on with a call whose caller
// no longer waits, so the callback finds this by the context value in the registry below, and
// the registry keeps it for as long as WinINet may still call back for it: until the request
// handle made for it has reported INTERNET_STATUS_HANDLE_CLOSING, which WinINet documents as
// the last report on a handle, or, when no handle was made, until the call has completed.
struct Operation {
  explicit Operation(const WinInetTimeouts& requestTimeouts) : timeouts(requestTimeouts) {}

  const WinInetTimeouts timeouts;
  // Auto-reset; signalled when a call that went on asynchronously has completed.
  const UniqueKernelHandle completed{::CreateEventW(nullptr, FALSE, FALSE, nullptr)};

  std::mutex mutex;
  Call pending = Call::None;       // guarded by mutex
  bool abandoned = false;          // guarded by mutex: nobody waits for the pending call
  // Guarded by mutex: the request handle that INTERNET_STATUS_HANDLE_CREATED reported, until it
  // reports INTERNET_STATUS_HANDLE_CLOSING (closingReported is then set) or the session closes
  // it after taking its callback away.
  HINTERNET request = nullptr;
  bool requestClosing = false;  // its close after an abandonment has begun
  bool closingReported = false;
  // Guarded by mutex: a handle that this module is closing after an abandonment. Its closing
  // report waits for that close to return, so that the handle value cannot be freed and given
  // to another request while it is being closed here.
  HINTERNET closingHere = nullptr;
  DWORD closingThread = 0;
  std::condition_variable closedHere;
  INTERNET_ASYNC_RESULT result{};  // guarded by mutex: of the last completed call
  // Written by WinINet while a read is in progress, also after an abandonment.
  DWORD bytesRead = 0;
  std::array<char, FeedChunkBytes> buffer{};

  // Guarded by mutex: whether WinINet can no longer report anything for an abandoned call.
  bool Finished() const {
    return abandoned && request == nullptr && closingHere == nullptr &&
           (closingReported || pending == Call::None);
  }
};

class OperationRegistry {
 public:
  static OperationRegistry& Instance() {
    static OperationRegistry registry;
    return registry;
  }

  // A context value for WinINet: never 0, for which WinINet reports nothing.
  DWORD_PTR Add(std::shared_ptr<Operation> operation) {
    std::lock_guard guard(mutex_);
    do {
      ++last_;
    } while (last_ == 0 || operations_.count(last_) != 0);
    operations_.emplace(last_, std::move(operation));
    return last_;
  }

  std::shared_ptr<Operation> Find(DWORD_PTR context) {
    std::lock_guard guard(mutex_);
    const auto found = operations_.find(context);
    return found == operations_.end() ? nullptr : found->second;
  }

  void Remove(DWORD_PTR context) {
    std::lock_guard guard(mutex_);
    operations_.erase(context);
  }

 private:
  std::mutex mutex_;
  std::unordered_map<DWORD_PTR, std::shared_ptr<Operation>> operations_;
  DWORD_PTR last_ = 0;
};

DWORD Milliseconds(std::chrono::milliseconds duration) {
  return static_cast<DWORD>(
      std::clamp<std::chrono::milliseconds::rep>(duration.count(), 0, INFINITE - 1));
}

void SetTimeouts(HINTERNET handle, const WinInetTimeouts& timeouts) {
  for (const auto& [option, duration] :
       {std::pair{INTERNET_OPTION_CONNECT_TIMEOUT, timeouts.connect},
        std::pair{INTERNET_OPTION_SEND_TIMEOUT, timeouts.send},
        std::pair{INTERNET_OPTION_RECEIVE_TIMEOUT, timeouts.receive}}) {
    DWORD value = Milliseconds(duration);
    ::InternetSetOptionW(handle, option, &value, sizeof value);
  }
}

// Unregisters an abandoned operation once WinINet can no longer report anything for it.
void ReleaseIfFinished(DWORD_PTR context, Operation& operation) {
  bool finished;
  {
    std::lock_guard guard(operation.mutex);
    finished = operation.Finished();
  }
  if (finished) OperationRegistry::Instance().Remove(context);
}

// Closes the request of an abandoned call, once, as WinINet documents for a request that takes
// too long: the handle that INTERNET_STATUS_HANDLE_CREATED reported may be closed from another
// thread, and the pending call then completes with an error.
void CloseAbandonedRequest(DWORD_PTR context, Operation& operation) {
  HINTERNET handle;
  {
    std::lock_guard guard(operation.mutex);
    if (operation.request == nullptr || operation.requestClosing) return;
    operation.requestClosing = true;
    handle = operation.closingHere = operation.request;
    operation.closingThread = ::GetCurrentThreadId();
  }
  ::InternetCloseHandle(handle);
  {
    std::lock_guard guard(operation.mutex);
    operation.closingHere = nullptr;
  }
  operation.closedHere.notify_all();
  ReleaseIfFinished(context, operation);
}

void OnHandleCreated(DWORD_PTR context, Operation& operation, HINTERNET handle) {
  bool abandoned;
  {
    std::lock_guard guard(operation.mutex);
    operation.request = handle;
    operation.requestClosing = false;
    operation.closingReported = false;
    abandoned = operation.abandoned;
  }
  // Made after its caller gave up: closed at once, which ends the open.
  if (abandoned) {
    CloseAbandonedRequest(context, operation);
    return;
  }
  // Windows refuses options on a request whose open is still pending
  // (ERROR_INTERNET_INCORRECT_HANDLE_STATE) and gives it those of the internet handle; Wine takes
  // only the connect timeout from the internet handle and accepts these here. Neither is a bound
  // to rely on: the session's deadline is the one every wait in Run keeps.
  SetTimeouts(handle, operation.timeouts);
}

void OnRequestComplete(DWORD_PTR context, Operation& operation,
                       const INTERNET_ASYNC_RESULT& result) {
  {
    std::lock_guard guard(operation.mutex);
    if (operation.pending == Call::None) return;
    operation.result = result;
    const Call completed = std::exchange(operation.pending, Call::None);
    if (!operation.abandoned) {
      ::SetEvent(operation.completed.Get());
      return;
    }
    // Nobody waits: a request this open made that was never reported is closed here, and
    // followed until it reports its closing like any other.
    const auto opened = reinterpret_cast<HINTERNET>(result.dwResult);
    if (completed == Call::Open && opened != nullptr && operation.request == nullptr &&
        !operation.closingReported) {
      operation.request = opened;
      operation.requestClosing = false;
    }
  }
  CloseAbandonedRequest(context, operation);
  ReleaseIfFinished(context, operation);
}

void OnHandleClosing(DWORD_PTR context, Operation& operation, HINTERNET handle) {
  {
    std::unique_lock lock(operation.mutex);
    if (handle != operation.request) return;
    // Closed by this module on another thread: that close returns first (see closingHere).
    operation.closedHere.wait(lock, [&] {
      return operation.closingHere != handle ||
             operation.closingThread == ::GetCurrentThreadId();
    });
    operation.request = nullptr;
    operation.closingReported = true;
  }
  ReleaseIfFinished(context, operation);
}

void CALLBACK StatusCallback(HINTERNET, DWORD_PTR context, DWORD status, LPVOID information,
                             DWORD length) {
  // Of the many reports (resolving, connecting, sending, ...) only these three matter.
  if (information == nullptr ||
      (status != INTERNET_STATUS_HANDLE_CREATED && status != INTERNET_STATUS_REQUEST_COMPLETE &&
       status != INTERNET_STATUS_HANDLE_CLOSING)) {
    return;
  }
  try {
    const std::shared_ptr<Operation> operation = OperationRegistry::Instance().Find(context);
    if (!operation) return;
    switch (status) {
      case INTERNET_STATUS_HANDLE_CREATED:
        if (length >= sizeof(HINTERNET)) {
          OnHandleCreated(context, *operation, *static_cast<HINTERNET*>(information));
        }
        break;
      case INTERNET_STATUS_REQUEST_COMPLETE:
        if (length >= sizeof(INTERNET_ASYNC_RESULT)) {
          OnRequestComplete(context, *operation,
                            *static_cast<const INTERNET_ASYNC_RESULT*>(information));
        }
        break;
      case INTERNET_STATUS_HANDLE_CLOSING:
        if (length >= sizeof(HINTERNET)) {
          OnHandleClosing(context, *operation, *static_cast<HINTERNET*>(information));
        }
        break;
      default: break;
    }
  } catch (...) {
    // Nothing may leave a callback that WinINet calls; a lost report ends its call by the
    // deadline.
  }
}

// WinINet calls StatusCallback, code of this module, on threads of its own: a completion runs on
// after it has set the event that wakes the worker, and removing the callback does not wait for
// reports in flight. Once the last control is gone the module answers DllCanUnloadNow with yes,
// and a container's CoFreeUnusedLibraries could unload it under such a thread. So the first
// session pins the module: from then on it stays loaded for the life of the process.
void KeepModuleLoaded() {
  static std::once_flag pinned;
  std::call_once(pinned, [] {
    HMODULE module = nullptr;
    ::GetModuleHandleExW(GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS | GET_MODULE_HANDLE_EX_FLAG_PIN,
                         reinterpret_cast<LPCWSTR>(CodeModule()), &module);
  });
}

bool IsRedirectStatus(DWORD status) {
  return status == 301 || status == 302 || status == 303 || status == 307 || status == 308;
}

// A header as text; empty when the response has none.
std::wstring QueryHeader(HINTERNET request, DWORD header) {
  std::wstring value(256, L'\0');
  for (;;) {
    DWORD bytes = static_cast<DWORD>(value.size() * sizeof(wchar_t));
    if (::HttpQueryInfoW(request, header, value.data(), &bytes, nullptr)) {
      value.resize(bytes / sizeof(wchar_t));
      return value;
    }
    if (::GetLastError() != ERROR_INSUFFICIENT_BUFFER) return {};
    value.resize(bytes / sizeof(wchar_t) + 1);
  }
}

// Where a redirection points, as an absolute address; nothing for any other response.
std::optional<std::u16string> RedirectTarget(HINTERNET request, const std::wstring& address) {
  DWORD status = 0;
  DWORD size = sizeof status;
  if (!::HttpQueryInfoW(request, HTTP_QUERY_STATUS_CODE | HTTP_QUERY_FLAG_NUMBER, &status, &size,
                        nullptr) ||
      !IsRedirectStatus(status)) {
    return std::nullopt;
  }
  const std::wstring location = QueryHeader(request, HTTP_QUERY_LOCATION);
  if (location.empty()) return std::nullopt;
  std::wstring target(address.size() + location.size() + 64, L'\0');
  for (;;) {
    DWORD length = static_cast<DWORD>(target.size());
    if (::InternetCombineUrlW(address.c_str(), location.c_str(), target.data(), &length, 0)) {
      target.resize(length);
      return std::u16string(target.begin(), target.end());
    }
    if (::GetLastError() != ERROR_INSUFFICIENT_BUFFER || length < target.size()) {
      // Unresolvable: refused like any address that is not on the web.
      return std::u16string();
    }
    target.resize(length + 1);
  }
}

// The body length the response announces; nothing when it announces none or one that is not a
// plain decimal number.
std::optional<std::uint64_t> AnnouncedLength(HINTERNET request) {
  const std::wstring value = QueryHeader(request, HTTP_QUERY_CONTENT_LENGTH);
  if (value.empty() || value.size() > 19) return std::nullopt;
  std::uint64_t length = 0;
  for (const wchar_t digit : value) {
    if (digit < L'0' || digit > L'9') return std::nullopt;
    length = length * 10 + static_cast<std::uint64_t>(digit - L'0');
  }
  return length;
}

class WinInetSession;

class WinInetRequest : public HttpRequest {
 public:
  WinInetRequest(WinInetSession& session, HINTERNET handle)
      : session_(session), handle_(handle), announced_(AnnouncedLength(handle)) {}
  ~WinInetRequest() override;

  // WinINet ends the body without an error when the server closes or resets the connection
  // early; a body shorter than its announced length is a failed read here, not a shorter feed.
  std::optional<std::size_t> Read(std::span<char> buffer) override;
  void Abort() noexcept override;

 private:
  WinInetSession& session_;
  HINTERNET handle_;
  const std::optional<std::uint64_t> announced_;
  std::uint64_t received_ = 0;
};

// One internet handle with at most one request at a time. Calls run asynchronously and are
// waited for on the calling thread together with the abort event and the deadline.
class WinInetSession : public HttpSession {
 public:
  WinInetSession(UniqueInternetHandle internet, const WinInetTimeouts& timeouts,
                 HttpDeadline deadline)
      : internet_(std::move(internet)),
        operation_(std::make_shared<Operation>(timeouts)),
        context_(OperationRegistry::Instance().Add(operation_)),
        deadline_(deadline) {}

  ~WinInetSession() override {
    // Given up: the operation stays registered until WinINet has completed the call in progress.
    if (gaveUp_) return;
    CloseRequest(request_.Get());
    // Nothing is in progress: unregistered first, the handle reports nothing once closed.
    ::InternetSetStatusCallbackW(internet_.Get(), nullptr);
    internet_.Reset();
    OperationRegistry::Instance().Remove(context_);
  }

  bool Usable() const { return internet_ && abort_ && operation_->completed; }

  HttpResponse Open(std::u16string_view url) override {
    CloseRequest(request_.Get());
    if (!MayCall()) return {};
    const std::wstring address(url.begin(), url.end());
    HINTERNET opened = nullptr;
    const bool done = Run(Call::Open, [&] {
      opened = ::InternetOpenUrlW(internet_.Get(), address.c_str(), nullptr, 0,
                                  INTERNET_FLAG_NO_UI | INTERNET_FLAG_NO_AUTO_REDIRECT, context_);
      return opened != nullptr;
    });
    if (!done) return {};
    if (opened == nullptr) {
      std::lock_guard guard(operation_->mutex);
      opened = reinterpret_cast<HINTERNET>(operation_->result.dwResult);
    }
    if (opened == nullptr) return {};
    request_.Reset(opened);
    {
      std::lock_guard guard(operation_->mutex);
      operation_->request = opened;
      operation_->requestClosing = false;
    }
    HttpResponse response;
    response.redirect = RedirectTarget(opened, address);
    response.request = std::make_unique<WinInetRequest>(*this, opened);
    return response;
  }

  void Abort() noexcept override { ::SetEvent(abort_.Get()); }

  std::optional<std::size_t> Read(HINTERNET request, std::span<char> buffer) {
    if (request != request_.Get() || !request_ || !MayCall()) return std::nullopt;
    Operation& operation = *operation_;
    const DWORD size = static_cast<DWORD>(std::min(buffer.size(), operation.buffer.size()));
    operation.bytesRead = 0;
    bool completedAtOnce = false;
    const bool done = Run(Call::Read, [&] {
      completedAtOnce =
          ::InternetReadFile(request, operation.buffer.data(), size, &operation.bytesRead) != FALSE;
      return completedAtOnce;
    });
    if (!done) return std::nullopt;
    std::lock_guard guard(operation.mutex);
    if (!completedAtOnce && operation.result.dwResult == FALSE) return std::nullopt;
    std::copy_n(operation.buffer.data(), operation.bytesRead, buffer.data());
    return operation.bytesRead;
  }

  void CloseRequest(HINTERNET request) {
    if (request == nullptr || request != request_.Get()) return;
    {
      std::lock_guard guard(operation_->mutex);
      operation_->request = nullptr;
    }
    ::InternetSetStatusCallbackW(request, nullptr);
    request_.Reset();
  }

 private:
  // Neither given up nor aborted, and before the deadline.
  bool MayCall() const {
    return !gaveUp_ && ::WaitForSingleObject(abort_.Get(), 0) == WAIT_TIMEOUT &&
           std::chrono::steady_clock::now() < deadline_;
  }

  // Runs one WinINet call: `start` makes it and says whether it succeeded at once. A call that
  // goes on asynchronously is waited for; true when it succeeded at once or completed (its
  // result is then in the operation), false when it failed, or was given up at an abort or the
  // deadline.
  template <typename Start>
  bool Run(Call call, Start start) {
    ::ResetEvent(operation_->completed.Get());
    {
      std::lock_guard guard(operation_->mutex);
      operation_->pending = call;
    }
    const bool succeeded = start();
    const DWORD error = ::GetLastError();
    if (succeeded || error != ERROR_IO_PENDING) {
      std::lock_guard guard(operation_->mutex);
      operation_->pending = Call::None;
      return succeeded;
    }
    const HANDLE events[] = {operation_->completed.Get(), abort_.Get()};
    const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
        deadline_ - std::chrono::steady_clock::now());
    ::WaitForMultipleObjects(2, events, FALSE, Milliseconds(left));
    {
      std::lock_guard guard(operation_->mutex);
      // Completed, perhaps at the very moment the wait ended otherwise.
      if (operation_->pending == Call::None) return true;
      operation_->abandoned = true;
    }
    GiveUp();
    return false;
  }

  // Stops waiting for the call in progress. Closing its request (the one this session holds, or
  // the one an open in progress reported) makes WinINet end the call; the internet handle goes
  // too. The operation, with the buffer WinINet may still write into, stays registered until
  // the request has reported its closing (see Operation).
  void GiveUp() {
    gaveUp_ = true;
    static_cast<void>(request_.Take());  // closed through the operation, exactly once
    CloseAbandonedRequest(context_, *operation_);
    internet_.Reset();
    ReleaseIfFinished(context_, *operation_);
  }

  UniqueInternetHandle internet_;
  const std::shared_ptr<Operation> operation_;
  const DWORD_PTR context_;
  const HttpDeadline deadline_;
  // Manual-reset: once aborted, the session stays aborted.
  const UniqueKernelHandle abort_{::CreateEventW(nullptr, TRUE, FALSE, nullptr)};
  UniqueInternetHandle request_;
  bool gaveUp_ = false;
};

WinInetRequest::~WinInetRequest() { session_.CloseRequest(handle_); }

std::optional<std::size_t> WinInetRequest::Read(std::span<char> buffer) {
  const std::optional<std::size_t> count = session_.Read(handle_, buffer);
  if (!count) return std::nullopt;
  received_ += *count;
  if (*count == 0 && announced_ && received_ < *announced_) return std::nullopt;
  return count;
}

void WinInetRequest::Abort() noexcept { session_.Abort(); }

}  // namespace

std::unique_ptr<HttpSession> WinInetClient::OpenSession(HttpDeadline deadline) {
  KeepModuleLoaded();
  UniqueInternetHandle internet(::InternetOpenW(nullptr, INTERNET_OPEN_TYPE_PRECONFIG, nullptr,
                                                nullptr, INTERNET_FLAG_ASYNC));
  if (!internet) return nullptr;
  SetTimeouts(internet.Get(), timeouts_);
  if (::InternetSetStatusCallbackW(internet.Get(), &StatusCallback) ==
      INTERNET_INVALID_STATUS_CALLBACK) {
    return nullptr;
  }
  auto session = std::make_unique<WinInetSession>(std::move(internet), timeouts_, deadline);
  if (!session->Usable()) return nullptr;
  return session;
}

}  // namespace tidewire
