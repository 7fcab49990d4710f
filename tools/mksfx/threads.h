// Threads, a lock and a wake-up for mksfx's workers and its progress bar:
// the C++ library's where it has them, the Win32 calls in the mingw build
// (its library, of the win32 thread model, has no std::thread or std::mutex).
#pragma once
#include <functional>
#ifdef _WIN32
#include <windows.h>
#else
#include <chrono>
#include <condition_variable>
#include <mutex>
#include <thread>
#endif

namespace mksfx {

// The processors this process may run on; at least 1.
unsigned CoreCount();

class Mutex {
 public:
#ifdef _WIN32
  Mutex() { InitializeSRWLock(&lock_); }
  void Lock() { AcquireSRWLockExclusive(&lock_); }
  void Unlock() { ReleaseSRWLockExclusive(&lock_); }
#else
  Mutex() = default;
  void Lock() { lock_.lock(); }
  void Unlock() { lock_.unlock(); }
#endif
  Mutex(const Mutex&) = delete;
  Mutex& operator=(const Mutex&) = delete;

 private:
  friend class Wakeup;
#ifdef _WIN32
  SRWLOCK lock_;
#else
  std::mutex lock_;
#endif
};

// The lock held for one scope.
class Locked {
 public:
  explicit Locked(Mutex& m) : m_(m) { m_.Lock(); }
  ~Locked() { m_.Unlock(); }
  Locked(const Locked&) = delete;
  Locked& operator=(const Locked&) = delete;

 private:
  Mutex& m_;
};

// Waiting, with a mutex held, until another thread says something changed.
class Wakeup {
 public:
#ifdef _WIN32
  Wakeup() { InitializeConditionVariable(&cv_); }
  void Wait(Mutex& m) { SleepConditionVariableSRW(&cv_, &m.lock_, INFINITE, 0); }
  // false when the time ran out
  bool WaitFor(Mutex& m, unsigned ms) { return SleepConditionVariableSRW(&cv_, &m.lock_, ms, 0) != 0; }
  void All() { WakeAllConditionVariable(&cv_); }
#else
  Wakeup() = default;
  void Wait(Mutex& m) {
    std::unique_lock<std::mutex> held(m.lock_, std::adopt_lock);
    cv_.wait(held);
    held.release();
  }
  bool WaitFor(Mutex& m, unsigned ms) {
    std::unique_lock<std::mutex> held(m.lock_, std::adopt_lock);
    bool woken = cv_.wait_for(held, std::chrono::milliseconds(ms)) == std::cv_status::no_timeout;
    held.release();
    return woken;
  }
  void All() { cv_.notify_all(); }
#endif
  Wakeup(const Wakeup&) = delete;
  Wakeup& operator=(const Wakeup&) = delete;

 private:
#ifdef _WIN32
  CONDITION_VARIABLE cv_;
#else
  std::condition_variable cv_;
#endif
};

// A thread running one function; joined by Join or the destructor. It
// starts with SIGINT, SIGTERM and SIGHUP held back, so that only the main
// thread runs mksfx's clean-up on a signal (interrupt.h).
class Thread {
 public:
  explicit Thread(std::function<void()> body);
  ~Thread() { Join(); }
  void Join();
  Thread(const Thread&) = delete;
  Thread& operator=(const Thread&) = delete;

 private:
  std::function<void()> body_;
#ifdef _WIN32
  static DWORD WINAPI Run(void* self);
  HANDLE handle_ = nullptr;
#else
  std::thread thread_;
#endif
};

}  // namespace mksfx
