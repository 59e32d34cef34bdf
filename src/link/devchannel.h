#pragma once
#include "protocol/bytechannel.h"

class TDevEntry;

// The channel of one device record as the protocol code's byte channel (identity query,
// write body). Holds a reference: the record must outlive it. Does not close on
// destruction; the user closes what it opened.
class TDevChannel final : public TByteChannel {
public:
  explicit TDevChannel(TDevEntry& device) : Device(device) {}

  bool Open() override;
  void Close() override;
  bool Write(const std::uint8_t* data, std::uint32_t length) override;
  std::uint32_t Read(std::uint8_t* buffer, std::uint32_t maxLength,
                     std::uint32_t timeoutMs) override;

private:
  TDevEntry& Device;
};
