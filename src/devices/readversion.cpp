#include "devices/readversion.h"

#include "devices/timerresolution.h"

void TReadVersion::run() {
  const TTimerResolution resolution;
  Scan.ScanDevices();
}
