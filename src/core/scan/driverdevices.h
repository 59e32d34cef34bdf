#pragma once
#include "scan/devicescan.h"

// The attached devices as the driver libraries list them.
class TDriverDevices final : public TDeviceEnumerator {
public:
  TEnumResult ListFtdi(TDevEntryList& list, TLogSink& log) override;
  TEnumResult ListQn(TDevEntryList& list, TLogSink& log) override;
};
