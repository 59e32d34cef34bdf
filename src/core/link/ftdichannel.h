#pragma once
#include "link/channel.h"

// The channel of a device on an FTDI adapter, over the D2XX-like library.
class TFtdiChannel final : public TDeviceChannel {
public:
  explicit TFtdiChannel(std::int32_t serialNumber) : SerialNumber(serialNumber) {}
  ~TFtdiChannel() override;

  bool Open() override;
  void Close() override;
  bool WriteChunk(const std::uint8_t* data, std::uint32_t length,
                  std::uint32_t& written) override;
  // Polls for up to timeoutMs and returns as soon as anything has arrived (the rest of a
  // reply still arriving is not waited for). The buffer is cleared first.
  std::uint32_t Read(std::uint8_t* buffer, std::uint32_t maxLength,
                     std::uint32_t timeoutMs) override;
  bool IsOpen() const override { return Handle != nullptr; }

private:
  std::uint32_t Waiting() const;

  const std::int32_t SerialNumber;
  void* Handle = nullptr;  // the library's FT_HANDLE; null while closed
};
