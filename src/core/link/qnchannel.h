#pragma once
#include "link/channel.h"

// The channel of a device on a QN adapter, over the maker's library.
class TQnChannel final : public TDeviceChannel {
public:
  TQnChannel(std::int32_t serialNumber, std::uint16_t deviceCode)
      : SerialNumber(serialNumber), DeviceCode(deviceCode) {}
  ~TQnChannel() override;

  bool Open() override;
  void Close() override;
  bool WriteChunk(const std::uint8_t* data, std::uint32_t length,
                  std::uint32_t& written) override;
  // One library read, which waits at most the library's own read time-out set at open;
  // timeoutMs is not used.
  std::uint32_t Read(std::uint8_t* buffer, std::uint32_t maxLength,
                     std::uint32_t timeoutMs) override;
  bool IsOpen() const override { return Handle != 0; }

  // The library's handle (0 while closed), for tests that reach the session behind it.
  std::uint32_t HandleForTests() const { return Handle; }

private:
  const std::int32_t SerialNumber;
  const std::uint16_t DeviceCode;
  std::uint32_t Handle = 0;  // the library's QN_HANDLE
};
