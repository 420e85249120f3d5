#pragma once
// The lock count of a COM server module: live objects plus locks taken through
// IClassFactory::LockServer. The module may be unloaded only while it is zero.

#include <windows.h>

#include <atomic>

namespace tidewire {

class ModuleLock {
 public:
  static void Lock() { ++objects_; }
  static void Unlock() { --objects_; }
  // Locks of IClassFactory::LockServer, counted apart from the objects: an unlock that no lock
  // preceded (a client's mistake) changes nothing, rather than letting a live object's module go.
  static void LockServer() { ++serverLocks_; }
  static void UnlockServer() {
    LONG locks = serverLocks_.load();
    while (locks > 0 && !serverLocks_.compare_exchange_weak(locks, locks - 1)) {
    }
  }
  static LONG Count() { return objects_.load() + serverLocks_.load(); }

 private:
  static inline std::atomic<LONG> objects_{0};
  static inline std::atomic<LONG> serverLocks_{0};
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
