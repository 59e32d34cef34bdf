#include "link/linktime_p.h"

#include "protocol/ticks.h"

TLinkTime& LinkTime() {
  static TLinkTime time{&TickCount, &SleepMs};
  return time;
}
