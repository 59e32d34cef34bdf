#include "workers/timerresolution.h"

#include <atomic>

#include "workers/timerresolution_p.h"

namespace {
std::atomic<int> HeldCount{0};
}

TTimerResolution::TTimerResolution() : Raised(RaiseTimerResolution()) {
  if (Raised) ++HeldCount;
}

TTimerResolution::~TTimerResolution() {
  if (!Raised) return;
  LowerTimerResolution();
  --HeldCount;
}

int TTimerResolution::Held() { return HeldCount; }
