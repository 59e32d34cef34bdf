#include "link/channel.h"

#include <gtest/gtest.h>

#include <vector>

#include "devices/deventry.h"
#include "fakedriver.h"
#include "link/devchannel.h"

using TEvents = std::vector<std::string>;

namespace {

TDevEntry FtdiDevice(const char* serial = "1234") { return TDevEntry(serial, 0xFFFF, 0); }
TDevEntry QnDevice(const char* serial = "1234") { return TDevEntry(serial, 0x0102, 1); }

}  // namespace

TEST(DevOpen, FtdiOpensByDecimalSerialAndSetsTimeouts) {
  struct TCase {
    const char* SerialText;
    const char* OpenedBy;
  };
  // The library is asked for the number as "%d" prints it, not the adapter's own text.
  for (const TCase& c : {TCase{"1234", "1234"}, TCase{"-1", "-1"}, TCase{"abc", "-1"},
                         TCase{"0077", "77"}, TCase{"+5", "5"}}) {
    TFakeScope fake;
    TDevEntry device(c.SerialText, 0xFFFF, 0);
    EXPECT_TRUE(DevOpen(device)) << c.SerialText;
    EXPECT_EQ(fake.Libs.Events,
              (TEvents{std::string("FT_OpenEx ") + c.OpenedBy + " 1", "FT_SetTimeouts 81 1000 200"}))
        << c.SerialText;
    EXPECT_EQ(device.FtdiHandle, reinterpret_cast<void*>(0x51));
  }
}

TEST(DevOpen, QnOpensByCodeAndSerialAndSetsTimeouts) {
  TFakeScope fake;
  TDevEntry device = QnDevice("-1");
  EXPECT_TRUE(DevOpen(device));
  EXPECT_EQ(fake.Libs.Events, (TEvents{"QN_OpenDevice 258 -1", "QN_SetTimeouts 81 500 200"}));
  EXPECT_EQ(device.QnHandle, 0x51u);
}

TEST(DevOpen, FailedOpenLeavesNoHandleAndSetsNoTimeouts) {
  struct TCase {
    std::uint32_t Status;
    std::uintptr_t Handle;
  };
  // A refusal that still wrote a handle must not leave it behind for a later close.
  for (const TCase& c : {TCase{2, 0x77}, TCase{0, 0}, TCase{3, 0}}) {
    for (int kind : {0, 1}) {
      TFakeScope fake;
      fake.Libs.OpenStatus = c.Status;
      fake.Libs.OpenHandle = c.Handle;
      TDevEntry device("5", 7, kind);
      EXPECT_FALSE(DevOpen(device));
      EXPECT_EQ(fake.Libs.Events.size(), 1u) << "only the open call";
      EXPECT_EQ(device.FtdiHandle, nullptr);
      EXPECT_EQ(device.QnHandle, 0u);
      DevClose(device);
      EXPECT_EQ(fake.Libs.Events.size(), 1u) << "close of a failed open calls nothing";
    }
  }
}

TEST(DevClose, FtdiResetsThenClosesOnce) {
  TFakeScope fake;
  TDevEntry device = FtdiDevice();
  ASSERT_TRUE(DevOpen(device));
  fake.Libs.Events.clear();
  DevClose(device);
  EXPECT_EQ(fake.Libs.Events, (TEvents{"FT_ResetDevice", "FT_Close"}));
  EXPECT_EQ(device.FtdiHandle, nullptr);
  DevClose(device);
  EXPECT_EQ(fake.Libs.Events.size(), 2u);
}

TEST(DevClose, QnPassesTheAddressOfTheHandle) {
  TFakeScope fake;
  TDevEntry device = QnDevice();
  ASSERT_TRUE(DevOpen(device));
  fake.Libs.Events.clear();
  DevClose(device);
  EXPECT_EQ(fake.Libs.Events, (TEvents{"QN_CloseDevice 81"}));
  EXPECT_EQ(fake.Libs.QnCloseAddress, &device.QnHandle);
  EXPECT_EQ(device.QnHandle, 0u);
  DevClose(device);
  EXPECT_EQ(fake.Libs.Events.size(), 1u);
}

