#include "link/channel.h"

#include <algorithm>

#include "link/linktime_p.h"

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
