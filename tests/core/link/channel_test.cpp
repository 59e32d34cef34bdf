#include "link/channelfactory.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <vector>

#include "model/deventry.h"
#include "fakedriver.h"
#include "link/qnchannel.h"

using TEvents = std::vector<std::string>;

namespace {

// Channels made as the program makes them: from a record, which is gone by the time the
// channel is used.
std::unique_ptr<TDeviceChannel> ChannelOf(TAdapterKind kind, const char* serial = "1",
                                          std::uint16_t code = 1) {
  return MakeDeviceChannel(TDevEntry(serial, code, kind));
}
std::unique_ptr<TDeviceChannel> FtdiChannel(const char* serial = "1234") {
  return ChannelOf(TAdapterKind::Ftdi, serial, 0xFFFF);
}
std::unique_ptr<TDeviceChannel> QnChannel(const char* serial = "1234") {
  return ChannelOf(TAdapterKind::Qn, serial, 0x0102);
}

}  // namespace

TEST(ChannelOpen, FtdiOpensByDecimalSerialAndSetsTimeouts) {
  struct TCase {
    const char* SerialText;
    const char* OpenedBy;
  };
  // The library is asked for the number as "%d" prints it, not the adapter's own text.
  for (const TCase& c : {TCase{"1234", "1234"}, TCase{"-1", "-1"}, TCase{"abc", "-1"},
                         TCase{"0077", "77"}, TCase{"+5", "5"}}) {
    TFakeScope fake;
    const auto channel = FtdiChannel(c.SerialText);
    EXPECT_TRUE(channel->Open()) << c.SerialText;
    EXPECT_EQ(fake.Libs.Events,
              (TEvents{std::string("FT_OpenEx ") + c.OpenedBy + " 1", "FT_SetTimeouts 81 1000 200"}))
        << c.SerialText;
    EXPECT_TRUE(channel->IsOpen());
  }
}

TEST(ChannelOpen, QnOpensByCodeAndSerialAndSetsTimeouts) {
  TFakeScope fake;
  const auto channel = QnChannel("-1");
  EXPECT_TRUE(channel->Open());
  EXPECT_EQ(fake.Libs.Events, (TEvents{"QN_OpenDevice 258 -1", "QN_SetTimeouts 81 500 200"}));
  EXPECT_TRUE(channel->IsOpen());
}

TEST(ChannelOpen, FailedOpenLeavesNoHandleAndSetsNoTimeouts) {
  struct TCase {
    std::uint32_t Status;
    std::uintptr_t Handle;
  };
  // A refusal that still wrote a handle must not leave it behind for a later close.
  for (const TCase& c : {TCase{2, 0x77}, TCase{0, 0}, TCase{3, 0}}) {
    for (TAdapterKind kind : {TAdapterKind::Ftdi, TAdapterKind::Qn}) {
      TFakeScope fake;
      fake.Libs.OpenStatus = c.Status;
      fake.Libs.OpenHandle = c.Handle;
      auto channel = ChannelOf(kind, "5", 7);
      EXPECT_FALSE(channel->Open());
      EXPECT_EQ(fake.Libs.Events.size(), 1u) << "only the open call";
      EXPECT_FALSE(channel->IsOpen());
      channel->Close();
      channel.reset();
      EXPECT_EQ(fake.Libs.Events.size(), 1u) << "close of a failed open calls nothing";
    }
  }
}

TEST(ChannelClose, FtdiResetsThenClosesOnce) {
  TFakeScope fake;
  auto channel = FtdiChannel();
  ASSERT_TRUE(channel->Open());
  fake.Libs.Events.clear();
  channel->Close();
  EXPECT_EQ(fake.Libs.Events, (TEvents{"FT_ResetDevice", "FT_Close"}));
  EXPECT_FALSE(channel->IsOpen());
  channel->Close();
  channel.reset();
  EXPECT_EQ(fake.Libs.Events.size(), 2u);
}

