#include "devices/timerresolution.h"

// Sleeps here already last about as long as asked.
TTimerResolution::TTimerResolution() = default;
TTimerResolution::~TTimerResolution() = default;
