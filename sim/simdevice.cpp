#include "sim/simdevice.h"

#include <algorithm>
#include <string_view>

#include "protocol/firmwareversion.h"
#include "protocol/frame.h"
#include "protocol/littleendian.h"

namespace {

// A reply code of our own for a request the device cannot carry out (no such sector, an
// address outside it, a malformed frame, an unknown command): the host treats any code
// other than 128 and 131 as a failed operation.
constexpr std::uint16_t kRejected = 130;

// Input left half-received this long is a frame the host gave up on; the next bytes
// start afresh instead of being glued to it.
constexpr std::uint64_t kStaleInputMs = 500;

constexpr std::string_view kReadVersion = "FL_READ_VERSION$";
constexpr std::string_view kStartBootLoader = "START_BOOT_LOADER";
constexpr std::string_view kStarted = "STARTED";


std::vector<std::uint8_t> Bytes(std::string_view text, bool zeroTerminated) {
  std::vector<std::uint8_t> bytes(text.begin(), text.end());
  if (zeroTerminated) bytes.push_back(0);
  return bytes;
}

TSectorLayout LayoutOf(const TSimDeviceConfig& config) {
  TFirmwareVersion loader;
  loader.Parse(config.LoaderVersion);
  return SectorLayoutFor(config.ProcessorId, loader.Suffix);
}

bool SameLayout(const TSectorLayout& a, const TSectorLayout& b) {
  return a.FirstSector == b.FirstSector && a.LastSector == b.LastSector &&
         std::equal(a.Sectors.begin(), a.Sectors.end(), b.Sectors.begin(), b.Sectors.end(),
                    [](const TFlashSector& x, const TFlashSector& y) {
                      return x.Offset == y.Offset && x.Size == y.Size;
                    });
}

}  // namespace

TSimDevice::TSimDevice(const TSimDeviceConfig& config) : Config(config) { LayOutFlash(); }

void TSimDevice::Configure(const TSimDeviceConfig& config) {
  const bool relayout = !SameLayout(LayoutOf(config), Layout);
  Config = config;
  if (relayout) LayOutFlash();
}

void TSimDevice::LayOutFlash() {
  Layout = LayoutOf(Config);
  Flash.assign(Layout.FlashSize(), 0xFF);
  FlashChanged = true;
}

void TSimDevice::StartSession() { Input.clear(); }

TSimReply TSimDevice::Receive(const std::uint8_t* data, std::size_t length,
                              std::uint64_t nowMs) {
  if (!Input.empty() && nowMs - LastInputMs > kStaleInputMs) Input.clear();
  LastInputMs = nowMs;
  Input.insert(Input.end(), data, data + length);
  TSimReply reply;
  while (!reply.Unplug && (Config.BootMode ? TakeFrame(reply) : TakeTextCommand(reply))) {
  }
  return reply;
}

bool TSimDevice::CountFrameForUnplug(TSimReply& reply) {
  if (Config.UnplugAfterFrames == 0) {
    reply.Unplug = true;
    return false;
  }
  if (Config.UnplugAfterFrames > 0) --Config.UnplugAfterFrames;
  return true;
}

bool TSimDevice::TakeFrame(TSimReply& reply) {
  // Resynchronise on anything that cannot start a frame (texts meant for the
  // application, leftovers): drop a byte at a time until a plausible header shows.
  while (Input.size() >= 4) {
    const std::uint16_t length = ReadLE16(Input.data());
    const std::uint16_t header = ReadLE16(Input.data() + 2);
    if (header == frame::kHeaderLength && length >= frame::kHeaderLength &&
        length <= frame::kWriteFrameLength)
      break;
    Input.erase(Input.begin());
  }
  if (Input.size() < 4 || Input.size() < ReadLE16(Input.data())) return false;
  std::vector<std::uint8_t> request(Input.begin(), Input.begin() + ReadLE16(Input.data()));
  Input.erase(Input.begin(), Input.begin() + static_cast<std::ptrdiff_t>(request.size()));
  if (!CountFrameForUnplug(reply)) return true;

  std::vector<std::uint8_t> zeroed = request;
  zeroed[12] = zeroed[13] = 0;
  if (FrameChecksum(zeroed.data(), zeroed.size()) != ReadLE16(request.data() + 12)) {
    ++BadFrames;
    return true;
  }
  ++FramesByCode[ReadLE16(request.data() + 4)];
  std::uint32_t busyMs = 0;
  std::vector<std::uint8_t> answer = Answer(request, busyMs);
  Deliver(std::move(answer), busyMs, reply);
  return true;
}

bool TSimDevice::TakeTextCommand(TSimReply& reply) {
  const std::string_view input(reinterpret_cast<const char*>(Input.data()), Input.size());
  for (std::string_view command : {kReadVersion, kStartBootLoader}) {
    if (!input.starts_with(command)) continue;
    Input.erase(Input.begin(), Input.begin() + static_cast<std::ptrdiff_t>(command.size()));
    if (!CountFrameForUnplug(reply)) return true;
    ++TextCommands[std::string(command)];
    if (command == kReadVersion) {
      Deliver(Bytes(Config.FirmwareVersion, false), 0, reply);
    } else {
      Deliver(Bytes(kStarted, false), 0, reply);
      Config.BootOnNextPlug = true;
      ConfigChanged = true;
    }
    return true;
  }
  if (input.empty()) return false;
  for (std::string_view command : {kReadVersion, kStartBootLoader})
    if (command.starts_with(input)) return false;  // the rest is still on its way
  Input.erase(Input.begin());  // not a command the application knows: skip a byte
  return true;
}

