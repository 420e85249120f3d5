#pragma once
// The program's message loop with its two hooks: message filters, which see every queued
// message before it is dispatched, and idle handlers, which run while the queue is empty.

#include <windows.h>

#include <vector>

namespace tidewire {

class MessageFilter {
 public:
  // Returns true when the message was consumed and must not be dispatched.
  virtual bool PreTranslateMessage(MSG& message) = 0;

 protected:
  ~MessageFilter() = default;
};

class IdleHandler {
 public:
  // Returns whether the handler wants more idle calls before the next message arrives.
  virtual bool OnIdle() = 0;

 protected:
  ~IdleHandler() = default;
};

class MessageLoop {
 public:
  MessageLoop() = default;
  MessageLoop(const MessageLoop&) = delete;
  MessageLoop& operator=(const MessageLoop&) = delete;

  // The loop registered for the calling thread (see LoopRegistration); null if none.
  static MessageLoop* ForCurrentThread();

  // Filters are offered a message newest first. A hook is removed before its owner goes.
  void AddMessageFilter(MessageFilter& filter);
  void RemoveMessageFilter(MessageFilter& filter);
  void AddIdleHandler(IdleHandler& handler);
  void RemoveIdleHandler(IdleHandler& handler);

  // Runs until WM_QUIT; returns its exit code.
  int Run();

 private:
  friend class LoopRegistration;

  bool PreTranslate(MSG& message);
  bool CallIdleHandlers();
  // Whether idle processing may run again after this message: not after the messages that
  // arrive in streams (mouse moves, paints, the caret's timer).
  static bool AllowsIdle(const MSG& message);

  std::vector<MessageFilter*> filters_;
  std::vector<IdleHandler*> idleHandlers_;
};

// Makes a loop the calling thread's loop for its lifetime.
class LoopRegistration {
 public:
  explicit LoopRegistration(MessageLoop& loop);
  ~LoopRegistration();
  LoopRegistration(const LoopRegistration&) = delete;
  LoopRegistration& operator=(const LoopRegistration&) = delete;

 private:
  MessageLoop* previous_;
};

}  // namespace tidewire
