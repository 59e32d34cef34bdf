#include "link/channelfactory.h"

#include "link/ftdichannel.h"
#include "link/qnchannel.h"

std::unique_ptr<TDeviceChannel> MakeDeviceChannel(const TDevEntry& device) {
  switch (device.AdapterKind) {
    case TAdapterKind::Ftdi:
      return std::make_unique<TFtdiChannel>(device.SerialNumber);
    case TAdapterKind::Qn:
      return std::make_unique<TQnChannel>(device.SerialNumber, device.DeviceCode);
  }
  return nullptr;
}