TEST(ChannelClose, QnPassesTheAddressOfTheHandle) {
  TFakeScope fake;
  auto channel = std::make_unique<TQnChannel>(1234, 0x0102);
  ASSERT_TRUE(channel->Open());
  fake.Libs.Events.clear();
  channel->Close();
  EXPECT_EQ(fake.Libs.Events, (TEvents{"QN_CloseDevice 81"}));
  // The channel's own handle variable, which the library may write to, not a copy.
  const auto at = reinterpret_cast<std::uintptr_t>(fake.Libs.QnCloseAddress);
  const auto object = reinterpret_cast<std::uintptr_t>(channel.get());
  EXPECT_TRUE(at >= object && at < object + sizeof(TQnChannel));
  EXPECT_EQ(channel->HandleForTests(), 0u);
  channel->Close();
  channel.reset();
  EXPECT_EQ(fake.Libs.Events.size(), 1u);
}

TEST(ChannelClose, DestroyedWhileOpenClosesOnce) {
  struct TCase {
    TAdapterKind Kind;
    TEvents Expected;
  };
  for (const TCase& c : {TCase{TAdapterKind::Ftdi, {"FT_ResetDevice", "FT_Close"}},
                         TCase{TAdapterKind::Qn, {"QN_CloseDevice 81"}}}) {
    TFakeScope fake;
    // Owned as the protocol code sees it, so the close must come through the base.
    std::unique_ptr<TByteChannel> channel = ChannelOf(c.Kind);
    ASSERT_TRUE(channel->Open());
    fake.Libs.Events.clear();
    channel.reset();
    EXPECT_EQ(fake.Libs.Events, c.Expected) << "kind " << AdapterKindName(c.Kind);
  }
}

TEST(ChannelWrite, SplitsIntoPiecesOf64WithOneMillisecondBetween) {
  struct TCase {
    std::uint32_t Length;
    TEvents Expected;
  };
  const std::vector<TCase> cases = {
      {0, {}},
      {1, {"write 1"}},
      {64, {"write 64"}},
      {65, {"write 64", "sleep 1", "write 1"}},
      {526, {"write 64", "sleep 1", "write 64", "sleep 1", "write 64", "sleep 1", "write 64",
             "sleep 1", "write 64", "sleep 1", "write 64", "sleep 1", "write 64", "sleep 1",
             "write 64", "sleep 1", "write 14"}},
  };
  for (TAdapterKind kind : {TAdapterKind::Ftdi, TAdapterKind::Qn}) {
    for (const TCase& c : cases) {
      TFakeScope fake;
      const auto channel = ChannelOf(kind);
      ASSERT_TRUE(channel->Open());
      fake.Libs.Events.clear();
      const std::vector<std::uint8_t> data(c.Length, 0xA5);
      EXPECT_TRUE(channel->Write(data.data(), c.Length)) << c.Length;
      EXPECT_EQ(fake.Libs.Events, c.Expected) << "kind " << AdapterKindName(kind) << ", length " << c.Length;
    }
  }
}

TEST(ChannelWrite, StopsAtAPieceWrittenShortOrRefused) {
  struct TCase {
    std::vector<std::uint32_t> Statuses;
    std::vector<std::int64_t> Counts;
  };
  for (const TCase& c : {TCase{{}, {64, 63}}, TCase{{0, 4}, {}}, TCase{{}, {64, 65}}}) {
    TFakeScope fake;
    fake.Libs.WriteStatuses = c.Statuses;
    fake.Libs.WriteCounts = c.Counts;
    const auto channel = FtdiChannel();
    ASSERT_TRUE(channel->Open());
    fake.Libs.Events.clear();
    const std::vector<std::uint8_t> data(200, 1);
    EXPECT_FALSE(channel->Write(data.data(), 200));
    EXPECT_EQ(fake.Libs.Events, (TEvents{"write 64", "sleep 1", "write 64"}));
  }
}

