#include "link/channel.h"

#include <algorithm>

#include "model/deventry.h"
#include "link/ftdichannel.h"
#include "link/linktime_p.h"
#include "link/qnchannel.h"

namespace {

constexpr std::uint32_t kPieceSize = 64;
constexpr std::uint32_t kPieceGapMs = 1;

}  // namespace

bool TDeviceChannel::Write(const std::uint8_t* data, std::uint32_t length) {
  std::uint32_t done = 0;
  while (done < length) {
    const std::uint32_t piece = std::min(kPieceSize, length - done);
    std::uint32_t written = 0;
    if (!WriteChunk(data + done, piece, written) || written != piece) return false;
    done += piece;
    if (done < length) LinkTime().Sleep(kPieceGapMs);
  }
  return true;
}

std::unique_ptr<TDeviceChannel> MakeDeviceChannel(const TDevEntry& device) {
  if (device.AdapterKind == 0) return std::make_unique<TFtdiChannel>(device.SerialNumber);
  return std::make_unique<TQnChannel>(device.SerialNumber, device.DeviceCode);
}