std::vector<std::uint8_t> TSimDevice::Answer(const std::vector<std::uint8_t>& request,
                                             std::uint32_t& busyMs) {
  const frame::THeader h = frame::ReadHeader(request.data(), request.size());
  std::vector<std::uint8_t> payload;
  switch (h.Code) {
    case frame::cmdReadFirmwareVersion:
      payload = Bytes(Config.FirmwareVersion, true);
      break;
    case frame::cmdReadLoaderVersion:
      payload = Bytes(Config.LoaderVersion, true);
      break;
    case frame::cmdReadProcessorId:
      for (int i = 0; i < 4; ++i) payload.push_back(static_cast<std::uint8_t>(Config.ProcessorId >> (8 * i)));
      break;
    case frame::cmdCloseSuccess:
    case frame::cmdCloseFailure:
      break;
    case frame::cmdEraseV1:
    case frame::cmdEraseV2:
      if (h.FrameLength != frame::kHeaderLength) break;
      return EraseSector(h.Parameter, h.Address, busyMs);
    case frame::cmdWriteV1:
    case frame::cmdWriteV2:
      return WritePart(request, busyMs);
    default:
      return BuildCommandFrame(kRejected, h.Parameter, h.Address);
  }
  if (h.FrameLength != frame::kHeaderLength) return BuildCommandFrame(kRejected, h.Parameter, h.Address);
  return BuildCommandFrame(frame::rcDone, frame::kNoSectorParameter, 0, payload.data(),
                           payload.size());
}

std::uint16_t TSimDevice::SectorReplyCode(std::uint16_t sector) const {
  if (sector >= Layout.Sectors.size()) return kRejected;
  if (Config.Locked) return frame::rcLocked;
  // The boot loader's own sectors are always protected, like the listed ones.
  const bool isProtected =
      static_cast<std::int32_t>(sector) < Layout.FirstSector ||
      std::find(Config.ProtectedSectors.begin(), Config.ProtectedSectors.end(), sector) !=
          Config.ProtectedSectors.end();
  return isProtected ? frame::rcProtected : frame::rcDone;
}

std::vector<std::uint8_t> TSimDevice::EraseSector(std::uint16_t sector, std::uint32_t address,
                                                  std::uint32_t& busyMs) {
  std::uint16_t code = SectorReplyCode(sector);
  if (code != kRejected && address != Layout.Sectors[sector].Offset) code = kRejected;
  if (code == frame::rcDone) {
    const TFlashSector& s = Layout.Sectors[sector];
    std::fill_n(Flash.begin() + s.Offset, s.Size, 0xFF);
    FlashChanged = true;
    busyMs = Config.EraseMsPerSector;
  }
  std::uint16_t parameter = sector;
  std::uint32_t replyAddress = address;
  if (ConsumeFault(Config.WrongSectorReplies)) ++parameter;
  if (ConsumeFault(Config.WrongAddressReplies)) replyAddress += frame::kPartSize;
  return BuildCommandFrame(code, parameter, replyAddress);
}

std::vector<std::uint8_t> TSimDevice::WritePart(const std::vector<std::uint8_t>& request,
                                                std::uint32_t& busyMs) {
  const frame::THeader h = frame::ReadHeader(request.data(), request.size());
  std::uint16_t code = SectorReplyCode(h.Parameter);
  if (code != kRejected) {
    const TFlashSector& s = Layout.Sectors[h.Parameter];
    const bool inSector = h.Address >= s.Offset && h.Address - s.Offset < s.Size &&
                          (h.Address - s.Offset) % frame::kPartSize == 0;
    if (!inSector || request.size() != frame::kWriteFrameLength) code = kRejected;
  }
  if (code == frame::rcDone) {
    // NOR flash: programming can only clear bits.
    for (std::size_t i = 0; i < frame::kPartSize; ++i)
      Flash[h.Address + i] &= request[frame::kHeaderLength + i];
    FlashChanged = true;
    busyMs = Config.WriteMsPerPart;
  }
  std::uint16_t parameter = h.Parameter;
  std::uint32_t replyAddress = h.Address;
  if (ConsumeFault(Config.WrongSectorReplies)) ++parameter;
  if (ConsumeFault(Config.WrongAddressReplies)) replyAddress += frame::kPartSize;
  return BuildCommandFrame(code, parameter, replyAddress);
}

void TSimDevice::Deliver(std::vector<std::uint8_t> bytes, std::uint32_t busyMs,
                         TSimReply& reply) {
  if (bytes.empty() || Config.Silent || ConsumeFault(Config.MissingReplies)) return;
  if (ConsumeFault(Config.ShortReplies)) {
    bytes.resize(bytes.size() * 2 / 3);
    if (bytes.empty()) return;
  }
  const std::uint32_t delay = busyMs + Config.ReplyDelayMs;
  if (bytes.size() >= 2 && ConsumeFault(Config.SplitReplies)) {
    const auto half = bytes.begin() + static_cast<std::ptrdiff_t>(bytes.size() / 2);
    reply.Bursts.push_back({std::vector<std::uint8_t>(bytes.begin(), half), delay});
    reply.Bursts.push_back({std::vector<std::uint8_t>(half, bytes.end()), delay + Config.SplitGapMs});
  } else {
    reply.Bursts.push_back({std::move(bytes), delay});
  }
}