TEST(DevWrite, SplitsIntoPiecesOf64WithOneMillisecondBetween) {
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
  for (int kind : {0, 1}) {
    for (const TCase& c : cases) {
      TFakeScope fake;
      TDevEntry device("1", 1, kind);
      ASSERT_TRUE(DevOpen(device));
      fake.Libs.Events.clear();
      const std::vector<std::uint8_t> data(c.Length, 0xA5);
      EXPECT_TRUE(DevWrite(device, data.data(), c.Length)) << c.Length;
      EXPECT_EQ(fake.Libs.Events, c.Expected) << "kind " << kind << ", length " << c.Length;
    }
  }
}

TEST(DevWrite, StopsAtAPieceWrittenShortOrRefused) {
  struct TCase {
    std::vector<std::uint32_t> Statuses;
    std::vector<std::int64_t> Counts;
  };
  for (const TCase& c : {TCase{{}, {64, 63}}, TCase{{0, 4}, {}}, TCase{{}, {64, 65}}}) {
    TFakeScope fake;
    fake.Libs.WriteStatuses = c.Statuses;
    fake.Libs.WriteCounts = c.Counts;
    TDevEntry device = FtdiDevice();
    ASSERT_TRUE(DevOpen(device));
    fake.Libs.Events.clear();
    const std::vector<std::uint8_t> data(200, 1);
    EXPECT_FALSE(DevWrite(device, data.data(), 200));
    EXPECT_EQ(fake.Libs.Events, (TEvents{"write 64", "sleep 1", "write 64"}));
  }
}

TEST(DevWriteChunk, ReportsTheLibraryCountWithoutJudgingIt) {
  TFakeScope fake;
  fake.Libs.WriteCounts = {3};
  TDevEntry device = QnDevice();
  ASSERT_TRUE(DevOpen(device));
  const std::uint8_t data[10] = {};
  std::uint32_t written = 99;
  EXPECT_TRUE(DevWriteChunk(device, data, 10, written));
  EXPECT_EQ(written, 3u);
}

class FtdiRead : public ::testing::Test {
protected:
  FtdiRead() { EXPECT_TRUE(DevOpen(Device)); }
  ~FtdiRead() override { DevClose(Device); }
  TFakeScope Fake;
  TDevEntry Device = FtdiDevice();
  std::vector<std::uint8_t> Buffer = std::vector<std::uint8_t>(64, 0xCC);
};

TEST_F(FtdiRead, ReturnsOnlyTheFirstOfTwoBursts) {
  const std::uint32_t start = Fake.Libs.Now;
  Fake.Libs.Incoming = {{start + 3, {1, 2, 3, 4, 5}}, {start + 6, {6, 7, 8, 9}}};
  Fake.Libs.Events.clear();
  ASSERT_EQ(DevRead(Device, Buffer.data(), 14, 1000), 5u);
  EXPECT_EQ(Hex(Buffer.data(), 15), "01 02 03 04 05 00 00 00 00 00 00 00 00 00 CC");
  // Polled every 1 ms until the first burst showed, then 1 ms more and one more query.
  EXPECT_EQ(Fake.Libs.Events,
            (TEvents{"status", "sleep 1", "status", "sleep 1", "status", "sleep 1", "status",
                     "sleep 1", "status", "read 5"}));
  Fake.Libs.Now += 10;
  ASSERT_EQ(DevRead(Device, Buffer.data(), 14, 1000), 4u);
  EXPECT_EQ(Hex(Buffer.data(), 4), "06 07 08 09");
}

TEST_F(FtdiRead, TakesAtMostTheLargestLengthAndLeavesTheRestQueued) {
  std::vector<std::uint8_t> reply(20);
  for (std::size_t i = 0; i < reply.size(); ++i) reply[i] = static_cast<std::uint8_t>(i);
  Fake.Libs.Incoming = {{0, reply}};
  ASSERT_EQ(DevRead(Device, Buffer.data(), 14, 1000), 14u);
  EXPECT_EQ(Buffer[13], 13);
  ASSERT_EQ(DevRead(Device, Buffer.data(), 14, 1000), 6u);
  EXPECT_EQ(Hex(Buffer.data(), 6), "0E 0F 10 11 12 13");
}

