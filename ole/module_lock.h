#pragma once
// The lock count of a COM server module: live objects plus locks taken through
// IClassFactory::LockServer. The module may be unloaded only while it is zero.

#include <windows.h>

#include <atomic>

namespace tidewire {

class ModuleLock {
 public:
  static void Lock() { ++count_; }
  static void Unlock() { --count_; }
  static LONG Count() { return count_.load(); }

 private:
  static inline std::atomic<LONG> count_{0};
};

// Held by every object that keeps the module loaded, for the object's lifetime.
class ModuleLockHolder {
 public:
  ModuleLockHolder() { ModuleLock::Lock(); }
  ~ModuleLockHolder() { ModuleLock::Unlock(); }
  ModuleLockHolder(const ModuleLockHolder&) = delete;
  ModuleLockHolder& operator=(const ModuleLockHolder&) = delete;
};

}  // namespace tidewire
