#include "devices/timerresolution.h"

#include <windows.h>
#include <timeapi.h>

TTimerResolution::TTimerResolution() : Raised(timeBeginPeriod(1) == TIMERR_NOERROR) {}

TTimerResolution::~TTimerResolution() {
  if (Raised) timeEndPeriod(1);
}
