// mksfx's clean-up after a signal (tools/mksfx/interrupt.h), in a child
// process that the signal ends: the paths given are removed, the forgotten
// ones kept, the child program ended, and the process dies by the signal,
// whichever signal that ends a process it is.
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/prctl.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>
#include <filesystem>
#include <fstream>
#include <string>
#include <thread>
#include "tools/mksfx/interrupt.h"

namespace fs = std::filesystem;

namespace {

class MksfxInterrupt : public ::testing::Test {
 protected:
  void SetUp() override {
    dir_ = fs::temp_directory_path() / ("mksfx_interrupt_" + std::to_string(::getpid()));
    fs::remove_all(dir_);
    fs::create_directories(dir_);
  }
  void TearDown() override { fs::remove_all(dir_); }
  fs::path Make(const std::string& name) {
    std::ofstream(dir_ / name) << "x";
    return dir_ / name;
  }
  // Runs body in a child that installs the clean-up, then raises sig;
  // returns the child's wait status.
  template <class Body>
  int RunAndRaise(int sig, Body body) {
    pid_t pid = fork();
    if (pid == 0) {
      struct rlimit noCore = {0, 0};  // the signals that dump core: no core file
      setrlimit(RLIMIT_CORE, &noCore);
      mksfx::CleanUpOnSignals();
      body();
      raise(sig);
      _exit(99);  // not reached: the signal ends the child
    }
    int status = 0;
    waitpid(pid, &status, 0);
    return status;
  }
  fs::path dir_;
};

TEST_F(MksfxInterrupt, TheGivenPathsGoTheForgottenStay) {
  fs::path a = Make("a.tmp"), b = Make("b.tmp"), c = Make("c.tmp");
  int status = RunAndRaise(SIGTERM, [&] {
    mksfx::RemoveOnSignal(a);
    mksfx::ForgetOnSignal(mksfx::RemoveOnSignal(b));
    mksfx::RemoveOnSignal(dir_ / "never-made.tmp");  // a path not yet created is no trouble
  });
  ASSERT_TRUE(WIFSIGNALED(status)) << status;
  EXPECT_EQ(WTERMSIG(status), SIGTERM);
  EXPECT_FALSE(fs::exists(a));
  EXPECT_TRUE(fs::exists(b));
  EXPECT_TRUE(fs::exists(c));
}

TEST_F(MksfxInterrupt, EverySignalThatEndsTheRun) {
  // From a terminal and kill, a reader of standard output that went away
  // (mksfx create -v ... | head), a file size or time limit, abort().
  for (int sig : {SIGINT, SIGTERM, SIGHUP, SIGQUIT, SIGPIPE, SIGXFSZ, SIGXCPU, SIGALRM, SIGUSR1, SIGUSR2, SIGVTALRM,
                  SIGABRT}) {
    fs::path a = Make("a.tmp");
    int status = RunAndRaise(sig, [&] { mksfx::RemoveOnSignal(a); });
    ASSERT_TRUE(WIFSIGNALED(status)) << sig;
    EXPECT_EQ(WTERMSIG(status), sig);
    EXPECT_FALSE(fs::exists(a)) << sig;
  }
}

TEST_F(MksfxInterrupt, AFaultInAnotherThreadToo) {
  // The sanitizers of this build handle SIGSEGV themselves, and mksfx leaves
  // a handler it finds in place: the child sets the default first, as a
  // build without them has it.
  fs::path a = Make("a.tmp");
  int status = RunAndRaise(SIGTERM, [&] {
    mksfx::RemoveOnSignal(a);
    signal(SIGSEGV, SIG_DFL);
    mksfx::CleanUpOnSignals();
    mksfx::SignalsHeldBack held;  // as every thread mksfx starts
    std::thread([] { raise(SIGSEGV); }).join();
  });
  ASSERT_TRUE(WIFSIGNALED(status)) << status;
  EXPECT_EQ(WTERMSIG(status), SIGSEGV);
  EXPECT_FALSE(fs::exists(a));
}

TEST_F(MksfxInterrupt, AHandlerFoundInPlaceStays) {
  fs::path a = Make("a.tmp");
  pid_t pid = fork();
  if (pid == 0) {
    signal(SIGUSR1, [](int) { _exit(5); });
    mksfx::CleanUpOnSignals();
    mksfx::RemoveOnSignal(a);
    raise(SIGUSR1);
    _exit(7);
  }
  int status = 0;
  waitpid(pid, &status, 0);
  ASSERT_TRUE(WIFEXITED(status)) << status;
  EXPECT_EQ(WEXITSTATUS(status), 5);
  EXPECT_TRUE(fs::exists(a));
}

TEST_F(MksfxInterrupt, AnIgnoredSignalStaysIgnored) {
  fs::path a = Make("a.tmp");
  pid_t pid = fork();
  if (pid == 0) {
    signal(SIGINT, SIG_IGN);
    mksfx::CleanUpOnSignals();
    mksfx::RemoveOnSignal(a);
    raise(SIGINT);
    _exit(7);
  }
  int status = 0;
  waitpid(pid, &status, 0);
  ASSERT_TRUE(WIFEXITED(status)) << status;
  EXPECT_EQ(WEXITSTATUS(status), 7);
  EXPECT_TRUE(fs::exists(a));
}

TEST_F(MksfxInterrupt, TheChildProgramEndsWithTheRun) {
  // The grandchild comes back to this process when the child dies.
  ASSERT_EQ(prctl(PR_SET_CHILD_SUBREAPER, 1), 0);
  int pipe_[2];
  ASSERT_EQ(pipe(pipe_), 0);
  int status = RunAndRaise(SIGTERM, [&] {
    pid_t grandchild = fork();
    if (grandchild == 0) {
      for (;;) pause();
    }
    mksfx::EndOnSignal(grandchild);
    ssize_t n = write(pipe_[1], &grandchild, sizeof grandchild);
    (void)n;
  });
  EXPECT_TRUE(WIFSIGNALED(status));
  pid_t grandchild = 0;
  ASSERT_EQ(read(pipe_[0], &grandchild, sizeof grandchild), static_cast<ssize_t>(sizeof grandchild));
  close(pipe_[0]);
  close(pipe_[1]);
  int grandStatus = 0;
  pid_t ended = 0;
  for (int i = 0; i < 500 && ended == 0; ++i) {
    ended = waitpid(grandchild, &grandStatus, WNOHANG);
    if (ended == 0) usleep(10000);
  }
  if (ended == 0) {  // still there after 5 s: not ended with the run
    kill(grandchild, SIGKILL);
    waitpid(grandchild, &grandStatus, 0);
  }
  prctl(PR_SET_CHILD_SUBREAPER, 0);
  ASSERT_EQ(ended, grandchild);
  ASSERT_TRUE(WIFSIGNALED(grandStatus));
  EXPECT_EQ(WTERMSIG(grandStatus), SIGTERM);
}

}  // namespace
