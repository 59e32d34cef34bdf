#include "link/channel.h"

#include <algorithm>
#include <cstring>

#include "devices/deventry.h"
#include "link/driverlibs_p.h"
#include "link/linktime_p.h"
#include "protocol/textformat.h"

namespace {

constexpr std::uint32_t kPieceSize = 64;
constexpr std::uint32_t kPieceGapMs = 1;
constexpr std::uint32_t kPollMs = 1;
constexpr FT_ULONG kFtdiReadTimeoutMs = 1000;
constexpr FT_ULONG kFtdiWriteTimeoutMs = 200;
constexpr std::uint32_t kQnReadTimeoutMs = 500;
constexpr std::uint32_t kQnWriteTimeoutMs = 200;

bool IsFtdi(const TDevEntry& device) { return device.AdapterKind == 0; }

bool FtdiOpen(TDevEntry& device) {
  const TFtdiApi& api = FtdiDriver().Api;
  std::string serial = FormatText("%d", device.SerialNumber);
  FT_HANDLE handle = nullptr;
  const FT_STATUS status = api.OpenEx(serial.data(), FT_OPEN_BY_SERIAL_NUMBER, &handle);
  // A failed open may still leave something in the handle; keeping it would make the
  // next close reset and close a device that was never opened.
  device.FtdiHandle = status == FT_OK ? handle : nullptr;
  if (!device.FtdiHandle) return false;
  api.SetTimeouts(device.FtdiHandle, kFtdiReadTimeoutMs, kFtdiWriteTimeoutMs);
  return true;
}

bool QnOpen(TDevEntry& device) {
  const TQnApi& api = QnDriver().Api;
  const std::string serial = FormatText("%d", device.SerialNumber);
  QN_HANDLE handle = 0;
  const QN_STATUS status = api.OpenDevice(device.DeviceCode, serial.c_str(), &handle);
  device.QnHandle = status == 0 ? handle : 0;
  if (!device.QnHandle) return false;
  api.SetTimeouts(device.QnHandle, kQnReadTimeoutMs, kQnWriteTimeoutMs);
  return true;
}

std::uint32_t FtdiWaiting(FT_HANDLE handle) {
  FT_DWORD received = 0, transmit = 0, events = 0;
  if (FtdiDriver().Api.GetStatus(handle, &received, &transmit, &events) != FT_OK) return 0;
  return received;
}

std::uint32_t FtdiRead(TDevEntry& device, std::uint8_t* buffer, std::uint32_t maxLength,
                       std::uint32_t timeoutMs) {
  const TLinkTime& time = LinkTime();
  const std::uint32_t start = time.Now();
  if (!device.FtdiHandle) return 0;
  std::memset(buffer, 0, maxLength);
  while (time.Now() - start <= timeoutMs) {
    if (FtdiWaiting(device.FtdiHandle) == 0) {
      time.Sleep(kPollMs);
      continue;
    }
    // Give the rest of a burst a moment to land, then take what is there; a reply that
    // is still arriving is left for the next read.
    time.Sleep(kPollMs);
    const std::uint32_t toRead = std::min(FtdiWaiting(device.FtdiHandle), maxLength);
    FT_DWORD stored = 0;
    if (FtdiDriver().Api.Read(device.FtdiHandle, buffer, toRead, &stored) != FT_OK) return 0;
    return std::min<std::uint32_t>(stored, toRead);
  }
  return 0;
}

std::uint32_t QnRead(TDevEntry& device, std::uint8_t* buffer, std::uint32_t maxLength) {
  if (!device.QnHandle) return 0;
  std::uint32_t stored = 0;
  QnDriver().Api.Read(device.QnHandle, buffer, maxLength, &stored);
  // A library that claims more than it was allowed to store must not make the caller
  // read past its buffer.
  return std::min(stored, maxLength);
}

}  // namespace

bool DevOpen(TDevEntry& device) {
  if (IsFtdi(device)) return FtdiDriverLoaded() && FtdiOpen(device);
  return QnDriverLoaded() && QnOpen(device);
}

void DevClose(TDevEntry& device) {
  if (IsFtdi(device)) {
    if (FtdiDriverLoaded() && device.FtdiHandle) {
      FtdiDriver().Api.ResetDevice(device.FtdiHandle);
      FtdiDriver().Api.Close(device.FtdiHandle);
    }
    device.FtdiHandle = nullptr;
  } else {
    if (QnDriverLoaded() && device.QnHandle) QnDriver().Api.CloseDevice(&device.QnHandle);
    device.QnHandle = 0;
  }
}

bool DevWriteChunk(TDevEntry& device, const std::uint8_t* data, std::uint32_t length,
                   std::uint32_t& written) {
  written = 0;
  if (IsFtdi(device)) {
    if (!FtdiDriverLoaded() || !device.FtdiHandle) return false;
    FT_DWORD count = 0;
    // D2XX declares the buffer non-const; it only reads it.
    const FT_STATUS status = FtdiDriver().Api.Write(
        device.FtdiHandle, const_cast<std::uint8_t*>(data), length, &count);
    written = count;
    return status == FT_OK;
  }
  if (!QnDriverLoaded() || !device.QnHandle) return false;
  std::uint32_t count = 0;
  const QN_STATUS status = QnDriver().Api.Write(device.QnHandle, data, length, &count);
  written = count;
  return status == 0;
}

bool DevWrite(TDevEntry& device, const std::uint8_t* data, std::uint32_t length) {
  std::uint32_t done = 0;
  while (done < length) {
    const std::uint32_t piece = std::min(kPieceSize, length - done);
    std::uint32_t written = 0;
    if (!DevWriteChunk(device, data + done, piece, written) || written != piece) return false;
    done += piece;
    if (done < length) LinkTime().Sleep(kPieceGapMs);
  }
  return true;
}

std::uint32_t DevRead(TDevEntry& device, std::uint8_t* buffer, std::uint32_t maxLength,
                      std::uint32_t timeoutMs) {
  if (IsFtdi(device)) return FtdiDriverLoaded() ? FtdiRead(device, buffer, maxLength, timeoutMs) : 0;
  return QnDriverLoaded() ? QnRead(device, buffer, maxLength) : 0;
}
