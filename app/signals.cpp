#include "app/signals.h"

#include <cerrno>
#include <fcntl.h>
#include <initializer_list>
#include <poll.h>
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
  caught_flags->stop = 1;
  caught_flags->reading_interrupted = 1;
  wake();
}

extern "C" void on_resize_signal(int) {
  caught_flags->resized = 1;
  caught_flags->reading_interrupted = 1;
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

void drain(int fd) {
  char bytes[64];
  while (read(fd, bytes, sizeof bytes) > 0) {
  }
}

timespec now() {
  timespec time;
  clock_gettime(CLOCK_MONOTONIC, &time);
  return time;
}

bool before(const timespec& a, const timespec& b) {
  return a.tv_sec < b.tv_sec || (a.tv_sec == b.tv_sec && a.tv_nsec < b.tv_nsec);
}

timespec time_left(const timespec& from, const timespec& until) {
  if (!before(from, until)) return {0, 0};
  timespec left = {until.tv_sec - from.tv_sec, until.tv_nsec - from.tv_nsec};
  if (left.tv_nsec < 0) {
    left.tv_nsec += 1000000000L;
    --left.tv_sec;
  }
  return left;
}

}  // namespace

bool catch_signals(SignalFlags& flags) {
  if (!make_wake_pipe(flags)) return false;
  caught_flags = &flags;
  for (const int signal : {SIGHUP, SIGINT, SIGQUIT, SIGTERM}) catch_if_default(signal, on_stop_signal);
  catch_if_default(SIGWINCH, on_resize_signal);
  return true;
}

timespec monotonic_deadline(unsigned long seconds) {
  timespec deadline = now();
  deadline.tv_sec += static_cast<time_t>(seconds);
  return deadline;
}

WaitEnd wait_until(const timespec& deadline, int output_fd, const SignalFlags& flags) {
  // Bytes written before this look are taken with it; a signal after it
  // leaves a byte that ends the sleep below at once.
  if (flags.wake_read >= 0) drain(flags.wake_read);
  if (flags.stop || flags.resized) return WaitEnd::SIGNAL;
  // No events asked of the output: poll reports a hang-up or an error anyway.
  pollfd watched[2] = {{output_fd, 0, 0}, {flags.wake_read, POLLIN, 0}};
  const timespec left = time_left(now(), deadline);
  const int ready = ppoll(watched, 2, &left, nullptr);
  if (ready > 0 && (watched[0].revents & (POLLHUP | POLLERR | POLLNVAL))) return WaitEnd::OUTPUT_GONE;
  if (!before(now(), deadline)) return WaitEnd::DEADLINE;
  return WaitEnd::SIGNAL;
}
