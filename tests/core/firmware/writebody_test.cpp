// The write body against a simulated device, through the real channel and the stand-in
// driver libraries.
#include "firmware/writebody.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <deque>
#include <functional>
#include <initializer_list>
#include <string>
#include <string_view>

#include "link/channelfactory.h"
#include "link/driverlibs.h"
#include "packer.h"
#include "protocol/frame.h"
#include "support/recordinglog.h"
#include "support/scriptedchannel.h"
#include "support/simbustest.h"
#include "support/simdevices.h"

namespace {

using TBytes = std::vector<std::uint8_t>;
using TLines = std::vector<std::string>;

// Six places of milliseconds, right-aligned: spaces, then at least one digit.
bool IsTimeField(std::string_view field) {
  const std::size_t digits = field.find_first_not_of(' ');
  return field.size() == 6 && digits != std::string_view::npos &&
         field.find_first_not_of("0123456789", digits) == std::string_view::npos;
}

// The log's texts with each step's time "(" field ")" written as "(t)"; a time in any
// other form is left in and fails the comparison.
TLines Timeless(const TLines& texts) {
  TLines out;
  for (const std::string& text : texts) {
    const bool timed = text.size() >= 8 && text[0] == '(' && text[7] == ')' &&
                       IsTimeField(std::string_view(text).substr(1, 6));
    out.push_back(timed ? "(t)" + text.substr(8) : text);
  }
  return out;
}

// What a sector erased and written without a fault logs, in order.
TLines SectorLines(int n, int parts) {
  const std::string sector = std::to_string(n);
  TLines lines = {"(t) Перепрошивка сектора " + sector + ":",
                  "(t) Стираем сектор " + sector + "...",
                  "(t) Стирание сектора " + sector + ": OK",
                  "(t) Запись сектора " + sector + ":"};
  for (int p = 0; p < parts; ++p)
    lines.push_back("(t)\tЧасть " + std::to_string(p) + " из " + std::to_string(parts));
  lines.push_back("(t) Сектор " + sector + " записан");
  return lines;
}

TLines Join(std::initializer_list<TLines> parts) {
  TLines out;
  for (const TLines& part : parts) out.insert(out.end(), part.begin(), part.end());
  return out;
}

class TTestHost : public TWriteHost {
public:
  // The image the write is handed, or the failed load.
  TFirmwareImage Image() const {
    TFirmwareImage image;
    if (!LoadSucceeds) return image;
    image.Loaded = true;
    image.Version.Parse(ImageVersion);
    image.Blocks.push_back(std::make_unique<TFirmwareBlock>(
        Payload.data(), static_cast<std::int32_t>(Payload.size()), BlockAddress));
    return image;
  }
  void SetProgress(int position) override { Progress.push_back(position); }
  bool StopRequested() override { return StopWhen && StopWhen(); }

  bool LoadSucceeds = true;
  std::string ImageVersion = "VLQN-2.3b";
  TBytes Payload;
  std::int32_t BlockAddress = -1;
  std::function<bool()> StopWhen;
  std::vector<int> Progress;
};

class WriteBody : public TSimBusTest {
protected:
  void SetUp() override {
    TSimBusTest::SetUp();
    Config = WritableDevice();
    Host.Payload = GenerateCodePayload(40, 7);  // 20 KiB: sectors 10 to 14 of 4 KiB
  }

  // A boot loader below 1.04 takes the "VLQN-2.3b" images the tests write.
  static TSimDeviceConfig WritableDevice() {
    TSimDeviceConfig config = FastSimDevice("dev", saFtdi, "4321");
    config.LoaderVersion = "VLQN-1.3";
    return config;
  }

  // Adds the device to the bus and builds its record as the scan would have.
  void Plug() {
    ASSERT_TRUE(Bus.Add(Config));
    Device = NewEntryFor(Config);
    Device->BootMode = true;
    Device->ProcessorId = Config.ProcessorId;
    Device->FirmwareVersion.Parse(Config.FirmwareVersion);
    Device->LoaderVersion.Parse(Config.LoaderVersion);
  }

