#include "retrieval/event.h"

namespace tidewire {

Event::Event(Mode mode, bool signalled) : mode_(mode), signalled_(signalled) {}

void Event::Set() {
  {
    std::lock_guard lock(mutex_);
    signalled_ = true;
  }
  // An auto-reset event releases one waiter; a manual one releases all of them.
  if (mode_ == Mode::AutoReset) {
    changed_.notify_one();
  } else {
    changed_.notify_all();
  }
}

void Event::Reset() {
  std::lock_guard lock(mutex_);
  signalled_ = false;
}

bool Event::ConsumeLocked() {
  if (!signalled_) return false;
  if (mode_ == Mode::AutoReset) signalled_ = false;
  return true;
}

void Event::Wait() {
  std::unique_lock lock(mutex_);
  changed_.wait(lock, [this] { return signalled_; });
  ConsumeLocked();
}

bool Event::WaitFor(std::chrono::milliseconds timeout) {
  std::unique_lock lock(mutex_);
  // wait_until with a steady deadline: a very long period must not overflow a system-clock sum.
  const auto deadline = std::chrono::steady_clock::now() + timeout;
  changed_.wait_until(lock, deadline, [this] { return signalled_; });
  return ConsumeLocked();
}

}  // namespace tidewire
