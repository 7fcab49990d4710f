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
// The signals whose default action ends the process. Those sent by others
// (a terminal, kill, a pipe's reader that went away, a limit) are held back
// from the threads mksfx starts; those of a fault arrive where it happened
// and are never held back.
const int SentSignals[] = {SIGHUP,  SIGINT,  SIGQUIT, SIGPIPE, SIGALRM,   SIGTERM,
                           SIGUSR1, SIGUSR2, SIGXCPU, SIGXFSZ, SIGVTALRM, SIGPROF};
const int FaultSignals[] = {SIGABRT, SIGBUS, SIGFPE, SIGILL, SIGSEGV, SIGSYS};
constexpr size_t SentCount = sizeof SentSignals / sizeof SentSignals[0];
constexpr size_t SignalCount = SentCount + sizeof FaultSignals / sizeof FaultSignals[0];
bool Installed[SignalCount];

int CleanedSignal(size_t i) { return i < SentCount ? SentSignals[i] : FaultSignals[i - SentCount]; }

extern "C" void OnSignal(int sig) {
  long child = Child.load();
  if (child > 0) kill(static_cast<pid_t>(child), SIGTERM);
  RemoveEverySlot();
  // SA_RESETHAND has put the default action back; the signal raised again
  // ends the process as soon as this handler returns (a fault's, when its
  // instruction runs again).
  raise(sig);
}

// The sent signals whose handler is this file's (a profiler's SIGPROF, say,
// reaches every thread as before).
void AddSentSignals(sigset_t& set) {
  sigemptyset(&set);
  for (size_t i = 0; i < SentCount; ++i)
    if (Installed[i]) sigaddset(&set, SentSignals[i]);
}
#endif

}  // namespace

void CleanUpOnSignals() {
#ifdef _WIN32
  SetConsoleCtrlHandler(OnConsoleEvent, TRUE);
#else
  for (size_t i = 0; i < SignalCount; ++i) {
    // Only a signal at its default action: one ignored stays ignored, and a
    // handler already there (a sanitizer's, a profiler's) stays in charge.
    struct sigaction old {};
    if (sigaction(CleanedSignal(i), nullptr, &old) != 0 || (old.sa_flags & SA_SIGINFO) || old.sa_handler != SIG_DFL)
      continue;
    struct sigaction action {};
    action.sa_handler = OnSignal;
    sigemptyset(&action.sa_mask);  // one handler at a time
    for (size_t k = 0; k < SignalCount; ++k) sigaddset(&action.sa_mask, CleanedSignal(k));
    action.sa_flags = SA_RESETHAND;
    Installed[i] = sigaction(CleanedSignal(i), &action, nullptr) == 0;
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
  for (size_t i = 0; i < SignalCount; ++i)
    if (Installed[i]) signal(CleanedSignal(i), SIG_DFL);
#endif
}

SignalsHeldBack::SignalsHeldBack() {
#ifndef _WIN32
  static_assert(sizeof(sigset_t) <= sizeof saved_, "room for a signal mask");
  sigset_t held;
  AddSentSignals(held);
  pthread_sigmask(SIG_BLOCK, &held, reinterpret_cast<sigset_t*>(saved_));
#endif
}

SignalsHeldBack::~SignalsHeldBack() {
#ifndef _WIN32
  pthread_sigmask(SIG_SETMASK, reinterpret_cast<sigset_t*>(saved_), nullptr);
#endif
}

}  // namespace mksfx