  TWriteBody Run() {
    const std::unique_ptr<TDeviceChannel> channel = MakeDeviceChannel(*Device);
    TWriteBody body(*Device, *channel, Host.Image(), Host, Log);
    body.Execute();
    return body;
  }

  std::uint32_t Frames(std::uint16_t code) { return Bus.FramesReceived("dev", code); }
  std::uint32_t AllFrames() {
    std::uint32_t total = 0;
    for (std::uint16_t code : {1, 2, 4, 5, 6, 7, 10, 11, 12}) total += Frames(code);
    return total;
  }

  TSimDeviceConfig Config;
  std::unique_ptr<TDevEntry> Device;
  TTestHost Host;
  TRecordingLog Log;
};

}  // namespace

TEST_F(WriteBody, FullWriteLeavesTheImageInFlashAndSkipsEmptySectors) {
  // Sector 12 of the image is erased bytes only; the device's old contents there stay.
  std::fill(Host.Payload.begin() + 2 * 4096, Host.Payload.begin() + 3 * 4096, 0xFF);
  Plug();
  TBytes before(0x80000, 0xFF);
  std::fill(before.begin() + 0xC000, before.begin() + 0xD000, 0x5A);
  ASSERT_TRUE(Bus.SetFlash("dev", before));

  const TWriteBody body = Run();
  EXPECT_EQ(body.ResultCode, wrSuccess);
  EXPECT_EQ(body.FirstSector, 10);
  EXPECT_EQ(body.LastSector, 14);  // the empty top sectors are trimmed
  EXPECT_EQ(body.TotalParts, 40);
  const TBytes flash = *Bus.Flash("dev");
  for (std::size_t i = 0; i < Host.Payload.size(); ++i) {
    const std::uint8_t expected = (i >= 0x2000 && i < 0x3000) ? 0x5A : Host.Payload[i];
    ASSERT_EQ(flash[0xA000 + i], expected) << "offset " << 0xA000 + i;
  }
  EXPECT_EQ(Frames(frame::cmdEraseV2), 4u);
  EXPECT_EQ(Frames(frame::cmdWriteV2), 32u);
  EXPECT_EQ(Frames(frame::cmdCloseSuccess), 1u);
  EXPECT_EQ(Frames(frame::cmdCloseFailure), 0u);
  ASSERT_FALSE(Host.Progress.empty());
  EXPECT_EQ(Host.Progress.back(), 100);
  EXPECT_TRUE(std::is_sorted(Host.Progress.begin(), Host.Progress.end()));
  EXPECT_EQ(Host.Progress.size(), 33u);  // every written part and the skipped sector

  // Every step in order, each behind its time; the empty sector is said and skipped.
  EXPECT_EQ(Timeless(Log.Texts()),
            Join({{"Прошивается сектора с 10 по 14"}, SectorLines(10, 8), SectorLines(11, 8),
                  {"(t) Перепрошивка сектора 12:", "(t) Сектор 12 пустой. Пропускаем."},
                  SectorLines(13, 8), SectorLines(14, 8)}));
  for (const auto& e : Log.Entries) {
    EXPECT_EQ(e.Level, llInfo) << e.Text;
    EXPECT_EQ(e.Serial, 4321) << e.Text;
  }
}

TEST_F(WriteBody, CodesOneAndTwoUnlessListedProcessorOrNewVlqnLoader) {
  const struct {
    std::uint32_t cpu;
    const char* image;
    const char* loader;
    std::uint16_t erase;
  } cases[] = {
      {0x12345678, "VLQN-2.3", "VLQN-1.4", frame::cmdEraseV2},
      {0x12345678, "VLQN-2.3", "VLQN-1.3", frame::cmdEraseV1},
      {0x12345678, "ZEPH-2.3", "VLQN-1.4", frame::cmdEraseV1},
      {0x10040204, "ZEPH-2.3", "VLQN-1.0", frame::cmdEraseV2},
  };
  for (const auto& c : cases) {
    Bus.Clear();
    Config.ProcessorId = c.cpu;
    Config.LoaderVersion = c.loader;
    Config.FirmwareVersion = "";  // an empty family takes any image
    Host.ImageVersion = c.image;
    Host.Payload = GenerateCodePayload(8, 3);
    Plug();
    EXPECT_EQ(Run().ResultCode, wrSuccess) << c.image << " " << c.loader;
    EXPECT_EQ(Frames(c.erase), 1u) << c.image << " " << c.loader;
    EXPECT_EQ(Frames(c.erase + 1), 8u) << c.image << " " << c.loader;
  }
}

