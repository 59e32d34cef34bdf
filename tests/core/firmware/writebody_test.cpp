// The write body against a simulated device, through the real channel and the stand-in
// driver libraries.
#include "firmware/writebody.h"

#include <gtest/gtest.h>

#include <functional>

#include "link/channel.h"
#include "link/driverlibs.h"
#include "packer.h"
#include "protocol/frame.h"
#include "support/recordinglog.h"
#include "support/scriptedchannel.h"
#include "support/simbustest.h"
#include "support/simdevices.h"

namespace {

using TBytes = std::vector<std::uint8_t>;

class TTestHost : public TWriteHost {
public:
  bool ReloadImage(TFirmwareBlockList& blocks, TFirmwareVersion& version) override {
    ++Reloads;
    if (!LoadSucceeds) return false;
    version.Parse(ImageVersion);
    blocks.push_back(std::make_unique<TFirmwareBlock>(Payload.data(),
                                                      static_cast<std::int32_t>(Payload.size()),
                                                      BlockAddress));
    return true;
  }
  void SetProgress(int position) override { Progress.push_back(position); }
  bool StopRequested() override { return StopWhen && StopWhen(); }

  bool LoadSucceeds = true;
  std::string ImageVersion = "VLQN-2.3b";
  TBytes Payload;
  std::int32_t BlockAddress = -1;
  std::function<bool()> StopWhen;
  std::vector<int> Progress;
  int Reloads = 0;
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
    TWriteBody body(*Device, *channel, Host, Log);
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

  // The first sector's steps in order, each behind its time in a field of six.
  const auto texts = Log.Texts();
  ASSERT_GE(texts.size(), 6u);
  EXPECT_EQ(texts[0], "Прошивается сектора с 10 по 14");
  const char* const firstSector[] = {" Перепрошивка сектора 10:", " Стираем сектор 10...",
                                     " Стирание сектора 10: OK", " Запись сектора 10:"};
  for (std::size_t i = 0; i < std::size(firstSector); ++i) {
    const std::string& text = texts[i + 1];
    EXPECT_EQ(text.substr(8), firstSector[i]) << text;
    EXPECT_TRUE(text.size() > 8 && text[0] == '(' && text[7] == ')') << text;
  }
  bool skipped = false, part7 = false;
  for (const auto& t : texts) {
    skipped |= t.find(") Сектор 12 пустой. Пропускаем.") != std::string::npos;
    part7 |= t.find(")\tЧасть 7 из 8") != std::string::npos;
  }
  EXPECT_TRUE(skipped);
  EXPECT_TRUE(part7);
  for (const auto& e : Log.Entries) EXPECT_EQ(e.Serial, 4321);
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
  bool partZeroOfOne = false;
  for (const auto& t : Log.Texts()) partZeroOfOne |= t.find(")\tЧасть 0 из 1") != std::string::npos;
  EXPECT_TRUE(partZeroOfOne);
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
    TWriteBody body(*Device, *channel, Host, log);
    body.Execute();
    EXPECT_EQ(body.ResultCode, c.result) << c.name;
    EXPECT_EQ(AllFrames(), 0u) << c.name;
    EXPECT_FALSE(Bus.IsOpen("dev")) << c.name;
    if (c.result == wrOpenFailed) {
      EXPECT_TRUE(log.Contains("Не удалось открыть устройство"));
    } else {
      EXPECT_EQ(Bus.Calls("FT_OpenEx"), 0u) << c.name;
      EXPECT_TRUE(log.Entries.empty()) << c.name;
    }
  }
}

