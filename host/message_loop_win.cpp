#include "host/message_loop_win.h"

#include <algorithm>

namespace tidewire {
namespace {

thread_local MessageLoop* currentLoop = nullptr;

template <typename Hook>
void Remove(std::vector<Hook*>& hooks, Hook& hook) {
  hooks.erase(std::remove(hooks.begin(), hooks.end(), &hook), hooks.end());
}

}  // namespace

MessageLoop* MessageLoop::ForCurrentThread() { return currentLoop; }

void MessageLoop::AddMessageFilter(MessageFilter& filter) { filters_.push_back(&filter); }

void MessageLoop::RemoveMessageFilter(MessageFilter& filter) { Remove(filters_, filter); }

void MessageLoop::AddIdleHandler(IdleHandler& handler) { idleHandlers_.push_back(&handler); }

void MessageLoop::RemoveIdleHandler(IdleHandler& handler) { Remove(idleHandlers_, handler); }

int MessageLoop::Run() {
  bool idle = true;
  MSG message{};
  for (;;) {
    while (idle && !::PeekMessageW(&message, nullptr, 0, 0, PM_NOREMOVE)) {
      idle = CallIdleHandlers();
    }
    const BOOL got = ::GetMessageW(&message, nullptr, 0, 0);
    if (got == -1) continue;
    if (got == 0) break;
    if (!PreTranslate(message)) {
      ::TranslateMessage(&message);
      ::DispatchMessageW(&message);
    }
    if (AllowsIdle(message)) idle = true;
  }
  return static_cast<int>(message.wParam);
}

// A hook may remove itself or others while it runs (its window closing): the walks check the
// index against the current size on every step.
bool MessageLoop::PreTranslate(MSG& message) {
  for (std::size_t at = filters_.size(); at > 0; --at) {
    if (at <= filters_.size() && filters_[at - 1]->PreTranslateMessage(message)) return true;
  }
  return false;
}

bool MessageLoop::CallIdleHandlers() {
  bool more = false;
  for (std::size_t at = 0; at < idleHandlers_.size(); ++at) {
    more = idleHandlers_[at]->OnIdle() || more;
  }
  return more;
}

bool MessageLoop::AllowsIdle(const MSG& message) {
  switch (message.message) {
    case WM_MOUSEMOVE:
    case WM_NCMOUSEMOVE:
    case WM_PAINT:
    case 0x0118:  // WM_SYSTIMER, the caret's blink timer
      return false;
    default: return true;
  }
}

LoopRegistration::LoopRegistration(MessageLoop& loop) : previous_(currentLoop) {
  currentLoop = &loop;
}

LoopRegistration::~LoopRegistration() { currentLoop = previous_; }

}  // namespace tidewire