TEST_F(WriteBody, SmallSectorsAreWrittenOnePartEach) {
  Config.ProcessorId = 0x400FE000;
  Host.Payload = GenerateCodePayload(3, 5);
  Plug();
  const TWriteBody body = Run();
  EXPECT_EQ(body.ResultCode, wrSuccess);
  EXPECT_EQ(body.FirstSector, 0);
  EXPECT_EQ(body.LastSector, 2);
  EXPECT_EQ(Frames(frame::cmdWriteV2), 3u);
  const TBytes flash = *Bus.Flash("dev");
  EXPECT_TRUE(std::equal(Host.Payload.begin(), Host.Payload.end(), flash.begin() + 0x4400));
  EXPECT_EQ(Timeless(Log.Texts()), Join({{"Прошивается сектора с 0 по 2"}, SectorLines(0, 1),
                                         SectorLines(1, 1), SectorLines(2, 1)}));
}

TEST_F(WriteBody, UnlistedProcessorLayoutFollowsTheLoaderSuffix) {
  Config.ProcessorId = 0x11111111;
  Config.LoaderVersion = "VLQN-1.4PP";
  Host.ImageVersion = "VLQN-9.1";  // a boot loader from 1.04 on takes images from 9.00 on
  // 0x79000 bytes from sector 4 reach the last 4 KiB sector of the 27-sector layout.
  Host.Payload.assign(0x7D000 - 0x4000, 0xFF);
  Host.Payload.back() = 0x00;
  Plug();
  const TWriteBody body = Run();
  EXPECT_EQ(body.ResultCode, wrSuccess);
  EXPECT_EQ(body.LastSector, 26);
  EXPECT_EQ(Frames(frame::cmdEraseV2), 1u);  // every other sector is empty
  EXPECT_EQ((*Bus.Flash("dev"))[0x7CFFF], 0x00);
  // One byte more does not fit that layout.
  Bus.Clear();
  Host.Payload.push_back(0x00);
  Plug();
  EXPECT_EQ(Run().ResultCode, wrBlockOutsideFlash);
}

TEST_F(WriteBody, FailuresBeforeTheChannelSendNothing) {
  const struct {
    const char* name;
    std::function<void(TTestHost&, TSimDeviceConfig&)> setup;
    TWriteResult result;
  } cases[] = {
      {"load failed", [](TTestHost& h, TSimDeviceConfig&) { h.LoadSucceeds = false; }, wrLoadFailed},
      {"block past the flash", [](TTestHost& h, TSimDeviceConfig&) { h.BlockAddress = 0x7FFFF; },
       wrBlockOutsideFlash},
      {"only erased bytes", [](TTestHost& h, TSimDeviceConfig&) { h.Payload.assign(4096, 0xFF); },
       wrNothingToWrite},
      {"incompatible", [](TTestHost& h, TSimDeviceConfig&) { h.ImageVersion = "MIRA-9.1"; },
       wrIncompatible},
      {"incompatible beats nothing to write",
       [](TTestHost& h, TSimDeviceConfig&) {
         h.ImageVersion = "MIRA-9.1";
         h.Payload.assign(4096, 0xFF);
       },
       wrIncompatible},
      {"open refused", [](TTestHost&, TSimDeviceConfig& c) { c.RefuseOpen = true; }, wrOpenFailed},
  };
  for (const auto& c : cases) {
    Bus.Clear();
    Host = TTestHost();
    Host.Payload = GenerateCodePayload(8, 1);
    Config = WritableDevice();
    c.setup(Host, Config);
    Plug();
    TRecordingLog log;
    const std::unique_ptr<TDeviceChannel> channel = MakeDeviceChannel(*Device);
    TWriteBody body(*Device, *channel, Host.Image(), Host, log);
    body.Execute();
    EXPECT_EQ(body.ResultCode, c.result) << c.name;
    EXPECT_EQ(AllFrames(), 0u) << c.name;
    EXPECT_FALSE(Bus.IsOpen("dev")) << c.name;
    if (c.result == wrOpenFailed) {
      const std::vector<TRecordingLog::TEntry> expected = {
          {llInfo, 4321, "Прошивается сектора с 10 по 10"},
          {llError, 4321, "Не удалось открыть устройство"}};
      EXPECT_EQ(log.Entries, expected);
    } else {
      EXPECT_EQ(Bus.Calls("FT_OpenEx"), 0u) << c.name;
      EXPECT_TRUE(log.Entries.empty()) << c.name;
    }
  }
}