TEST_F(WriteBody, DeviceRefusalsAndBadReplies) {
  const struct {
    const char* name;
    std::function<void(TSimDeviceConfig&)> fault;
    TWriteResult result;
    std::uint32_t lastReply;
    std::uint32_t eraseFrames;
    std::uint32_t writeFrames;
  } cases[] = {
      {"locked", [](TSimDeviceConfig& c) { c.Locked = true; }, wrEraseFailed, 138, 1, 0},
      {"three short erase replies", [](TSimDeviceConfig& c) { c.ShortReplies = 3; }, wrEraseFailed,
       0, 3, 0},
      {"two short replies are retried", [](TSimDeviceConfig& c) { c.ShortReplies = 2; }, wrSuccess,
       128, 3, 8},
      {"missing replies", [](TSimDeviceConfig& c) { c.MissingReplies = 3; }, wrEraseFailed, 0, 3, 0},
      {"another sector", [](TSimDeviceConfig& c) { c.WrongSectorReplies = 1; }, wrEraseFailed, 0, 1,
       0},
      {"another address on a write",
       [](TSimDeviceConfig& c) {
         c.WrongAddressReplies = 2;  // the erase's address is not compared
       },
       wrWriteFailed, 128, 1, 1},
  };
  for (const auto& c : cases) {
    Bus.Clear();
    Host = TTestHost();
    Host.Payload = GenerateCodePayload(8, 2);
    Config = WritableDevice();
    c.fault(Config);
    Plug();
    const TWriteBody body = Run();
    EXPECT_EQ(body.ResultCode, c.result) << c.name;
    EXPECT_EQ(body.LastReplyCode, c.lastReply) << c.name;
    EXPECT_EQ(Frames(frame::cmdEraseV2), c.eraseFrames) << c.name;
    EXPECT_EQ(Frames(frame::cmdWriteV2), c.writeFrames) << c.name;
    EXPECT_EQ(Frames(c.result == wrSuccess ? frame::cmdCloseSuccess : frame::cmdCloseFailure), 1u)
        << c.name;
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
  int erase = 0, write = 0;
  for (const auto& e : Log.Entries) {
    if (e.Text.find(") Сектор защищен от стирания") != std::string::npos) {
      EXPECT_EQ(e.Level, llError);
      ++erase;
    }
    if (e.Text.find(") Сектор защищен от записи") != std::string::npos) ++write;
  }
  EXPECT_EQ(erase, 1);
  EXPECT_EQ(write, 8);
}

TEST_F(WriteBody, FailedWriteLogsTheLastReplyFields) {
  Config.WrongAddressReplies = 2;
  Host.Payload = GenerateCodePayload(8, 2);
  Plug();
  EXPECT_EQ(Run().ResultCode, wrWriteFailed);
  // The reply named address 0xA000 + 512 for the request of 0xA000.
  bool found = false;
  for (const auto& t : Log.Texts())
    found |= t.find(") Ошибка при записи сектора 10 (14, 14, 128, 10, 41472)") != std::string::npos;
  EXPECT_TRUE(found);
}

TEST_F(WriteBody, StopBetweenSectorsIsAFailureClosedWithFrame12) {
  Host.Payload = GenerateCodePayload(24, 9);
  Plug();
  Host.StopWhen = [this] { return Frames(frame::cmdWriteV2) >= 8; };
  const TWriteBody body = Run();
  EXPECT_EQ(body.ResultCode, wrStopped);
  EXPECT_EQ(Frames(frame::cmdWriteV2), 8u);  // the sector under way was finished
  EXPECT_EQ(Frames(frame::cmdCloseFailure), 1u);
  EXPECT_EQ(Frames(frame::cmdCloseSuccess), 0u);
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

// The body over a scripted channel: exactly what is sent and when it is sent again.
namespace {

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
  void AnswerEveryExchange() {
    Channel.Replies.push_back(Done(10, 0xA000));
    for (std::uint32_t part = 0; part < 8; ++part) Channel.Replies.push_back(Done(10, 0xA000 + part * 512));
  }
  std::vector<std::uint16_t> SentCodes() const {
    std::vector<std::uint16_t> codes;
    for (const TBytes& frame : Channel.Sent) codes.push_back(frame::ReadHeader(frame.data(), frame.size()).Code);
    return codes;
  }

  TDevEntry Device{"4321", 0xFFFF, 0};
  TScriptedChannel Channel;
  TTestHost Host;
  TRecordingLog Log;
};

}  // namespace

TEST_F(ScriptedWrite, APartUnansweredOnceIsSentAgainAndTheWriteSucceeds) {
  AnswerEveryExchange();
  Channel.Replies.insert(Channel.Replies.begin() + 1, TBytes());  // silence for part 0
  TWriteBody body(Device, Channel, Host, Log);
  body.Execute();
  EXPECT_EQ(body.ResultCode, wrSuccess);
  const std::vector<std::uint16_t> expected = {frame::cmdEraseV2, frame::cmdWriteV2, frame::cmdWriteV2,
                                               frame::cmdWriteV2, frame::cmdWriteV2, frame::cmdWriteV2,
                                               frame::cmdWriteV2, frame::cmdWriteV2, frame::cmdWriteV2,
                                               frame::cmdWriteV2, frame::cmdCloseSuccess};
  EXPECT_EQ(SentCodes(), expected);
  ASSERT_GE(Channel.Sent.size(), 3u);
  EXPECT_EQ(Channel.Sent[1], Channel.Sent[2]) << "the same part, sent again";
  EXPECT_EQ(Host.Progress.back(), 100);
  EXPECT_EQ(Channel.Opens, 1);
  EXPECT_EQ(Channel.Closes, 1);
}

TEST_F(ScriptedWrite, AClosingFrameTheChannelRefusesLeavesTheResultAndIsNotWaitedFor) {
  AnswerEveryExchange();
  Channel.RefuseWrite = [](const TBytes& frame) {
    return frame::ReadHeader(frame.data(), frame.size()).Code == frame::cmdCloseSuccess;
  };
  TWriteBody body(Device, Channel, Host, Log);
  body.Execute();
  EXPECT_EQ(body.ResultCode, wrSuccess);
  EXPECT_EQ(SentCodes().back(), frame::cmdCloseSuccess);
  EXPECT_EQ(Channel.ReadTimeouts.size(), 9u) << "no read for the refused closing frame";
  EXPECT_EQ(Channel.Closes, 1);
}
