#include "cli/interrupt.h"

#include <QMetaObject>
#include <windows.h>

namespace {

QObject* Target = nullptr;
std::function<void()> Handler;

// Runs on a thread the system starts for the event: the work goes to the main thread.
// Returning TRUE keeps the process alive until the main thread has stopped the writes;
// for a closing console the system ends it a few seconds later in any case.
BOOL WINAPI OnConsoleEvent(DWORD event) {
  switch (event) {
    case CTRL_C_EVENT:
    case CTRL_BREAK_EVENT:
    case CTRL_CLOSE_EVENT:
      QMetaObject::invokeMethod(Target, [] { Handler(); }, Qt::QueuedConnection);
      return TRUE;
    default:
      return FALSE;
  }
}

}  // namespace

void InstallInterruptHandler(QObject& mainThreadObject, std::function<void()> onInterrupt) {
  Target = &mainThreadObject;
  Handler = std::move(onInterrupt);
  SetConsoleCtrlHandler(OnConsoleEvent, TRUE);
}