TEST_F(WriteBody, DeviceRefusalsAndBadReplies) {
  const std::string eraseFailed = "(t) Стирание сектора 10: Ошибка!";
  const struct {
    const char* name;
    std::function<void(TSimDeviceConfig&)> fault;
    TWriteResult result;
    std::uint32_t lastReply;
    std::uint32_t eraseFrames;
    std::uint32_t writeFrames;
    std::string lastLine;
  } cases[] = {
      {"locked", [](TSimDeviceConfig& c) { c.Locked = true; }, wrEraseFailed, 138, 1, 0,
       eraseFailed},
      {"three short erase replies", [](TSimDeviceConfig& c) { c.ShortReplies = 3; }, wrEraseFailed,
       0, 3, 0, eraseFailed},
      {"two short replies are retried", [](TSimDeviceConfig& c) { c.ShortReplies = 2; }, wrSuccess,
       128, 3, 8, "(t) Сектор 10 записан"},
      {"missing replies", [](TSimDeviceConfig& c) { c.MissingReplies = 3; }, wrEraseFailed, 0, 3, 0,
       eraseFailed},
      {"another sector", [](TSimDeviceConfig& c) { c.WrongSectorReplies = 1; }, wrEraseFailed, 0, 1,
       0, eraseFailed},
      {"another address on a write",
       [](TSimDeviceConfig& c) {
         c.WrongAddressReplies = 2;  // the erase's address is not compared
       },
       wrWriteFailed, 128, 1, 1, "(t) Ошибка при записи сектора 10 (14, 14, 128, 10, 41472)"},
  };
  for (const auto& c : cases) {
    Bus.Clear();
    Host = TTestHost();
    Host.Payload = GenerateCodePayload(8, 2);
    Config = WritableDevice();
    Log.Entries.clear();
    c.fault(Config);
    Plug();
    const TWriteBody body = Run();
    EXPECT_EQ(body.ResultCode, c.result) << c.name;
    EXPECT_EQ(body.LastReplyCode, c.lastReply) << c.name;
    EXPECT_EQ(Frames(frame::cmdEraseV2), c.eraseFrames) << c.name;
    EXPECT_EQ(Frames(frame::cmdWriteV2), c.writeFrames) << c.name;
    EXPECT_EQ(Frames(c.result == wrSuccess ? frame::cmdCloseSuccess : frame::cmdCloseFailure), 1u)
        << c.name;
    ASSERT_FALSE(Log.Entries.empty()) << c.name;
    EXPECT_EQ(Timeless({Log.Entries.back().Text}), TLines{c.lastLine}) << c.name;
    EXPECT_EQ(Log.Entries.back().Level, c.result == wrSuccess ? llInfo : llError) << c.name;
  }
}

