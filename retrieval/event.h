#pragma once
// A signalled/non-signalled flag that threads can wait on, with the two reset behaviours of a
// Windows event: manual reset (stays signalled until Reset) and auto reset (one successful wait
// consumes the signal).

#include <chrono>
#include <condition_variable>
#include <mutex>

namespace tidewire {

class Event {
 public:
  enum class Mode { ManualReset, AutoReset };

  explicit Event(Mode mode, bool signalled = false);
  Event(const Event&) = delete;
  Event& operator=(const Event&) = delete;

  void Set();
  void Reset();

  // Waits until the event is signalled; an auto-reset event is then reset again.
  void Wait();
  // As Wait, for at most `timeout`. Returns true when the event was signalled.
  bool WaitFor(std::chrono::milliseconds timeout);

 private:
  bool ConsumeLocked();

  const Mode mode_;
  std::mutex mutex_;
  std::condition_variable changed_;
  bool signalled_;
};

}  // namespace tidewire
