#include "app/timerthrottling.h"

bool KeepTimerResolutionWhenHidden() { return false; }
