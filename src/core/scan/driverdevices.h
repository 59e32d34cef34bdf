#pragma once
#include "scan/devicescan.h"

// The attached devices as the driver libraries list them, and their channels.
class TDriverDevices final : public TDeviceEnumerator, public TChannelFactory {
public:
  TEnumResult ListFtdi(TDevEntryList& list, TLogSink& log) override;
  TEnumResult ListQn(TDevEntryList& list, TLogSink& log) override;
  std::unique_ptr<TByteChannel> MakeChannel(const TDevEntry& device) override;
};
