#include "barewrite.h"

#include <algorithm>

#include "benchreport.h"
#include "firmware/imageload.h"
#include "link/channelfactory.h"
#include "protocol/frame.h"
#include "resources/builtinimage.h"

namespace {

class TNoLog final : public TLogSink {
public:
  void LogText(TLogLevel, std::int32_t, const std::string&) override {}
};

bool SectorEmpty(const std::vector<std::uint8_t>& flash, const TFlashSector& sector) {
  const auto begin = flash.begin() + sector.Offset;
  return std::all_of(begin, begin + sector.Size, [](std::uint8_t b) { return b == 0xFF; });
}

// One frame and its 14-byte reply, with the loader's three attempts.
bool Exchange(TDeviceChannel& channel, const std::vector<std::uint8_t>& request) {
  for (int attempt = 0; attempt < 3; ++attempt) {
    std::uint8_t reply[14] = {};
    if (!channel.Write(request.data(), static_cast<std::uint32_t>(request.size()))) continue;
    if (channel.Read(reply, sizeof reply, 1000) != sizeof reply) continue;
    return frame::ReadHeader(reply, sizeof reply).Code == frame::rcDone;
  }
  return false;
}

}  // namespace

std::vector<std::uint8_t> BuiltInFlashImage(const TSectorLayout& layout) {
  std::vector<std::uint8_t> flash(layout.FlashSize(), 0xFF);
  TFirmwareBlockList blocks;
  TFirmwareVersion version;
  TNoLog log;
  if (!ReadBuiltInImage(ReadBuiltInImageBytes(), blocks, version, log)) return flash;
  const std::uint32_t first = layout.Sectors[static_cast<std::size_t>(layout.FirstSector)].Offset;
  for (const auto& block : blocks) {
    const std::uint32_t place = block->Address < 0 ? first : static_cast<std::uint32_t>(block->Address);
    std::copy(block->Data.begin(), block->Data.end(), flash.begin() + place);
  }
  return flash;
}

double BareWriteMs(TDevEntry& device, const TSectorLayout& layout,
                   const std::vector<std::uint8_t>& flash) {
  std::int32_t last = layout.LastSector;
  while (last >= layout.FirstSector &&
         SectorEmpty(flash, layout.Sectors[static_cast<std::size_t>(last)]))
    --last;
  const std::unique_ptr<TDeviceChannel> channel = MakeDeviceChannel(device);
  const double start = BenchNowMs();
  if (!channel->Open()) return -1;
  bool ok = true;
  for (std::int32_t n = layout.FirstSector; ok && n <= last; ++n) {
    const TFlashSector& sector = layout.Sectors[static_cast<std::size_t>(n)];
    if (SectorEmpty(flash, sector)) continue;
    const auto sectorNumber = static_cast<std::uint16_t>(n);
    ok = Exchange(*channel, BuildCommandFrame(frame::cmdEraseV2, sectorNumber, sector.Offset));
    for (std::uint32_t at = sector.Offset; ok && at < sector.Offset + sector.Size;
         at += frame::kPartSize)
      ok = Exchange(*channel, BuildCommandFrame(frame::cmdWriteV2, sectorNumber, at,
                                                flash.data() + at, frame::kPartSize));
  }
  const auto closing = BuildCommandFrame(ok ? frame::cmdCloseSuccess : frame::cmdCloseFailure,
                                         frame::kNoSectorParameter, 0);
  if (channel->Write(closing.data(), static_cast<std::uint32_t>(closing.size()))) {
    std::vector<std::uint8_t> ignored(1024);
    channel->Read(ignored.data(), 1024, 100);
  }
  channel->Close();
  const double elapsed = BenchNowMs() - start;
  return ok ? elapsed : -1;
}
