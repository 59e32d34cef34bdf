#include "scan/driverdevices.h"

#include "link/channel.h"

TEnumResult TDriverDevices::ListFtdi(TDevEntryList& list, TLogSink& log) {
  return EnumFtdiDevices(list, log);
}

TEnumResult TDriverDevices::ListQn(TDevEntryList& list, TLogSink& log) {
  return EnumQnDevices(list, log);
}

std::unique_ptr<TByteChannel> TDriverDevices::MakeChannel(const TDevEntry& device) {
  return MakeDeviceChannel(device);
}