TEST(ChannelWriteChunk, ReportsTheLibraryCountWithoutJudgingIt) {
  TFakeScope fake;
  fake.Libs.WriteCounts = {3};
  const auto channel = QnChannel();
  ASSERT_TRUE(channel->Open());
  const std::uint8_t data[10] = {};
  std::uint32_t written = 99;
  EXPECT_TRUE(channel->WriteChunk(data, 10, written));
  EXPECT_EQ(written, 3u);
}

class FtdiRead : public ::testing::Test {
protected:
  FtdiRead() { EXPECT_TRUE(Channel->Open()); }
  TFakeScope Fake;
  std::unique_ptr<TDeviceChannel> Channel = FtdiChannel();
  std::vector<std::uint8_t> Buffer = std::vector<std::uint8_t>(64, 0xCC);
};

TEST_F(FtdiRead, ReturnsOnlyTheFirstOfTwoBursts) {
  const std::uint32_t start = Fake.Libs.Now;
  Fake.Libs.Incoming = {{start + 3, {1, 2, 3, 4, 5}}, {start + 6, {6, 7, 8, 9}}};
  Fake.Libs.Events.clear();
  ASSERT_EQ(Channel->Read(Buffer.data(), 14, 1000), 5u);
  EXPECT_EQ(Hex(Buffer.data(), 15), "01 02 03 04 05 00 00 00 00 00 00 00 00 00 CC");
  // Polled every 1 ms until the first burst showed, then 1 ms more and one more query.
  EXPECT_EQ(Fake.Libs.Events,
            (TEvents{"status", "sleep 1", "status", "sleep 1", "status", "sleep 1", "status",
                     "sleep 1", "status", "read 5"}));
  Fake.Libs.Now += 10;
  ASSERT_EQ(Channel->Read(Buffer.data(), 14, 1000), 4u);
  EXPECT_EQ(Hex(Buffer.data(), 4), "06 07 08 09");
}

TEST_F(FtdiRead, TakesAtMostTheLargestLengthAndLeavesTheRestQueued) {
  std::vector<std::uint8_t> reply(20);
  for (std::size_t i = 0; i < reply.size(); ++i) reply[i] = static_cast<std::uint8_t>(i);
  Fake.Libs.Incoming = {{0, reply}};
  ASSERT_EQ(Channel->Read(Buffer.data(), 14, 1000), 14u);
  EXPECT_EQ(Buffer[13], 13);
  ASSERT_EQ(Channel->Read(Buffer.data(), 14, 1000), 6u);
  EXPECT_EQ(Hex(Buffer.data(), 6), "0E 0F 10 11 12 13");
}

TEST_F(FtdiRead, TimeOutReturnsZeroWithTheBufferCleared) {
  const std::uint32_t start = Fake.Libs.Now;
  Fake.Libs.Incoming = {{start + 500, {1}}};  // too late for a 100 ms read
  EXPECT_EQ(Channel->Read(Buffer.data(), 14, 100), 0u);
  EXPECT_EQ(Hex(Buffer.data(), 15), "00 00 00 00 00 00 00 00 00 00 00 00 00 00 CC");
  EXPECT_GT(Fake.Libs.Now - start, 100u);
  EXPECT_LE(Fake.Libs.Now - start, 102u);
  EXPECT_EQ(std::count(Fake.Libs.Events.begin(), Fake.Libs.Events.end(), "read 1"), 0);
}

TEST_F(FtdiRead, FailedStatusCountsAsNothingAndFailedReadAsZero) {
  Fake.Libs.Incoming = {{0, {1, 2, 3}}};
  Fake.Libs.StatusResult = 4;
  EXPECT_EQ(Channel->Read(Buffer.data(), 14, 20), 0u);
  Fake.Libs.StatusResult = 0;
  Fake.Libs.ReadResult = 4;
  EXPECT_EQ(Channel->Read(Buffer.data(), 14, 20), 0u);
}

TEST_F(FtdiRead, NeverReportsMoreThanItAskedFor) {
  Fake.Libs.Incoming = {{0, {1, 2, 3}}};
  Fake.Libs.ReadCountOverride = 5000;
  EXPECT_EQ(Channel->Read(Buffer.data(), 14, 20), 3u);
}

