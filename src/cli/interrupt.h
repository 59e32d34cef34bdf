#pragma once
#include <QObject>
#include <functional>

// Ctrl+C and requests to end (SIGINT and SIGTERM; on Windows the console's control
// events) call onInterrupt on the main thread, from its event loop, once per request.
void InstallInterruptHandler(QObject& mainThreadObject, std::function<void()> onInterrupt);
