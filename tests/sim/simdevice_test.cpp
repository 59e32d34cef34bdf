#include "sim/simdevice.h"

#include <gtest/gtest.h>

#include <string>

#include "protocol/frame.h"

namespace {

using TBytes = std::vector<std::uint8_t>;

constexpr std::uint32_t kUniform = 0x10040204;  // 64 sectors of 4096 bytes, first 4

TSimDeviceConfig Config(std::uint32_t cpu = kUniform) {
  TSimDeviceConfig config;
  config.Name = "dev";
  config.ProcessorId = cpu;
  config.FirmwareVersion = "VLQN-2.3b";
  config.LoaderVersion = "VLQN-1.4";
  config.EraseMsPerSector = 30;
  config.WriteMsPerPart = 3;
  return config;
}

TBytes Part(std::uint8_t value) { return TBytes(frame::kPartSize, value); }

TBytes Frame(std::uint16_t code, std::uint16_t parameter = 10, std::uint32_t address = 0,
             const TBytes& data = {}) {
  return BuildCommandFrame(code, parameter, address, data.data(), data.size());
}

// Sends one frame (or text) at a time well apart from the previous input.
class TDeviceUnderTest {
public:
  explicit TDeviceUnderTest(const TSimDeviceConfig& config) : Device(config) {}
  TSimReply Send(const TBytes& bytes) {
    Now += 10;
    return Device.Receive(bytes.data(), bytes.size(), Now);
  }
  TSimReply Send(const std::string& text) { return Send(TBytes(text.begin(), text.end())); }
  TSimDevice Device;
  std::uint64_t Now = 0;
};

TBytes Joined(const TSimReply& reply) {
  TBytes bytes;
  for (const TSimBurst& burst : reply.Bursts)
    bytes.insert(bytes.end(), burst.Bytes.begin(), burst.Bytes.end());
  return bytes;
}

frame::THeader Header(const TSimReply& reply) {
  const TBytes bytes = Joined(reply);
  return frame::ReadHeader(bytes.data(), bytes.size());
}

std::string Payload(const TSimReply& reply) {
  const TBytes bytes = Joined(reply);
  return std::string(bytes.begin() + frame::kHeaderLength, bytes.end());
}

}  // namespace

TEST(SimDevice, AnswersTheIdentityFramesInBootMode) {
  struct TCase {
    std::uint16_t Code;
    std::string Payload;
  };
  for (const TCase& c : {TCase{4, std::string("VLQN-2.3b\0", 10)}, TCase{5, std::string("VLQN-1.4\0", 9)},
                         TCase{10, std::string("\x04\x02\x04\x10", 4)}, TCase{11, ""}, TCase{12, ""}}) {
    TDeviceUnderTest dut(Config());
    const TSimReply reply = dut.Send(Frame(c.Code));
    ASSERT_EQ(reply.Bursts.size(), 1u) << c.Code;
    const frame::THeader h = Header(reply);
    EXPECT_EQ(h.FrameLength, 14 + c.Payload.size()) << c.Code;
    EXPECT_EQ(h.HeaderLength, 14);
    EXPECT_EQ(h.Code, frame::rcDone);
    EXPECT_EQ(Payload(reply), c.Payload) << c.Code;
    EXPECT_EQ(dut.Device.FramesByCode[c.Code], 1u);
  }
}

TEST(SimDevice, FlashBehavesLikeNorAndReadsBackWhatWasWritten) {
  for (auto [erase, write] : {std::pair{1, 2}, std::pair{6, 7}}) {
    TDeviceUnderTest dut(Config());
    TSimDevice& device = dut.Device;
    ASSERT_EQ(device.Flash.size(), 0x40000u);
    std::fill(device.Flash.begin() + 0x4000, device.Flash.begin() + 0x5000, 0x0F);
    std::fill(device.Flash.begin() + 0x5000, device.Flash.begin() + 0x6000, 0x55);

    TSimReply reply = dut.Send(Frame(erase, 4, 0x4000));
    EXPECT_EQ(Header(reply).Code, frame::rcDone);
    EXPECT_EQ(reply.Bursts[0].DelayMs, 30u);
    reply = dut.Send(Frame(write, 4, 0x4200, Part(0xF0)));
    EXPECT_EQ(Header(reply).Code, frame::rcDone);
    EXPECT_EQ(reply.Bursts[0].DelayMs, 3u);
    dut.Send(Frame(write, 4, 0x4200, Part(0x3C)));  // programming only clears bits

    TBytes expected(0x40000, 0xFF);
    std::fill(expected.begin() + 0x4200, expected.begin() + 0x4400, 0x30);
    std::fill(expected.begin() + 0x5000, expected.begin() + 0x6000, 0x55);  // not erased
    EXPECT_TRUE(device.Flash == expected);
    EXPECT_EQ(device.FramesByCode[erase], 1u);
    EXPECT_EQ(device.FramesByCode[write], 2u);
    EXPECT_TRUE(device.FlashChanged);
  }
}

