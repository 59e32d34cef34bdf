#pragma once
#include <memory>

#include "shell/devicewatch.h"

// The operating system's device notifications, one implementation per platform. It lives
// as long as the watch and emits the watch's DeviceChange.
class TDeviceWatch::TSystemSource {
public:
  virtual ~TSystemSource() = default;
};

// Null when the system offers no notifications (for instance no udev in a container);
// the program then still finds devices at start and through the simulator's file.
std::unique_ptr<TDeviceWatch::TSystemSource> StartSystemDeviceSource(TDeviceWatch& watch);