TEST(QnRead, OneLibraryReadWhateverTheTimeOut) {
  TFakeScope fake;
  const auto channel = QnChannel();
  ASSERT_TRUE(channel->Open());
  fake.Libs.QnReply = {'S', 'T', 'A', 'R', 'T', 'E', 'D'};
  fake.Libs.Events.clear();
  std::vector<std::uint8_t> buffer(100, 0xCC);
  EXPECT_EQ(channel->Read(buffer.data(), 100, 2000), 7u);
  // The count starts at 0; no time-out goes to the library, no sleep, no clearing.
  EXPECT_EQ(fake.Libs.Events, (TEvents{"QN_Read 100 count 0"}));
  EXPECT_EQ(buffer[7], 0xCC);
  fake.Libs.ReadCountOverride = 400;  // a library claiming more than the buffer holds
  EXPECT_EQ(channel->Read(buffer.data(), 100, 2000), 100u);
  channel->Close();
  EXPECT_EQ(channel->Read(buffer.data(), 100, 2000), 0u);
}

TEST(DriverNotLoaded, EveryChannelOperationFailsWithoutCallingTheLibrary) {
  for (TAdapterKind kind : {TAdapterKind::Ftdi, TAdapterKind::Qn}) {
    for (bool open : {false, true}) {
      TFakeScope fake;
      auto channel = ChannelOf(kind);
      if (open) {
        ASSERT_TRUE(channel->Open());
      }
      // Even a channel that holds a handle must not reach a library that is not loaded.
      FtdiDriver().Library = nullptr;
      QnDriver().Library = nullptr;
      fake.Libs.Events.clear();
      std::uint8_t buffer[16] = {};
      std::uint32_t written = 0;
      EXPECT_FALSE(channel->Open());
      EXPECT_FALSE(channel->Write(buffer, 16));
      EXPECT_FALSE(channel->WriteChunk(buffer, 16, written));
      EXPECT_EQ(channel->Read(buffer, 16, 100), 0u);
      channel->Close();
      channel.reset();
      EXPECT_EQ(fake.Libs.Events, TEvents{}) << "kind " << AdapterKindName(kind) << ", open " << open;
    }
  }
}

TEST(DriverNotLoaded, OnlyTheMissingKindFails) {
  TFakeScope fake(false, true);
  EXPECT_TRUE(QnChannel()->Open());
  EXPECT_FALSE(FtdiChannel()->Open());
}

TEST(MakeDeviceChannel, TalksToTheLibraryOfTheRecordsKindOnly) {
  struct TCase {
    TAdapterKind Kind;
    TEvents Expected;
  };
  const TEvents ftdi = {"FT_OpenEx 42 1", "FT_SetTimeouts 81 1000 200", "write 64", "sleep 1",
                        "write 6", "status", "sleep 1", "status", "read 2", "FT_ResetDevice",
                        "FT_Close"};
  const TEvents qn = {"QN_OpenDevice 258 42", "QN_SetTimeouts 81 500 200", "write 64", "sleep 1",
                      "write 6", "QN_Read 4 count 0", "QN_CloseDevice 81"};
  for (const TCase& c : {TCase{TAdapterKind::Ftdi, ftdi}, TCase{TAdapterKind::Qn, qn}}) {
    TFakeScope fake;
    fake.Libs.Incoming = {{0, {9, 8}}};
    fake.Libs.QnReply = {9, 8};
    const auto channel = ChannelOf(c.Kind, "42", 0x0102);
    ASSERT_TRUE(channel->Open());
    const std::vector<std::uint8_t> frame(70, 1);
    EXPECT_TRUE(channel->Write(frame.data(), 70));
    std::uint8_t buffer[4] = {};
    EXPECT_EQ(channel->Read(buffer, 4, 100), 2u);
    channel->Close();
    EXPECT_EQ(fake.Libs.Events, c.Expected) << "kind " << AdapterKindName(c.Kind);
  }
}
