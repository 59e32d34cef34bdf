// The identity query against a device that answers whatever the fuzzer says: every read
// of the channel takes the next reply of the input, so frames, version texts and the
// boot-loader start's answer all come from outside.
#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "model/deventry.h"
#include "fuzzentries.h"
#include "protocol/bytechannel.h"
#include "scan/identityquery.h"
#include "protocol/logsink.h"

namespace {

void Require(bool condition, const char* what) {
  if (condition) return;
  std::fprintf(stderr, "fuzz invariant broken: %s\n", what);
  std::abort();
}

// Input: one byte of channel behaviour (bit 0: the open fails; bits 1-7: which writes
// fail, by write number modulo 7), then replies, each a 16-bit little-endian length and
// that many bytes. A read past the last reply gets nothing, as from a silent device.
class TFuzzChannel : public TByteChannel {
public:
  TFuzzChannel(const std::uint8_t* data, std::size_t size) {
    if (size == 0) return;
    Behaviour = data[0];
    std::size_t at = 1;
    while (at + 2 <= size) {
      std::size_t length = data[at] | static_cast<std::size_t>(data[at + 1]) << 8;
      at += 2;
      if (length > size - at) length = size - at;
      Replies.emplace_back(data + at, data + at + length);
      at += length;
    }
  }

  bool Open() override {
    ++Opens;
    return (Behaviour & 1) == 0;
  }
  void Close() override { ++Closes; }
  bool Write(const std::uint8_t* data, std::uint32_t length) override {
    Require(Opens == 1 && Closes == 0, "writes only while the channel is open");
    Require(data != nullptr && length > 0, "a write carries bytes");
    const unsigned bit = 1u + Writes++ % 7;
    return (Behaviour >> bit & 1) == 0;
  }
  std::uint32_t Read(std::uint8_t* buffer, std::uint32_t maxLength, std::uint32_t) override {
    Require(Opens == 1 && Closes == 0, "reads only while the channel is open");
    ++Reads;
    if (NextReply >= Replies.size()) return 0;
    const std::vector<std::uint8_t>& reply = Replies[NextReply++];
    const std::uint32_t count =
        reply.size() < maxLength ? static_cast<std::uint32_t>(reply.size()) : maxLength;
    if (count > 0) std::memcpy(buffer, reply.data(), count);
    LastReply.assign(reply.begin(), reply.begin() + count);
    return count;
  }

  std::uint8_t Behaviour = 0;
  std::vector<std::vector<std::uint8_t>> Replies;
  std::size_t NextReply = 0;
  std::string LastReply;  // the bytes of the reply read last
  int Opens = 0, Closes = 0, Writes = 0, Reads = 0;
};

// Checks every text the query logs: UTF-8 without control bytes, so a device's bytes can
// neither break the log file's lines nor act as a format.
class TCheckingLog : public TLogSink {
public:
  void LogText(TLogLevel level, std::int32_t serial, const std::string& text) override {
    Require(serial == 4242, "every line names the device");
    Require(level == llInfo || level == llError, "info or error only");
    for (std::size_t i = 0; i < text.size(); ++i) {
      const auto byte = static_cast<unsigned char>(text[i]);
      Require((byte >= 0x20 || byte == '\t') && byte != 0x7F, "no control bytes in a log text");
    }
    LastText = text;
    Require(IsUtf8(text), "log texts are UTF-8");
    ++Lines;
  }
  int Lines = 0;
  std::string LastText;

private:
  static bool IsUtf8(const std::string& text) {
    std::size_t i = 0;
    while (i < text.size()) {
      const auto lead = static_cast<unsigned char>(text[i]);
      std::size_t extra = 0;
      if (lead >= 0xF0 && lead < 0xF5) extra = 3;
      else if (lead >= 0xE0 && lead < 0xF0) extra = 2;
      else if (lead >= 0xC2 && lead < 0xE0) extra = 1;
      else if (lead >= 0x80) return false;
      if (extra > text.size() - i - 1) return false;
      for (std::size_t k = 1; k <= extra; ++k)
        if ((static_cast<unsigned char>(text[i + k]) & 0xC0) != 0x80) return false;
      i += extra + 1;
    }
    return true;
  }
};

}  // namespace

void FuzzIdentityQuery(const std::uint8_t* data, std::size_t size) {
  TFuzzChannel channel(data, size);
  TDevEntry device("4242", 0x0102, TAdapterKind::Qn);
  TCheckingLog log;
  const std::int32_t scanError = IdentifyDevice(device, channel, log);

  Require(scanError == 0 || scanError == 7 || scanError == 8, "only codes 7 and 8");
  Require(channel.Opens == 1, "one open");
  if (scanError == 7) {
    Require(channel.Closes == 0 && channel.Writes == 0, "a refused open sends nothing");
    return;
  }
  Require(channel.Closes == 1, "an opened channel is closed");
  // Command 4, four text attempts, then two queries or the boot-loader start.
  Require(channel.Reads <= 7, "the query's reads are bounded");
  Require(!(device.BootMode && device.BootStarted), "a boot loader is not told to start");
  Require(device.BootMode || device.ProcessorId == 0, "only a boot loader reports a processor");
  if (scanError == 8) {
    Require(!device.BootMode && !device.BootStarted && device.ProcessorId == 0,
            "an unanswered device gets no further queries");
    Require(log.Lines == 0, "an unanswered device logs nothing itself");
  }
  Require(!device.BootMode || log.Lines == 0, "the boot-loader queries are silent");
  // The device's answer is shown as text, never taken as a format: every '%' it sent up
  // to its first zero byte stands in the line.
  const std::string unknown = "Неизвестный ответ прибора: ";
  if (log.LastText.rfind(unknown, 0) == 0) {
    const std::string sent = channel.LastReply.substr(0, channel.LastReply.find('\0'));
    Require(std::count(log.LastText.begin(), log.LastText.end(), '%') ==
                std::count(sent.begin(), sent.end(), '%'),
            "a device text is never a format");
  }
  (void)device.FirmwareVersion.VersionText();
  (void)device.LoaderVersion.VersionText();
}
