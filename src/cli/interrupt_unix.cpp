#include "cli/interrupt.h"

#include <QSocketNotifier>
#include <csignal>
#include <unistd.h>

namespace {

int WakePipe[2] = {-1, -1};

// Only what a signal handler may do: one write to a pipe the event loop watches.
void OnSignal(int) {
  const char byte = 1;
  [[maybe_unused]] const ssize_t written = write(WakePipe[1], &byte, 1);
}

}  // namespace

void InstallInterruptHandler(QObject& mainThreadObject, std::function<void()> onInterrupt) {
  if (pipe(WakePipe) != 0) return;
  auto* notifier = new QSocketNotifier(WakePipe[0], QSocketNotifier::Read, &mainThreadObject);
  QObject::connect(notifier, &QSocketNotifier::activated, &mainThreadObject,
                   [onInterrupt = std::move(onInterrupt)] {
                     char byte = 0;
                     [[maybe_unused]] const ssize_t got = read(WakePipe[0], &byte, 1);
                     onInterrupt();
                   });
  struct sigaction action = {};
  action.sa_handler = OnSignal;
  sigemptyset(&action.sa_mask);
  action.sa_flags = SA_RESTART;
  sigaction(SIGINT, &action, nullptr);
  sigaction(SIGTERM, &action, nullptr);
  // A closed terminal (SIGHUP) is a request to end; a closed pipe (SIGPIPE) would kill the
  // program mid-write: ignored, a write to it fails instead and TStationOutput says so.
  sigaction(SIGHUP, &action, nullptr);
  signal(SIGPIPE, SIG_IGN);
}

void RunEnded() {}
