#include "sim/simctlnotify.h"

void AnnounceBusChange() {}
