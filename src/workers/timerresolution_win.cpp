#include "workers/timerresolution_p.h"

#include <windows.h>
#include <timeapi.h>

bool RaiseTimerResolution() { return timeBeginPeriod(1) == TIMERR_NOERROR; }

void LowerTimerResolution() { timeEndPeriod(1); }
