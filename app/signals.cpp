#include "app/signals.h"

#include <cerrno>
#include <fcntl.h>
#include <initializer_list>
#include <signal.h>
#include <unistd.h>

namespace {

// Where the handlers write: the one place a handler can reach.
SignalFlags* caught_flags = nullptr;

void wake() {
  const int saved = errno;
  const char byte = 1;
  // A full pipe already wakes the wait.
  [[maybe_unused]] const ssize_t written = write(caught_flags->wake_write, &byte, 1);
  errno = saved;
}

extern "C" void on_stop_signal(int) {
  caught_flags->stop.store(true);
  wake();
}

extern "C" void on_resize_signal(int) {
  caught_flags->resized.store(true);
  wake();
}

void catch_if_default(int signal, void (*handler)(int)) {
  struct sigaction current = {};
  if (sigaction(signal, nullptr, &current) != 0 || current.sa_handler != SIG_DFL) return;
  struct sigaction wanted = {};
  wanted.sa_handler = handler;
  sigemptyset(&wanted.sa_mask);
  // SA_RESTART: a read or write that is interrupted goes on; the loop looks
  // at the flags when it is back.
  wanted.sa_flags = SA_RESTART;
  sigaction(signal, &wanted, nullptr);
}

bool make_wake_pipe(SignalFlags& flags) {
  int ends[2];
  if (pipe(ends) != 0) return false;
  for (const int end : ends) {
    fcntl(end, F_SETFL, fcntl(end, F_GETFL) | O_NONBLOCK);
    fcntl(end, F_SETFD, fcntl(end, F_GETFD) | FD_CLOEXEC);
  }
  flags.wake_read = ends[0];
  flags.wake_write = ends[1];
  return true;
}

}  // namespace

bool catch_signals(SignalFlags& flags) {
  if (!make_wake_pipe(flags)) return false;
  caught_flags = &flags;
  for (const int signal : {SIGHUP, SIGINT, SIGQUIT, SIGTERM}) catch_if_default(signal, on_stop_signal);
  catch_if_default(SIGWINCH, on_resize_signal);
  return true;
}

void ignore_broken_pipes() {
  struct sigaction ignored = {};
  ignored.sa_handler = SIG_IGN;
  sigemptyset(&ignored.sa_mask);
  sigaction(SIGPIPE, &ignored, nullptr);
}
