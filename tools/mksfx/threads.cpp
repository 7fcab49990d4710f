// Threads (threads.h).
#include "tools/mksfx/threads.h"
#include "tools/mksfx/common.h"
#include "tools/mksfx/interrupt.h"
#ifndef _WIN32
#include <sched.h>
#endif

namespace mksfx {

unsigned CoreCount() {
#ifdef _WIN32
  DWORD_PTR process = 0, system = 0;
  unsigned n = 0;
  if (GetProcessAffinityMask(GetCurrentProcess(), &process, &system))
    for (; process != 0; process &= process - 1) ++n;
  if (n == 0) {
    SYSTEM_INFO info;
    GetSystemInfo(&info);
    n = info.dwNumberOfProcessors;
  }
  return n == 0 ? 1 : n;
#else
  // The processors this process is allowed (taskset, a container's share),
  // not all the machine has.
  cpu_set_t set;
  if (sched_getaffinity(0, sizeof set, &set) == 0 && CPU_COUNT(&set) > 0) return static_cast<unsigned>(CPU_COUNT(&set));
  unsigned n = std::thread::hardware_concurrency();
  return n == 0 ? 1 : n;
#endif
}

#ifdef _WIN32
Thread::Thread(std::function<void()> body) : body_(std::move(body)) {
  handle_ = CreateThread(nullptr, 0, Run, this, 0, nullptr);
  if (handle_ == nullptr) throw Failure("cannot start a thread");
}

DWORD WINAPI Thread::Run(void* self) {
  static_cast<Thread*>(self)->body_();
  return 0;
}

void Thread::Join() {
  if (handle_ == nullptr) return;
  WaitForSingleObject(handle_, INFINITE);
  CloseHandle(handle_);
  handle_ = nullptr;
}
#else
Thread::Thread(std::function<void()> body) : body_(std::move(body)) {
  SignalsHeldBack held;  // the new thread inherits the mask, for good
  thread_ = std::thread([this] { body_(); });
}

void Thread::Join() {
  if (thread_.joinable()) thread_.join();
}
#endif

}  // namespace mksfx
