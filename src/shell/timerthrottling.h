#pragma once

// Asks Windows not to lower the program's timer resolution while its windows are
// minimised or covered, so that the 1 ms pauses of a write stay 1 ms (see
// timerthrottling_win.cpp). True when the system took the request; false where it does
// not know it (before Windows 11) or elsewhere, where there is nothing to ask.
bool KeepTimerResolutionWhenHidden();
