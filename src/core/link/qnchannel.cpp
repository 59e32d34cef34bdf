#include "link/qnchannel.h"

#include <algorithm>
#include <string>
#include <type_traits>

#include "link/driverlibs_p.h"
#include "protocol/textformat.h"

static_assert(std::is_same_v<QN_HANDLE, std::uint32_t>,
              "the channel keeps the handle as std::uint32_t and passes its address");

namespace {

constexpr std::uint32_t kReadTimeoutMs = 500;
constexpr std::uint32_t kWriteTimeoutMs = 200;

const TQnApi& Api() { return QnDriver().Api; }

}  // namespace

TQnChannel::~TQnChannel() { Close(); }

bool TQnChannel::Open() {
  if (!QnDriverLoaded()) return false;
  const std::string serial = FormatText("%d", SerialNumber);
  QN_HANDLE handle = 0;
  const QN_STATUS status = Api().OpenDevice(DeviceCode, serial.c_str(), &handle);
  Handle = status == 0 ? handle : 0;
  if (!Handle) return false;
  Api().SetTimeouts(Handle, kReadTimeoutMs, kWriteTimeoutMs);
  return true;
}

void TQnChannel::Close() {
  if (QnDriverLoaded() && Handle) Api().CloseDevice(&Handle);
  Handle = 0;
}

bool TQnChannel::WriteChunk(const std::uint8_t* data, std::uint32_t length,
                            std::uint32_t& written) {
  written = 0;
  if (!QnDriverLoaded() || !Handle) return false;
  std::uint32_t count = 0;
  const QN_STATUS status = Api().Write(Handle, data, length, &count);
  written = count;
  return status == 0;
}

std::uint32_t TQnChannel::Read(std::uint8_t* buffer, std::uint32_t maxLength,
                               std::uint32_t /*timeoutMs*/) {
  if (!QnDriverLoaded() || !Handle) return 0;
  std::uint32_t stored = 0;
  Api().Read(Handle, buffer, maxLength, &stored);
  // A library that claims more than it was allowed to store must not make the caller
  // read past its buffer.
  return std::min(stored, maxLength);
}
