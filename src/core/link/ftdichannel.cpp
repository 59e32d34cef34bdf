#include "link/ftdichannel.h"

#include <algorithm>
#include <cstring>
#include <string>
#include <type_traits>

#include "link/driverlibs_p.h"
#include "link/linktime_p.h"
#include "protocol/textformat.h"

static_assert(std::is_same_v<FT_HANDLE, void*>, "the channel keeps the handle as void*");

namespace {

constexpr std::uint32_t kPollMs = 1;
constexpr FT_ULONG kReadTimeoutMs = 1000;
constexpr FT_ULONG kWriteTimeoutMs = 200;

const TFtdiApi& Api() { return FtdiDriver().Api; }

}  // namespace

TFtdiChannel::~TFtdiChannel() { Close(); }

bool TFtdiChannel::Open() {
  if (!FtdiDriverLoaded()) return false;
  std::string serial = FormatText("%d", SerialNumber);
  FT_HANDLE handle = nullptr;
  const FT_STATUS status = Api().OpenEx(serial.data(), FT_OPEN_BY_SERIAL_NUMBER, &handle);
  // A failed open may still leave something in the handle; keeping it would make the
  // next close reset and close a device that was never opened.
  Handle = status == FT_OK ? handle : nullptr;
  if (!Handle) return false;
  Api().SetTimeouts(Handle, kReadTimeoutMs, kWriteTimeoutMs);
  return true;
}

void TFtdiChannel::Close() {
  if (FtdiDriverLoaded() && Handle) {
    Api().ResetDevice(Handle);
    Api().Close(Handle);
  }
  Handle = nullptr;
}

bool TFtdiChannel::WriteChunk(const std::uint8_t* data, std::uint32_t length,
                              std::uint32_t& written) {
  written = 0;
  if (!FtdiDriverLoaded() || !Handle) return false;
  FT_DWORD count = 0;
  // D2XX declares the buffer non-const; it only reads it.
  const FT_STATUS status = Api().Write(Handle, const_cast<std::uint8_t*>(data), length, &count);
  written = count;
  return status == FT_OK;
}

std::uint32_t TFtdiChannel::Waiting() const {
  FT_DWORD received = 0, transmit = 0, events = 0;
  if (Api().GetStatus(Handle, &received, &transmit, &events) != FT_OK) return 0;
  return received;
}

std::uint32_t TFtdiChannel::Read(std::uint8_t* buffer, std::uint32_t maxLength,
                                 std::uint32_t timeoutMs) {
  if (!FtdiDriverLoaded()) return 0;
  const TLinkTime& time = LinkTime();
  const std::uint32_t start = time.Now();
  if (!Handle) return 0;
  std::memset(buffer, 0, maxLength);
  while (time.Now() - start <= timeoutMs) {
    if (Waiting() == 0) {
      time.Sleep(kPollMs);
      continue;
    }
    // Give the rest of a burst a moment to land, then take what is there; a reply that
    // is still arriving is left for the next read.
    time.Sleep(kPollMs);
    const std::uint32_t toRead = std::min(Waiting(), maxLength);
    FT_DWORD stored = 0;
    if (Api().Read(Handle, buffer, toRead, &stored) != FT_OK) return 0;
    return std::min<std::uint32_t>(stored, toRead);
  }
  return 0;
}
