#pragma once
// The system's part of TTimerResolution (timerresolution_unix.cpp, _win.cpp).

// Asks for 1 ms timer resolution; true when the system granted it.
bool RaiseTimerResolution();
// Gives back one granted request.
void LowerTimerResolution();
