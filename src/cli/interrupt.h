#pragma once
#include <QObject>
#include <functional>

// Ctrl+C and requests to end (SIGINT, SIGTERM and SIGHUP, with SIGPIPE ignored; on
// Windows the console's control events) call onInterrupt on the main thread, from its
// event loop, once per request.
// onInterrupt returns once the writes have stopped and the run's last lines are out.
void InstallInterruptHandler(QObject& mainThreadObject, std::function<void()> onInterrupt);

// Called as the run ends, whatever ended it: a request to end that waits for the run's
// end (Windows' console closing) is let go.
void RunEnded();
