#pragma once
#include <memory>

#include "link/channel.h"
#include "model/deventry.h"
#include "protocol/bytechannel.h"

// Makes the byte channel to one device: the driver libraries' channels in the program,
// scripted devices in tests.
class TChannelFactory {
public:
  virtual ~TChannelFactory() = default;
  virtual std::unique_ptr<TByteChannel> MakeChannel(const TDevEntry& device) = 0;
};

// A closed channel of the record's adapter kind, with the record's serial number and
// device code copied into it.
std::unique_ptr<TDeviceChannel> MakeDeviceChannel(const TDevEntry& device);

// The channels of the driver libraries.
class TDriverChannels final : public TChannelFactory {
public:
  std::unique_ptr<TByteChannel> MakeChannel(const TDevEntry& device) override {
    return MakeDeviceChannel(device);
  }
};
