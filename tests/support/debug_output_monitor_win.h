#pragma once
// Collects the debugger output lines (OutputDebugString) of one process while it lives, as a
// debug monitor does: through the system-wide buffer and its two events.

#include <windows.h>

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstring>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "win/handles.h"

namespace tidewire::testing_support {

class DebugOutputMonitor {
 public:
  // Collects the lines of `process` (by default this one).
  explicit DebugOutputMonitor(DWORD process = ::GetCurrentProcessId()) : process_(process) {
    mapping_.Reset(::CreateFileMappingW(INVALID_HANDLE_VALUE, nullptr, PAGE_READWRITE, 0,
                                        BufferSize, L"DBWIN_BUFFER"));
    bufferReady_.Reset(::CreateEventW(nullptr, FALSE, TRUE, L"DBWIN_BUFFER_READY"));
    dataReady_.Reset(::CreateEventW(nullptr, FALSE, FALSE, L"DBWIN_DATA_READY"));
    if (!mapping_ || !bufferReady_ || !dataReady_) return;
    view_ = ::MapViewOfFile(mapping_.Get(), FILE_MAP_READ, 0, 0, BufferSize);
    if (view_ != nullptr) reader_ = std::thread([this] { Read(); });
  }
  ~DebugOutputMonitor() {
    stopping_ = true;
    if (reader_.joinable()) {
      ::SetEvent(dataReady_.Get());
      reader_.join();
    }
    if (view_ != nullptr) ::UnmapViewOfFile(view_);
  }
  DebugOutputMonitor(const DebugOutputMonitor&) = delete;
  DebugOutputMonitor& operator=(const DebugOutputMonitor&) = delete;

  bool Listening() const { return reader_.joinable(); }
  // The lines collected so far, each as written (with its line feed), once there are `count` of
  // them or `limit` has passed (a writer's line reaches the monitor after its call returned).
  std::vector<std::string> Lines(std::size_t count = 0,
                                 std::chrono::milliseconds limit = std::chrono::seconds(5)) const {
    std::unique_lock guard(lock_);
    arrived_.wait_for(guard, limit, [&] { return lines_.size() >= count; });
    return lines_;
  }

 private:
  // The buffer: the writer's process identifier, then its text, terminated.
  static constexpr DWORD BufferSize = 4096;

  void Read() {
    while (::WaitForSingleObject(dataReady_.Get(), INFINITE) == WAIT_OBJECT_0 && !stopping_) {
      DWORD writer = 0;
      std::memcpy(&writer, view_, sizeof(writer));
      const char* text = static_cast<const char*>(view_) + sizeof(writer);
      if (writer == process_) {
        const std::lock_guard guard(lock_);
        lines_.emplace_back(text, ::strnlen(text, BufferSize - sizeof(writer)));
        arrived_.notify_all();
      }
      ::SetEvent(bufferReady_.Get());
    }
  }

  DWORD process_;
  UniqueKernelHandle mapping_;
  UniqueKernelHandle bufferReady_;
  UniqueKernelHandle dataReady_;
  void* view_ = nullptr;
  std::atomic<bool> stopping_{false};
  mutable std::mutex lock_;
  mutable std::condition_variable arrived_;
  std::vector<std::string> lines_;
  std::thread reader_;
};

}  // namespace tidewire::testing_support
