#pragma once
#include <cstdint>

// The byte pipe to one device, as the protocol code sees it: no vendor types, so tests
// can script a device conversation. The link layer implements it over the driver
// libraries (TDeviceChannel, link/channel.h); its channels are owned through this base.
class TByteChannel {
public:
  virtual ~TByteChannel() = default;
  virtual bool Open() = 0;
  virtual void Close() = 0;
  // True when every byte was written.
  virtual bool Write(const std::uint8_t* data, std::uint32_t length) = 0;
  // Number of bytes stored (never more than maxLength); 0 when nothing arrived in time.
  virtual std::uint32_t Read(std::uint8_t* buffer, std::uint32_t maxLength,
                             std::uint32_t timeoutMs) = 0;
};
