#pragma once
#include <windows.h>

// What the system calls on its own thread for a console control event, once
// InstallInterruptHandler has run (interrupt_win.cpp). The tests call it as the system
// would, for the events no test can send.
BOOL WINAPI OnConsoleEvent(DWORD event);
