// A run ended by a signal leaves nothing behind: any signal whose default
// action ends the process (SIGINT, SIGTERM, SIGHUP, SIGQUIT, SIGPIPE when the
// reader of -v's lines went away, as `| head` does, SIGXFSZ, ..., and those
// of a fault, SIGSEGV, SIGABRT, ...), and on Windows Ctrl+C, Ctrl+Break and
// the closing of the console. The temporaries beside the output are removed
// and a child program (osslsigncode) is ended, then the signal takes its
// usual course. The handler does only what is safe in it: unlink paths
// prepared beforehand, kill the child, raise the signal again.
#pragma once
#include <filesystem>

namespace mksfx {

// Installs the handlers; once, at the start. A signal that was ignored when
// mksfx started (nohup, a background job) stays ignored, and one that has a
// handler already (a sanitizer's) keeps it.
void CleanUpOnSignals();

// The path to remove should a signal end the run; given before the file is
// created, forgotten once it is renamed or removed.
struct SignalSlot;
SignalSlot* RemoveOnSignal(const std::filesystem::path& path);
void ForgetOnSignal(SignalSlot* slot);

// The child process to end with the run; 0 for none.
void EndOnSignal(long pid);

// In a child between fork and exec: the signals as mksfx found them.
void RestoreSignals();

// Holds the signals that others send back from the calling thread while it
// lives, so that a thread started meanwhile (the progress bar's) never runs
// the handler for them: the main thread, which it stops, takes them. (A
// fault's signal arrives in the thread at fault, which may read the list of
// paths as well: it is read without a lock.)
class SignalsHeldBack {
 public:
  SignalsHeldBack();
  ~SignalsHeldBack();
  SignalsHeldBack(const SignalsHeldBack&) = delete;
  SignalsHeldBack& operator=(const SignalsHeldBack&) = delete;

 private:
  alignas(16) unsigned char saved_[128];  // the thread's signal mask as it was
};

}  // namespace mksfx