TEST(SimDevice, SectorRepliesEchoSectorAndAddress) {
  TDeviceUnderTest dut(Config());
  frame::THeader h = Header(dut.Send(Frame(6, 9, 0x9000)));
  EXPECT_EQ(h.FrameLength, 14);
  EXPECT_EQ(h.Parameter, 9);
  EXPECT_EQ(h.Address, 0x9000u);
  h = Header(dut.Send(Frame(7, 9, 0x9E00, Part(0))));
  EXPECT_EQ(h.Parameter, 9);
  EXPECT_EQ(h.Address, 0x9E00u);
}

TEST(SimDevice, RejectsRequestsItCannotCarryOut) {
  const std::vector<TBytes> requests = {
      Frame(6, 64, 0x40000),                       // no sector 64
      Frame(6, 9, 0x9200),                         // erase at an address other than the sector's
      Frame(7, 9, 0xA000, Part(0)),                // part outside its sector
      Frame(7, 9, 0x9100, Part(0)),                // not on a part boundary
      Frame(7, 9, 0x9000, TBytes(100, 0)),         // not a whole part
      Frame(3),                                    // no such command
  };
  for (const TBytes& request : requests) {
    TDeviceUnderTest dut(Config());
    EXPECT_EQ(Header(dut.Send(request)).Code, 130);
    EXPECT_TRUE(std::all_of(dut.Device.Flash.begin(), dut.Device.Flash.end(),
                            [](std::uint8_t b) { return b == 0xFF; }));
  }
}

TEST(SimDevice, LockedAndProtectedSectorsKeepTheirContents) {
  struct TCase {
    bool Locked;
    std::vector<std::uint16_t> Protected;
    std::uint16_t Sector;
    std::uint16_t Code;
  };
  for (const TCase& c : {TCase{true, {}, 8, frame::rcLocked}, TCase{false, {8}, 8, frame::rcProtected},
                         TCase{false, {}, 3, frame::rcProtected},  // the boot loader's own
                         TCase{false, {9}, 8, frame::rcDone}}) {
    TSimDeviceConfig config = Config();
    config.Locked = c.Locked;
    config.ProtectedSectors = c.Protected;
    TDeviceUnderTest dut(config);
    const std::uint32_t offset = c.Sector * 0x1000u;
    dut.Device.Flash[offset] = 0x00;
    EXPECT_EQ(Header(dut.Send(Frame(6, c.Sector, offset))).Code, c.Code);
    EXPECT_EQ(Header(dut.Send(Frame(7, c.Sector, offset + 512, Part(0x11)))).Code, c.Code);
    const bool changed = c.Code == frame::rcDone;
    EXPECT_EQ(dut.Device.Flash[offset], changed ? 0xFF : 0x00);
    EXPECT_EQ(dut.Device.Flash[offset + 512], changed ? 0x11 : 0xFF);
  }
}

TEST(SimDevice, CountedReplyFaultsActOnTheNextFramesOnly) {
  TSimDeviceConfig config = Config();
  config.WrongSectorReplies = 1;
  config.WrongAddressReplies = 2;
  TDeviceUnderTest dut(config);
  frame::THeader h = Header(dut.Send(Frame(7, 5, 0x5000, Part(0))));
  EXPECT_EQ(h.Parameter, 6);
  EXPECT_EQ(h.Address, 0x5200u);
  h = Header(dut.Send(Frame(7, 5, 0x5000, Part(0))));
  EXPECT_EQ(h.Parameter, 5);
  EXPECT_EQ(h.Address, 0x5200u);
  h = Header(dut.Send(Frame(7, 5, 0x5000, Part(0))));
  EXPECT_EQ(h.Address, 0x5000u);
}

TEST(SimDevice, ShortMissingSplitAndSlowReplies) {
  TSimDeviceConfig config = Config();
  config.ShortReplies = 1;
  config.MissingReplies = 1;
  TDeviceUnderTest dut(config);
  EXPECT_TRUE(dut.Send(Frame(6, 5, 0x5000)).Bursts.empty());  // missing first
  EXPECT_EQ(Joined(dut.Send(Frame(6, 5, 0x5000))).size(), 9u);
  EXPECT_EQ(Joined(dut.Send(Frame(6, 5, 0x5000))).size(), 14u);

  config = Config();
  config.SplitReplies = -1;
  config.SplitGapMs = 40;
  config.ReplyDelayMs = 250;
  TDeviceUnderTest split(config);
  for (int i = 0; i < 2; ++i) {
    const TSimReply reply = split.Send(Frame(4));
    ASSERT_EQ(reply.Bursts.size(), 2u);
    EXPECT_EQ(reply.Bursts[0].DelayMs, 250u);
    EXPECT_EQ(reply.Bursts[1].DelayMs, 290u);
    EXPECT_EQ(Payload(reply), std::string("VLQN-2.3b\0", 10));
  }
}

