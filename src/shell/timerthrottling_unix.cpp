#include "shell/timerthrottling.h"

bool KeepTimerResolutionWhenHidden() { return false; }
