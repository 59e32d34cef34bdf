#include "firmware/writebody.h"

#include <algorithm>
#include <cstring>

#include "firmware/compatibility.h"
#include "protocol/frame.h"
#include "protocol/textformat.h"
#include "protocol/ticks.h"

namespace {

constexpr int kSectorAttempts = 3;
constexpr std::uint32_t kSectorReplyLength = 14;
constexpr std::uint32_t kSectorReplyTimeoutMs = 1000;
constexpr std::uint32_t kClosingReplyMax = 1024;
constexpr std::uint32_t kClosingReplyTimeoutMs = 100;
constexpr std::uint16_t kLoaderWithSecondVariant = 104;

}  // namespace

TWriteBody::TWriteBody(const TDevEntry& device, TByteChannel& channel, TFirmwareImage image,
                       TWriteHost& host, TLogSink& log)
    : Device(device), Channel(channel), Host(host), Sink(log), Image(std::move(image)) {}

TWriteOutcome TWriteBody::Outcome() const {
  return WriteOutcome(Device.SerialNumber, ResultCode, LastReplyCode, Elapsed);
}

std::int32_t TWriteBody::Now() const {
  return static_cast<std::int32_t>(TickCount() - StartTick);
}

void TWriteBody::Log(TLogLevel level, const std::string& text) {
  Sink.LogText(level, Device.SerialNumber, text);
}

void TWriteBody::Execute() {
  StartTick = TickCount();
  ResultCode = wrSuccess;
  LastReplyCode = 0;
  SectorProtected = false;
  if (!Image.Loaded) {
    ResultCode = wrLoadFailed;
  } else {
    Prepare();
    if (!IsCompatible(Image.Version, Device)) ResultCode = wrIncompatible;
  }
  if (ResultCode == wrSuccess) {
    Log(llInfo, FormatText("Прошивается сектора с %d по %d", FirstSector, LastSector));
    PartsDone = 0;
    if (!Channel.Open()) {
      Log(llError, "Не удалось открыть устройство");
      ResultCode = wrOpenFailed;
    } else {
      for (std::int32_t n = FirstSector; n <= LastSector; ++n) {
        // A stop comes from the scan when the device has gone; the sector under way has
        // been finished, so the device is left between sectors, not written through.
        if (Host.StopRequested()) {
          ResultCode = wrStopped;
          break;
        }
        Log(llInfo, FormatText("(% 6d) Перепрошивка сектора %d:", Now(), n));
        if (IsSectorEmpty(n)) {
          Log(llInfo, FormatText("(% 6d) Сектор %d пустой. Пропускаем.", Now(), n));
          PartsDone += Layout.Sectors[static_cast<std::size_t>(n)].Size / frame::kPartSize;
          UpdateProgress();
          continue;
        }
        if (!EraseSector(n)) {
          ResultCode = wrEraseFailed;
          break;
        }
        if (!WriteSector(n)) {
          ResultCode = wrWriteFailed;
          break;
        }
      }
      if (ResultCode == wrSuccess && SectorProtected) ResultCode = wrSectorProtected;
      SendClosingFrame();
      Channel.Close();
    }
  }
  FreeBlocks(Image.Blocks);
  FlashImage.clear();
  FlashImage.shrink_to_fit();
  Elapsed = Now();
}

void TWriteBody::Prepare() {
  Layout = SectorLayoutFor(Device.ProcessorId, Device.LoaderVersion.Suffix);
  FirstSector = Layout.FirstSector;
  LastSector = Layout.LastSector;
  if (Layout.Sectors.empty() || FirstSector < 0 || LastSector < 0 || LastSector < FirstSector ||
      static_cast<std::size_t>(LastSector) >= Layout.Sectors.size()) {
    ResultCode = wrNoSectorRange;
    return;
  }
  const bool secondVariant =
      IsListedProcessor(Device.ProcessorId) ||
      (Image.Version.FamilyCode == "VLQN" &&
       Device.LoaderVersion.VersionNumber >= kLoaderWithSecondVariant);
  EraseCode = secondVariant ? frame::cmdEraseV2 : frame::cmdEraseV1;
  WriteCode = secondVariant ? frame::cmdWriteV2 : frame::cmdWriteV1;

  const std::uint32_t flashSize = Layout.FlashSize();
  FlashImage.assign(flashSize, 0xFF);
  const std::uint32_t firstOffset = Layout.Sectors[static_cast<std::size_t>(FirstSector)].Offset;
  for (const auto& block : Image.Blocks) {
    const std::uint64_t place =
        block->Address < 0 ? firstOffset : static_cast<std::uint64_t>(block->Address);
    const auto size = static_cast<std::uint64_t>(static_cast<std::uint32_t>(block->Size));
    if (place + size > flashSize) {
      ResultCode = wrBlockOutsideFlash;
      return;
    }
    std::copy_n(block->Data.data(), size, FlashImage.begin() + static_cast<std::ptrdiff_t>(place));
  }
  while (LastSector >= FirstSector && IsSectorEmpty(LastSector)) --LastSector;
  if (LastSector < FirstSector) {
    ResultCode = wrNothingToWrite;
    return;
  }
  const TFlashSector& last = Layout.Sectors[static_cast<std::size_t>(LastSector)];
  TotalParts = static_cast<std::int32_t>((last.Offset + last.Size - firstOffset) / frame::kPartSize);
}

