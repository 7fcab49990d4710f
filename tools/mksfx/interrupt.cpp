// Cleaning up after a signal (interrupt.h). The paths wait in a list that
// only grows: a slot is published whole before it is linked in, marked dead
// when forgotten and never freed, so the handler can walk it at any moment
// without a lock. A run makes one slot per temporary.
#include "tools/mksfx/interrupt.h"
#include <atomic>
#include <cstring>
#ifdef _WIN32
#include <windows.h>
#else
#include <signal.h>
#include <unistd.h>
#endif

namespace fs = std::filesystem;

namespace mksfx {

struct SignalSlot {
  SignalSlot* next;
  std::atomic<bool> live;
  fs::path::value_type* path;  // the system's own text, ended by a zero
};

namespace {

std::atomic<SignalSlot*> Slots{nullptr};
std::atomic<long> Child{0};

void RemoveEverySlot() {
  for (SignalSlot* s = Slots.load(std::memory_order_acquire); s != nullptr; s = s->next) {
    if (!s->live.load(std::memory_order_acquire)) continue;
#ifdef _WIN32
    DeleteFileW(s->path);
#else
    unlink(s->path);
#endif
  }
}

#ifdef _WIN32
// Runs on a thread of its own; returning FALSE lets the system end the
// process. A file that is still open cannot be deleted here.
BOOL WINAPI OnConsoleEvent(DWORD event) {
  if (event == CTRL_C_EVENT || event == CTRL_BREAK_EVENT || event == CTRL_CLOSE_EVENT) RemoveEverySlot();
  return FALSE;
}
#else
const int CleanedSignals[] = {SIGINT, SIGTERM, SIGHUP};
bool Installed[sizeof CleanedSignals / sizeof CleanedSignals[0]];

extern "C" void OnSignal(int sig) {
  long child = Child.load();
  if (child > 0) kill(static_cast<pid_t>(child), SIGTERM);
  RemoveEverySlot();
  // SA_RESETHAND has put the default action back; the signal raised again
  // ends the process as soon as this handler returns.
  raise(sig);
}

void AddCleanedSignals(sigset_t& set) {
  sigemptyset(&set);
  for (int sig : CleanedSignals) sigaddset(&set, sig);
}
#endif

}  // namespace

void CleanUpOnSignals() {
#ifdef _WIN32
  SetConsoleCtrlHandler(OnConsoleEvent, TRUE);
#else
  for (size_t i = 0; i < sizeof CleanedSignals / sizeof CleanedSignals[0]; ++i) {
    struct sigaction old {};
    if (sigaction(CleanedSignals[i], nullptr, &old) != 0 || old.sa_handler == SIG_IGN) continue;
    struct sigaction action {};
    action.sa_handler = OnSignal;
    AddCleanedSignals(action.sa_mask);  // one handler at a time
    action.sa_flags = SA_RESETHAND;
    Installed[i] = sigaction(CleanedSignals[i], &action, nullptr) == 0;
  }
#endif
}

SignalSlot* RemoveOnSignal(const fs::path& path) {
  const fs::path::string_type& text = path.native();
  SignalSlot* slot = new SignalSlot;
  slot->path = new fs::path::value_type[text.size() + 1];
  std::memcpy(slot->path, text.c_str(), (text.size() + 1) * sizeof(fs::path::value_type));
  slot->live.store(true, std::memory_order_relaxed);
  slot->next = Slots.load(std::memory_order_relaxed);
  // Only the main thread adds slots: the head it read is still the head.
  Slots.store(slot, std::memory_order_release);
  return slot;
}

void ForgetOnSignal(SignalSlot* slot) {
  if (slot != nullptr) slot->live.store(false, std::memory_order_release);
}

void EndOnSignal(long pid) { Child.store(pid); }

void RestoreSignals() {
#ifndef _WIN32
  for (size_t i = 0; i < sizeof CleanedSignals / sizeof CleanedSignals[0]; ++i)
    if (Installed[i]) signal(CleanedSignals[i], SIG_DFL);
#endif
}

SignalsHeldBack::SignalsHeldBack() {
#ifndef _WIN32
  static_assert(sizeof(sigset_t) <= sizeof saved_, "room for a signal mask");
  sigset_t held;
  AddCleanedSignals(held);
  pthread_sigmask(SIG_BLOCK, &held, reinterpret_cast<sigset_t*>(saved_));
#endif
}

SignalsHeldBack::~SignalsHeldBack() {
#ifndef _WIN32
  pthread_sigmask(SIG_SETMASK, reinterpret_cast<sigset_t*>(saved_), nullptr);
#endif
}

}  // namespace mksfx