TEST_F(FtdiRead, TimeOutReturnsZeroWithTheBufferCleared) {
  const std::uint32_t start = Fake.Libs.Now;
  Fake.Libs.Incoming = {{start + 500, {1}}};  // too late for a 100 ms read
  EXPECT_EQ(DevRead(Device, Buffer.data(), 14, 100), 0u);
  EXPECT_EQ(Hex(Buffer.data(), 15), "00 00 00 00 00 00 00 00 00 00 00 00 00 00 CC");
  EXPECT_GT(Fake.Libs.Now - start, 100u);
  EXPECT_LE(Fake.Libs.Now - start, 102u);
  EXPECT_EQ(std::count(Fake.Libs.Events.begin(), Fake.Libs.Events.end(), "read 1"), 0);
}

TEST_F(FtdiRead, FailedStatusCountsAsNothingAndFailedReadAsZero) {
  Fake.Libs.Incoming = {{0, {1, 2, 3}}};
  Fake.Libs.StatusResult = 4;
  EXPECT_EQ(DevRead(Device, Buffer.data(), 14, 20), 0u);
  Fake.Libs.StatusResult = 0;
  Fake.Libs.ReadResult = 4;
  EXPECT_EQ(DevRead(Device, Buffer.data(), 14, 20), 0u);
}

TEST_F(FtdiRead, NeverReportsMoreThanItAskedFor) {
  Fake.Libs.Incoming = {{0, {1, 2, 3}}};
  Fake.Libs.ReadCountOverride = 5000;
  EXPECT_EQ(DevRead(Device, Buffer.data(), 14, 20), 3u);
}

TEST(QnRead, OneLibraryReadWhateverTheTimeOut) {
  TFakeScope fake;
  TDevEntry device = QnDevice();
  ASSERT_TRUE(DevOpen(device));
  fake.Libs.QnReply = {'S', 'T', 'A', 'R', 'T', 'E', 'D'};
  fake.Libs.Events.clear();
  std::vector<std::uint8_t> buffer(100, 0xCC);
  EXPECT_EQ(DevRead(device, buffer.data(), 100, 2000), 7u);
  // The count starts at 0; no time-out goes to the library, no sleep, no clearing.
  EXPECT_EQ(fake.Libs.Events, (TEvents{"QN_Read 100 count 0"}));
  EXPECT_EQ(buffer[7], 0xCC);
  fake.Libs.ReadCountOverride = 400;  // a library claiming more than the buffer holds
  EXPECT_EQ(DevRead(device, buffer.data(), 100, 2000), 100u);
  DevClose(device);
  EXPECT_EQ(DevRead(device, buffer.data(), 100, 2000), 0u);
}

TEST(DriverNotLoaded, EveryChannelOperationFailsWithoutCallingTheLibrary) {
  for (int kind : {0, 1}) {
    TFakeScope fake(false, false);
    TDevEntry device("1", 1, kind);
    // Even a record that claims an open channel must not reach an unloaded library.
    device.FtdiHandle = reinterpret_cast<void*>(0x51);
    device.QnHandle = 0x51;
    std::uint8_t buffer[16] = {};
    std::uint32_t written = 0;
    EXPECT_FALSE(DevOpen(device));
    EXPECT_FALSE(DevWrite(device, buffer, 16));
    EXPECT_FALSE(DevWriteChunk(device, buffer, 16, written));
    EXPECT_EQ(DevRead(device, buffer, 16, 100), 0u);
    DevClose(device);
    EXPECT_EQ(fake.Libs.Events, TEvents{});
  }
}

TEST(DriverNotLoaded, OnlyTheMissingKindFails) {
  TFakeScope fake(false, true);
  TDevEntry qn = QnDevice();
  TDevEntry ftdi = FtdiDevice();
  EXPECT_TRUE(DevOpen(qn));
  EXPECT_FALSE(DevOpen(ftdi));
}

TEST(DevChannel, IsTheChannelOfItsRecord) {
  TFakeScope fake;
  TDevEntry device = FtdiDevice("42");
  TDevChannel channel(device);
  ASSERT_TRUE(channel.Open());
  EXPECT_EQ(fake.Libs.OpenedSerial, "42");
  const std::vector<std::uint8_t> frame(70, 1);
  EXPECT_TRUE(channel.Write(frame.data(), 70));
  fake.Libs.Incoming = {{0, {9, 8}}};
  std::uint8_t buffer[4] = {};
  EXPECT_EQ(channel.Read(buffer, 4, 100), 2u);
  channel.Close();
  EXPECT_EQ(device.FtdiHandle, nullptr);
  EXPECT_EQ(std::count(fake.Libs.Events.begin(), fake.Libs.Events.end(), "FT_Close"), 1);
}