TEST_F(WriteBody, ProtectedSectorIsReportedAndTheWriteIsNotDone) {
  Config.ProtectedSectors = {10};
  Host.Payload = GenerateCodePayload(16, 4);
  Plug();
  const TWriteBody body = Run();
  // The rest is still written, but sector 10 kept its old contents: not done for the user,
  // while the device, having accepted every exchange, gets the closing frame of a run.
  EXPECT_EQ(body.ResultCode, wrSectorProtected);
  EXPECT_EQ(Frames(frame::cmdCloseSuccess), 1u);
  EXPECT_EQ(Frames(frame::cmdCloseFailure), 0u);
  EXPECT_EQ(body.LastReplyCode, 128u);
  EXPECT_EQ(Frames(frame::cmdWriteV2), 16u);  // the protected sector's parts are still sent
  // Each refusal is said where it came, at the error level, and the sector goes on.
  TLines sector10 = {"(t) Перепрошивка сектора 10:", "(t) Стираем сектор 10...",
                     "(t) Сектор защищен от стирания", "(t) Стирание сектора 10: OK",
                     "(t) Запись сектора 10:"};
  for (int p = 0; p < 8; ++p) {
    sector10.push_back("(t)\tЧасть " + std::to_string(p) + " из 8");
    sector10.push_back("(t) Сектор защищен от записи");
  }
  sector10.push_back("(t) Сектор 10 записан");
  const TLines texts = Timeless(Log.Texts());
  EXPECT_EQ(texts, Join({{"Прошивается сектора с 10 по 11"}, sector10, SectorLines(11, 8)}));
  for (std::size_t i = 0; i < texts.size() && i < Log.Entries.size(); ++i) {
    const bool refusal = texts[i].find("защищен") != std::string::npos;
    EXPECT_EQ(Log.Entries[i].Level, refusal ? llError : llInfo) << texts[i];
  }
}

TEST_F(WriteBody, FailedWriteLogsTheLastReplyFields) {
  Config.WrongAddressReplies = 2;
  Host.Payload = GenerateCodePayload(8, 2);
  Plug();
  EXPECT_EQ(Run().ResultCode, wrWriteFailed);
  // The reply named address 0xA000 + 512 for the request of 0xA000: its header fields
  // follow the failing part, and the write ends there.
  ASSERT_EQ(Timeless(Log.Texts()),
            TLines({"Прошивается сектора с 10 по 10", "(t) Перепрошивка сектора 10:",
                    "(t) Стираем сектор 10...", "(t) Стирание сектора 10: OK",
                    "(t) Запись сектора 10:", "(t)\tЧасть 0 из 8",
                    "(t) Ошибка при записи сектора 10 (14, 14, 128, 10, 41472)"}));
  EXPECT_EQ(Log.Entries.back().Level, llError);
}

// The stop is asked for as soon as the first part of the first sector has gone out, and
// stays asked for, as a real request does: the sector under way must still get all of
// its parts, so the device is left between sectors, and then the failed run's closing
// frame. A stop honoured between parts would leave the sector half written.
TEST_F(WriteBody, StopAskedMidSectorFinishesThatSectorThenClosesWithFrame12) {
  Host.Payload = GenerateCodePayload(24, 9);  // sectors 10 to 12, eight parts each
  Plug();
  bool stopAsked = false;
  Host.StopWhen = [&] {
    if (Frames(frame::cmdWriteV2) >= 1) stopAsked = true;
    return stopAsked;
  };
  const TWriteBody body = Run();
  EXPECT_TRUE(stopAsked);
  EXPECT_EQ(body.ResultCode, wrStopped);
  EXPECT_EQ(Frames(frame::cmdEraseV2), 1u);
  EXPECT_EQ(Frames(frame::cmdWriteV2), 8u);  // every part of sector 10, none of sector 11
  EXPECT_EQ(Frames(frame::cmdCloseFailure), 1u);
  EXPECT_EQ(Frames(frame::cmdCloseSuccess), 0u);
  const TLines texts = Timeless(Log.Texts());
  ASSERT_FALSE(texts.empty());
  EXPECT_NE(std::find(texts.begin(), texts.end(), "(t) Сектор 10 записан"), texts.end());
  EXPECT_EQ(std::find(texts.begin(), texts.end(), "(t) Перепрошивка сектора 11:"), texts.end());
}

TEST_F(WriteBody, QnAdapterWritesToo) {
  Config = WritableDevice();
  Config.Adapter = saQn;
  Config.Serial = "777";
  Plug();
  EXPECT_EQ(Run().ResultCode, wrSuccess);
  const TBytes flash = *Bus.Flash("dev");
  EXPECT_TRUE(std::equal(Host.Payload.begin(), Host.Payload.end(), flash.begin() + 0xA000));
}

