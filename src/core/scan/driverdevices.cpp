#include "scan/driverdevices.h"

TEnumResult TDriverDevices::ListFtdi(TDevEntryList& list, TLogSink& log) {
  return EnumFtdiDevices(list, log);
}

TEnumResult TDriverDevices::ListQn(TDevEntryList& list, TLogSink& log) {
  return EnumQnDevices(list, log);
}
