#pragma once
#include <string>

#include "model/deventry.h"
#include "sim/simbus.h"

// A simulated device that adds no waiting of its own, so tests run at the channel's pace.
inline TSimDeviceConfig FastSimDevice(const std::string& name, TSimAdapter adapter,
                                      const std::string& serial) {
  TSimDeviceConfig config;
  config.Name = name;
  config.Adapter = adapter;
  config.Serial = serial;
  config.DeviceCode = 0x0102;
  config.EraseMsPerSector = config.WriteMsPerPart = config.LatencyMs = 0;
  return config;
}

// The record enumeration would make for the device.
inline TDevEntry EntryFor(const TSimDeviceConfig& config) {
  return TDevEntry(config.Serial, config.Adapter == saFtdi ? 0xFFFF : config.DeviceCode,
                   config.Adapter == saFtdi ? TAdapterKind::Ftdi : TAdapterKind::Qn);
}

inline std::unique_ptr<TDevEntry> NewEntryFor(const TSimDeviceConfig& config) {
  return std::make_unique<TDevEntry>(config.Serial,
                                     config.Adapter == saFtdi ? 0xFFFF : config.DeviceCode,
                                     config.Adapter == saFtdi ? TAdapterKind::Ftdi : TAdapterKind::Qn);
}
