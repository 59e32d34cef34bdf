#include "cli/interrupt.h"
#include "cli/interrupt_win.h"

#include <QMetaObject>
#include <cstdio>
#include <windows.h>

// The console's control events reach the program on a thread the system starts for
// each (HandlerRoutine callback function, Microsoft Learn:
// learn.microsoft.com/windows/console/handlerroutine). For Ctrl+C and Ctrl+Break the
// program lives on after the handler returns, so the stop is queued to the main thread
// and the handler returns at once. For CTRL_CLOSE_EVENT (the console window closed),
// CTRL_LOGOFF_EVENT and CTRL_SHUTDOWN_EVENT the system ends the process as soon as the
// handler returns, or about five seconds after the event in any case: the handler waits
// until the main thread has stopped the writes between sectors, sent their closing
// frames and written the summary, the log and the report lines.
// (A program that loads user32.dll, as this one does through the toolkit, learns of a
// log-off or shutdown from WM_ENDSESSION to its window instead: TDeviceWatch.)
namespace {

QObject* Target = nullptr;
std::function<void()> Handler;
HANDLE Ended = nullptr;  // set once the run has ended; manual reset

}  // namespace

BOOL WINAPI OnConsoleEvent(DWORD event) {
  switch (event) {
    case CTRL_C_EVENT:
    case CTRL_BREAK_EVENT:
      QMetaObject::invokeMethod(Target, [] { Handler(); }, Qt::QueuedConnection);
      return TRUE;
    case CTRL_CLOSE_EVENT:
    case CTRL_LOGOFF_EVENT:
    case CTRL_SHUTDOWN_EVENT:
      QMetaObject::invokeMethod(Target, [] {
        Handler();
        RunEnded();
      }, Qt::QueuedConnection);
      WaitForSingleObject(Ended, INFINITE);
      return TRUE;
    default:
      return FALSE;
  }
}

void InstallInterruptHandler(QObject& mainThreadObject, std::function<void()> onInterrupt) {
  Target = &mainThreadObject;
  Handler = std::move(onInterrupt);
  Ended = CreateEventW(nullptr, TRUE, FALSE, nullptr);
  SetConsoleCtrlHandler(OnConsoleEvent, TRUE);
}

void RunEnded() {
  std::fflush(stdout);
  std::fflush(stderr);
  if (Ended) SetEvent(Ended);
}