// The body over a scripted channel: exactly what is sent, what is read and when.
namespace {

constexpr std::uint32_t kSectorWait = 1000;  // ms for a sector reply
constexpr std::uint32_t kClosingWait = 100;  // ms for whatever answers the closing frame

class ScriptedWrite : public ::testing::Test {
protected:
  ScriptedWrite() {
    Device.BootMode = true;
    Device.ProcessorId = 0x25013F37;
    Device.FirmwareVersion.Parse("VLQN-2.3");
    Device.LoaderVersion.Parse("VLQN-1.3");
    Host.Payload = GenerateCodePayload(8, 2);  // one 4 KiB sector: 10, at 0xA000, 8 parts
  }
  static TBytes Done(std::uint16_t sector, std::uint32_t address) {
    return BuildCommandFrame(frame::rcDone, sector, address);
  }
  // The device's answers to the erase of sector 10 and to its eight parts.
  static std::deque<TBytes> EveryExchangeAnswered() {
    std::deque<TBytes> replies = {Done(10, 0xA000)};
    for (std::uint32_t part = 0; part < 8; ++part) replies.push_back(Done(10, 0xA000 + part * 512));
    return replies;
  }
  static std::vector<std::uint16_t> Codes(const TScriptedChannel& channel) {
    std::vector<std::uint16_t> codes;
    for (const TBytes& frame : channel.Sent)
      codes.push_back(frame::ReadHeader(frame.data(), frame.size()).Code);
    return codes;
  }
  static bool IsCode(const TBytes& frame, std::uint16_t code) {
    return frame::ReadHeader(frame.data(), frame.size()).Code == code;
  }
  TWriteBody Run(TScriptedChannel& channel, TRecordingLog& log) {
    TWriteBody body(Device, channel, Host.Image(), Host, log);
    body.Execute();
    return body;
  }

  TDevEntry Device{"4321", 0xFFFF, TAdapterKind::Ftdi};
  TTestHost Host;
};

}  // namespace

// An exchange that fails once is sent again, unchanged, and the write goes on as if nothing
// had happened; a frame the channel refused is not waited for.
TEST_F(ScriptedWrite, AnExchangeThatFailsOnceIsSentAgainAndTheWriteSucceeds) {
  const auto silence = [](std::size_t at) {
    return [at](TScriptedChannel& c) {
      c.Replies.insert(c.Replies.begin() + static_cast<std::ptrdiff_t>(at), TBytes());
    };
  };
  const struct {
    const char* name;
    std::function<void(TScriptedChannel&)> fault;
    std::size_t repeated;  // index of the frame sent twice
    std::size_t reads;
  } cases[] = {
      {"erase unanswered", silence(0), 0, 11},
      {"part unanswered", silence(1), 1, 11},
      {"part answered short",
       [](TScriptedChannel& c) {
         TBytes shortReply = Done(10, 0xA000);
         shortReply.resize(10);
         c.Replies.insert(c.Replies.begin() + 1, shortReply);
       },
       1, 11},
      {"part refused by the channel",
       [](TScriptedChannel& c) {
         c.RefuseWrite = [refused = false](const TBytes& frame) mutable {
           if (refused || !IsCode(frame, frame::cmdWriteV2)) return false;
           refused = true;
           return true;
         };
       },
       1, 10},
  };
  for (const auto& c : cases) {
    TScriptedChannel channel;
    channel.Replies = EveryExchangeAnswered();
    c.fault(channel);
    TRecordingLog log;
    Host.Progress.clear();
    const TWriteBody body = Run(channel, log);
    EXPECT_EQ(body.ResultCode, wrSuccess) << c.name;
    std::vector<std::uint16_t> expected(9, frame::cmdWriteV2);  // the erase and eight parts
    expected[0] = frame::cmdEraseV2;
    const std::uint16_t repeated = expected[c.repeated];
    expected.insert(expected.begin() + static_cast<std::ptrdiff_t>(c.repeated), repeated);
    expected.push_back(frame::cmdCloseSuccess);
    EXPECT_EQ(Codes(channel), expected) << c.name;
    ASSERT_GT(channel.Sent.size(), c.repeated + 1) << c.name;
    EXPECT_EQ(channel.Sent[c.repeated], channel.Sent[c.repeated + 1]) << c.name;
    std::vector<std::uint32_t> waits(c.reads - 1, kSectorWait);
    waits.push_back(kClosingWait);
    EXPECT_EQ(channel.ReadTimeouts, waits) << c.name;
    EXPECT_EQ(Timeless(log.Texts()), Join({{"Прошивается сектора с 10 по 10"}, SectorLines(10, 8)}))
        << c.name;
    ASSERT_FALSE(Host.Progress.empty()) << c.name;
    EXPECT_EQ(Host.Progress.back(), 100) << c.name;
    EXPECT_EQ(channel.Opens, 1) << c.name;
    EXPECT_EQ(channel.Closes, 1) << c.name;
  }
}

