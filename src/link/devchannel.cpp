#include "link/devchannel.h"

#include "link/channel.h"

bool TDevChannel::Open() { return DevOpen(Device); }

void TDevChannel::Close() { DevClose(Device); }

bool TDevChannel::Write(const std::uint8_t* data, std::uint32_t length) {
  return DevWrite(Device, data, length);
}

std::uint32_t TDevChannel::Read(std::uint8_t* buffer, std::uint32_t maxLength,
                                std::uint32_t timeoutMs) {
  return DevRead(Device, buffer, maxLength, timeoutMs);
}