TEST(SimDevice, SilentDeviceHearsButNeverAnswers) {
  TSimDeviceConfig config = Config();
  config.Silent = true;
  TDeviceUnderTest dut(config);
  EXPECT_TRUE(dut.Send(Frame(4)).Bursts.empty());
  EXPECT_EQ(dut.Device.FramesByCode[4], 1u);
  config.BootMode = false;
  TDeviceUnderTest app(config);
  EXPECT_TRUE(app.Send(std::string("FL_READ_VERSION$")).Bursts.empty());
  EXPECT_EQ(app.Device.TextCommands["FL_READ_VERSION$"], 1u);
}

TEST(SimDevice, DropsOffTheBusAfterItsFrames) {
  TSimDeviceConfig config = Config();
  config.UnplugAfterFrames = 2;
  TDeviceUnderTest dut(config);
  EXPECT_FALSE(dut.Send(Frame(4)).Unplug);
  EXPECT_FALSE(dut.Send(Frame(5)).Unplug);
  const TSimReply third = dut.Send(Frame(10));
  EXPECT_TRUE(third.Unplug);
  EXPECT_TRUE(third.Bursts.empty());
}

TEST(SimDevice, IgnoresAFrameWithAWrongChecksum) {
  TDeviceUnderTest dut(Config());
  TBytes bad = Frame(4);
  bad[12] ^= 1;
  EXPECT_TRUE(dut.Send(bad).Bursts.empty());
  EXPECT_EQ(dut.Device.BadFrames, 1u);
  EXPECT_EQ(dut.Device.FramesByCode[4], 0u);
  EXPECT_EQ(dut.Send(Frame(4)).Bursts.size(), 1u);
}

TEST(SimDevice, AssemblesFramesFromPiecesAndDropsStaleHalves) {
  TDeviceUnderTest dut(Config());
  const TBytes write = Frame(7, 5, 0x5000, Part(0x42));
  std::size_t replies = 0;
  for (std::size_t at = 0; at < write.size(); at += 64) {
    const std::size_t piece = std::min<std::size_t>(64, write.size() - at);
    replies += dut.Device.Receive(write.data() + at, piece, dut.Now += 1).Bursts.size();
  }
  EXPECT_EQ(replies, 1u);
  EXPECT_EQ(dut.Device.Flash[0x5000], 0x42);

  // Half a frame the host gave up on must not be glued to the next frame.
  const TBytes version = Frame(4);
  dut.Device.Receive(version.data(), 7, dut.Now += 1);
  dut.Now += 1000;
  EXPECT_EQ(Payload(dut.Send(version)), std::string("VLQN-2.3b\0", 10));
  EXPECT_EQ(dut.Device.BadFrames, 0u);
}

TEST(SimDevice, BootLoaderSkipsTextAndAnswersTheNextFrame) {
  TDeviceUnderTest dut(Config());
  EXPECT_TRUE(dut.Send(std::string("FL_READ_VERSION$")).Bursts.empty());
  EXPECT_EQ(Header(dut.Send(Frame(4))).Code, frame::rcDone);
}

TEST(SimDevice, ApplicationAnswersTheTextCommandsOnly) {
  TSimDeviceConfig config = Config();
  config.BootMode = false;
  TDeviceUnderTest dut(config);
  EXPECT_TRUE(dut.Send(Frame(4)).Bursts.empty());
  EXPECT_EQ(Joined(dut.Send(std::string("FL_READ_VERSION$"))), TBytes({'V', 'L', 'Q', 'N', '-', '2', '.', '3', 'b'}));
  // A command that arrives in two writes is still one command.
  dut.Send(std::string("START_BOOT"));
  const TSimReply started = dut.Send(std::string("_LOADER"));
  EXPECT_EQ(Joined(started), TBytes({'S', 'T', 'A', 'R', 'T', 'E', 'D'}));
  EXPECT_TRUE(dut.Device.Config.BootOnNextPlug);
  EXPECT_FALSE(dut.Device.Config.BootMode);  // until it is plugged in again
  EXPECT_TRUE(dut.Device.ConfigChanged);
  EXPECT_EQ(dut.Device.TextCommands["START_BOOT_LOADER"], 1u);
}

TEST(SimDevice, FlashFollowsTheSectorLayoutOfItsProcessor) {
  struct TCase {
    std::uint32_t Cpu;
    const char* Loader;
    std::size_t Size;
  };
  for (const TCase& c : {TCase{0x400FE000, "VLQN-1.4", 0x24400}, TCase{0x25011723, "VLQN-1.4", 0x40000},
                         TCase{0x12345678, "VLQN-1.4PP", 0x7D000}, TCase{0x12345678, "VLQN-1.4", 0x7E000}}) {
    TSimDeviceConfig config = Config(c.Cpu);
    config.LoaderVersion = c.Loader;
    TSimDevice device(config);
    EXPECT_EQ(device.Flash.size(), c.Size) << std::hex << c.Cpu;
  }
  TSimDevice device(Config());
  device.Flash[0x5000] = 0;
  TSimDeviceConfig faulty = Config();
  faulty.Locked = true;
  device.Configure(faulty);  // same layout: the flash stays
  EXPECT_EQ(device.Flash[0x5000], 0);
  device.Configure(Config(0x400FE000));
  EXPECT_EQ(device.Flash.size(), 0x24400u);
}