// Three tries in all: then the write fails, the fields of a reply that never came read as
// zeros, and the run is closed as failed.
TEST_F(ScriptedWrite, APartThatFailsThreeTimesFailsTheWrite) {
  TScriptedChannel channel;
  channel.Replies = {Done(10, 0xA000)};  // the erase is answered, no part is
  TRecordingLog log;
  const TWriteBody body = Run(channel, log);
  EXPECT_EQ(body.ResultCode, wrWriteFailed);
  EXPECT_EQ(body.LastReplyCode, frame::rcDone);
  EXPECT_EQ(Codes(channel),
            std::vector<std::uint16_t>({frame::cmdEraseV2, frame::cmdWriteV2, frame::cmdWriteV2,
                                        frame::cmdWriteV2, frame::cmdCloseFailure}));
  ASSERT_FALSE(log.Entries.empty());
  EXPECT_EQ(Timeless({log.Entries.back().Text}),
            TLines{"(t) Ошибка при записи сектора 10 (0, 0, 0, 0, 0)"});
  EXPECT_EQ(channel.Closes, 1);
}

// The closing frame fails or goes unanswered: the result stays what the run made it, a
// refused frame is not waited for, and the channel is closed either way.
TEST_F(ScriptedWrite, AClosingFrameThatFailsLeavesTheResult) {
  const std::vector<std::uint32_t> everyExchange(9, kSectorWait);
  std::vector<std::uint32_t> everyExchangeAndClosing = everyExchange;
  everyExchangeAndClosing.push_back(kClosingWait);
  const struct {
    const char* name;
    std::deque<TBytes> replies;
    bool refuseClosing;
    TWriteResult result;
    std::uint16_t closingCode;
    std::vector<std::uint32_t> waits;
  } cases[] = {
      {"written, closing refused", EveryExchangeAnswered(), true, wrSuccess, frame::cmdCloseSuccess,
       everyExchange},
      {"written, closing unanswered", EveryExchangeAnswered(), false, wrSuccess,
       frame::cmdCloseSuccess, everyExchangeAndClosing},
      {"erase refused, closing refused", {BuildCommandFrame(frame::rcLocked, 10, 0xA000)}, true,
       wrEraseFailed, frame::cmdCloseFailure, {kSectorWait}},
  };
  for (const auto& c : cases) {
    TScriptedChannel channel;
    channel.Replies = c.replies;
    if (c.refuseClosing)
      channel.RefuseWrite = [](const TBytes& frame) {
        return IsCode(frame, frame::cmdCloseSuccess) || IsCode(frame, frame::cmdCloseFailure);
      };
    TRecordingLog log;
    const TWriteBody body = Run(channel, log);
    EXPECT_EQ(body.ResultCode, c.result) << c.name;
    ASSERT_FALSE(channel.Sent.empty()) << c.name;
    EXPECT_TRUE(IsCode(channel.Sent.back(), c.closingCode)) << c.name;
    EXPECT_EQ(channel.ReadTimeouts, c.waits) << c.name;
    EXPECT_EQ(channel.Closes, 1) << c.name;
  }
}
