#include "scan/identityquery.h"

#include <array>
#include <cstring>
#include <string>
#include <string_view>

#include "protocol/cp1251.h"
#include "protocol/frame.h"

namespace {

constexpr std::uint32_t kFrameReplyMax = 1024;
constexpr std::uint32_t kFrameReplyTimeoutMs = 100;
constexpr std::string_view kReadVersion = "FL_READ_VERSION$";
constexpr std::uint32_t kVersionReplyMax = 100;
constexpr std::uint32_t kVersionReplyTimeoutMs = 2000;
constexpr std::uint32_t kVersionReplyMinLength = 8;
constexpr int kVersionAttempts = 4;
constexpr std::string_view kStartBootLoader = "START_BOOT_LOADER";
constexpr std::uint32_t kStartReplyMax = 1024;
constexpr std::uint32_t kStartReplyTimeoutMs = 1000;

using TReplyBuffer = std::array<std::uint8_t, kFrameReplyMax>;

// A received text ends at its first zero byte or after the last byte received.
std::string_view ReceivedText(const std::uint8_t* bytes, std::uint32_t count) {
  const auto* text = reinterpret_cast<const char*>(bytes);
  const void* zero = std::memchr(text, 0, count);
  return {text, zero ? static_cast<std::size_t>(static_cast<const char*>(zero) - text) : count};
}

bool WriteText(TByteChannel& channel, std::string_view text) {
  return channel.Write(reinterpret_cast<const std::uint8_t*>(text.data()),
                       static_cast<std::uint32_t>(text.size()));
}

// One identity command: the frame goes out in one write and is answered by one read into
// a cleared buffer. False when the write failed or the reply was refused.
bool QueryFrame(TByteChannel& channel, std::uint16_t code, TReplyBuffer& reply,
                std::uint32_t& count, TIdentityReply& checked) {
  const auto request = BuildCommandFrame(code, frame::kNoSectorParameter, 0);
  if (!channel.Write(request.data(), static_cast<std::uint32_t>(request.size()))) return false;
  reply.fill(0);
  count = channel.Read(reply.data(), kFrameReplyMax, kFrameReplyTimeoutMs);
  checked = CheckIdentityReply(reply.data(), count);
  return checked.Accepted;
}

bool QueryVersionText(TDevEntry& device, TByteChannel& channel) {
  std::array<std::uint8_t, kVersionReplyMax> reply{};
  for (int attempt = 0; attempt < kVersionAttempts; ++attempt) {
    WriteText(channel, kReadVersion);  // a lost write shows up as a missing reply
    reply.fill(0);
    const std::uint32_t count = channel.Read(reply.data(), kVersionReplyMax, kVersionReplyTimeoutMs);
    if (count < kVersionReplyMinLength) continue;
    device.FirmwareVersion.Parse(ReceivedText(reply.data(), count));
    if (device.FirmwareVersion.VersionNumber != 0) return true;
  }
  return false;
}

void QueryBootLoader(TDevEntry& device, TByteChannel& channel) {
  TReplyBuffer reply{};
  std::uint32_t count = 0;
  TIdentityReply checked;
  if (QueryFrame(channel, frame::cmdReadLoaderVersion, reply, count, checked))
    device.LoaderVersion.Parse(IdentityReplyText(reply.data(), count, checked));
  if (QueryFrame(channel, frame::cmdReadProcessorId, reply, count, checked))
    device.ProcessorId = IdentityReplyNumber(reply.data(), count, checked);
}

bool StartBootLoader(TDevEntry& device, TByteChannel& channel, TLogSink& log) {
  const std::int32_t serial = device.SerialNumber;
  log.LogText(llInfo, serial, "Отправляем команду запуска загрузчика");
  if (!WriteText(channel, kStartBootLoader)) {
    log.LogText(llError, serial, "Ошибка драйвера.");
    return false;
  }
  std::array<std::uint8_t, kStartReplyMax> reply{};
  const std::uint32_t count = channel.Read(reply.data(), kStartReplyMax, kStartReplyTimeoutMs);
  const std::string_view text = ReceivedText(reply.data(), count);
  if (count == 0) {
    log.LogText(llError, serial, "Прибор не ответил на команду запуска загрузчика.");
    return false;
  }
  if (text.starts_with("STARTED")) {
    log.LogText(llInfo, serial,
                "Команда запуска загрузчика обработана. Переподключите устройство.");
    return true;
  }
  if (text.starts_with("START ERROR")) {
    log.LogText(llError, serial, "Ошибка запуска загрузчика");
    return false;
  }
  log.LogMessage(llError, serial, "Неизвестный ответ прибора: %s",
                 Cp1251ToPrintableUtf8(text).c_str());
  return false;
}

}  // namespace

TScanError IdentifyDevice(TDevEntry& device, TByteChannel& channel, TLogSink& log,
                          bool versionOnly) {
  if (!channel.Open()) return seOpenFailed;
  TScanError outcome = seNone;
  TReplyBuffer reply{};
  std::uint32_t count = 0;
  TIdentityReply checked;
  if (QueryFrame(channel, frame::cmdReadFirmwareVersion, reply, count, checked)) {
    // An accepted reply alone means boot-loader mode, whether its text parses or not.
    device.FirmwareVersion.Parse(IdentityReplyText(reply.data(), count, checked));
    device.BootMode = true;
  } else if (!QueryVersionText(device, channel)) {
    outcome = seNoAnswer;
  }
  if (outcome == seNone && !versionOnly) {
    if (device.BootMode)
      QueryBootLoader(device, channel);
    else
      device.BootStarted = StartBootLoader(device, channel, log);
  }
  channel.Close();
  return outcome;
}