bool TWriteBody::IsSectorEmpty(std::int32_t n) const {
  const TFlashSector& sector = Layout.Sectors[static_cast<std::size_t>(n)];
  const auto begin = FlashImage.begin() + sector.Offset;
  // Whole 32-bit words only, as the device's erased state is judged.
  return std::all_of(begin, begin + (sector.Size / 4) * 4,
                     [](std::uint8_t b) { return b == 0xFF; });
}

void TWriteBody::UpdateProgress() {
  if (TotalParts > 0)
    Host.SetProgress(static_cast<int>(static_cast<std::int64_t>(PartsDone) * 100 / TotalParts));
}

bool TWriteBody::EraseSector(std::int32_t n) {
  Log(llInfo, FormatText("(% 6d) Стираем сектор %d...", Now(), n));
  const std::uint32_t offset = Layout.Sectors[static_cast<std::size_t>(n)].Offset;
  const auto request = BuildCommandFrame(EraseCode, static_cast<std::uint16_t>(n), offset);
  const bool ok = SectorExchange(request, n, offset, false);
  Log(ok ? llInfo : llError,
      FormatText("(% 6d) Стирание сектора %d: %s", Now(), n, ok ? "OK" : "Ошибка!"));
  return ok;
}

bool TWriteBody::WriteSector(std::int32_t n) {
  Log(llInfo, FormatText("(% 6d) Запись сектора %d:", Now(), n));
  const TFlashSector& sector = Layout.Sectors[static_cast<std::size_t>(n)];
  const int parts = sector.Size / frame::kPartSize;
  for (int p = 0; p < parts; ++p) {
    Log(llInfo, FormatText("(% 6d)\tЧасть %d из %d", Now(), p, parts));
    const std::uint32_t address = sector.Offset + static_cast<std::uint32_t>(p) * frame::kPartSize;
    const auto request = BuildCommandFrame(WriteCode, static_cast<std::uint16_t>(n), address,
                                           FlashImage.data() + address, frame::kPartSize);
    if (!SectorExchange(request, n, address, true)) {
      const frame::THeader h = frame::ReadHeader(Reply, sizeof Reply);
      Log(llError, FormatText("(% 6d) Ошибка при записи сектора %d (%d, %d, %d, %d, %d)", Now(), n,
                              h.FrameLength, h.HeaderLength, h.Code, h.Parameter,
                              static_cast<int>(h.Address)));
      return false;
    }
    ++PartsDone;
    UpdateProgress();
  }
  Log(llInfo, FormatText("(% 6d) Сектор %d записан", Now(), n));
  return true;
}

bool TWriteBody::SectorExchange(const std::vector<std::uint8_t>& request, std::int32_t sector,
                                std::uint32_t address, bool isWrite) {
  for (int attempt = 0; attempt < kSectorAttempts; ++attempt) {
    std::memset(Reply, 0, sizeof Reply);
    if (!Channel.Write(request.data(), static_cast<std::uint32_t>(request.size()))) continue;
    const std::uint32_t count = Channel.Read(Reply, kSectorReplyLength, kSectorReplyTimeoutMs);
    if (count != kSectorReplyLength) continue;
    if (!CheckSectorReply(Reply, count, static_cast<std::uint16_t>(sector), address, isWrite))
      return false;
    const frame::THeader h = frame::ReadHeader(Reply, count);
    LastReplyCode = h.Code;
    if (h.Code == frame::rcDone) return true;
    if (h.Code == frame::rcProtected) {
      SectorProtected = true;
      Log(llError, isWrite ? FormatText("(% 6d) Сектор защищен от записи", Now())
                           : FormatText("(% 6d) Сектор защищен от стирания", Now()));
      return true;
    }
    return false;
  }
  return false;
}

void TWriteBody::SendClosingFrame() {
  // A protected sector is the device's own refusal of an exchange it accepted: towards the
  // device the run went through and is closed as such, whatever the user is told.
  const bool runCompleted = ResultCode == wrSuccess || ResultCode == wrSectorProtected;
  const auto request = BuildCommandFrame(
      runCompleted ? frame::cmdCloseSuccess : frame::cmdCloseFailure, frame::kNoSectorParameter, 0);
  if (!Channel.Write(request.data(), static_cast<std::uint32_t>(request.size()))) return;
  std::vector<std::uint8_t> ignored(kClosingReplyMax, 0);
  Channel.Read(ignored.data(), kClosingReplyMax, kClosingReplyTimeoutMs);
}
