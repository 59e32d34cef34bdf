#include "scan/devicescan.h"

#include <gtest/gtest.h>

#include "fakedevices.h"
#include "scan/identityquery.h"
#include "support/recordinglog.h"

namespace {

using TIds = std::vector<std::uint64_t>;

struct DeviceScan : ::testing::Test {
  TFakeDevices Devices;
  TRecordingLog Log;
  std::atomic<bool> Stop = false;
  std::vector<TIds> Reported;

  TScanResult Scan(const std::vector<TListedDevice>& listed) {
    const TScanTools tools{Devices, Devices, Log,
                           [this](const TIds& gone) {
                             Reported.push_back(gone);
                             Devices.Events.push_back("gone reported");
                           },
                           &Stop};
    return ScanDevices(listed, tools);
  }
  static std::vector<std::int32_t> Serials(const TScanResult& result) {
    std::vector<std::int32_t> serials;
    for (const auto& device : result.NewDevices) serials.push_back(device->SerialNumber);
    return serials;
  }
};

// Listed: FTDI 1 and 2, QN 3. Attached now: FTDI 1 and 4, QN 5 (2 and 3 unplugged).
const std::vector<TListedDevice> kListed = {{11, 1, TAdapterKind::Ftdi}, {12, 2, TAdapterKind::Ftdi}, {13, 3, TAdapterKind::Qn}};

}  // namespace

TEST_F(DeviceScan, OnlyACompleteListingMakesItsDevicesGone) {
  const struct {
    const char* Name;
    TEnumResult Ftdi, Qn;
    TIds Gone;
  } cases[] = {
      {"both complete", erListed, erListed, {12, 13}},
      {"FTDI incomplete", erIncomplete, erListed, {13}},
      {"FTDI failed", erDriverError, erListed, {13}},
      {"QN failed", erListed, erDriverError, {12}},
      {"QN not loaded", erListed, erNotLoaded, {12}},
      {"neither complete", erIncomplete, erDriverError, {}},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.Name);
    Devices = {};
    Devices.Ftdi = {"1", "4"};
    Devices.Qn = {"5"};
    Devices.FtdiResult = c.Ftdi;
    Devices.QnResult = c.Qn;
    Reported.clear();
    const TScanResult result = Scan(kListed);
    EXPECT_EQ(result.Gone, c.Gone);
    EXPECT_EQ(Reported, c.Gone.empty() ? std::vector<TIds>{} : std::vector<TIds>{c.Gone});
    EXPECT_EQ(Serials(result), (std::vector<std::int32_t>{4, 5}));
    EXPECT_EQ(result.FtdiListing, c.Ftdi);
    EXPECT_EQ(result.QnListing, c.Qn);
  }
}

TEST_F(DeviceScan, GoneDevicesAreReportedBeforeTheNewOnesAreIdentified) {
  Devices.Ftdi = {"1", "4"};
  Devices.Qn = {"5"};
  const TScanResult result = Scan(kListed);
  EXPECT_EQ(Devices.Events, (std::vector<std::string>{"list ftdi", "list qn", "gone reported",
                                                      "channel 4", "channel 5"}));
  ASSERT_EQ(result.NewDevices.size(), 2u);
  for (const auto& device : result.NewDevices) {
    EXPECT_TRUE(device->BootMode);
    EXPECT_EQ(device->LoaderVersion.VersionText(), "VLQN-1.3");
    EXPECT_EQ(device->ProcessorId, 0x25013F37u);
  }
  EXPECT_EQ(result.ErrorCode, seNone);
  EXPECT_TRUE(Log.Entries.empty());
}

// Each listed record takes one listing of its serial number, whatever the adapter.
TEST_F(DeviceScan, EachListedRecordTakesOneListingOfItsSerialNumber) {
  Devices.Ftdi = {"7", "7"};
  Devices.Qn = {"8"};
  const TScanResult twoOfThree = Scan({{1, 7, TAdapterKind::Ftdi}, {2, 8, TAdapterKind::Ftdi}});
  EXPECT_EQ(Serials(twoOfThree), (std::vector<std::int32_t>{7}));
  EXPECT_TRUE(twoOfThree.Gone.empty());

  Devices.Ftdi = {"7"};
  Devices.Qn = {};
  const TScanResult oneOfTwo = Scan({{1, 7, TAdapterKind::Ftdi}, {2, 7, TAdapterKind::Ftdi}});
  EXPECT_TRUE(oneOfTwo.NewDevices.empty());
  EXPECT_EQ(oneOfTwo.Gone, TIds{2});
}

TEST_F(DeviceScan, StopLeavesTheRemainingDevicesUnasked) {
  Devices.Ftdi = {"1", "2", "3"};
  Devices.OnMakeChannel = [this] { Stop = true; };
  const TScanResult result = Scan({});
  EXPECT_EQ(Devices.Events, (std::vector<std::string>{"list ftdi", "list qn", "channel 1"}));
  ASSERT_EQ(result.NewDevices.size(), 3u);
  EXPECT_TRUE(result.NewDevices[0]->BootMode);
  EXPECT_FALSE(result.NewDevices[1]->BootMode);
}

TEST_F(DeviceScan, ABrokenListingIsLoggedAndTakesNothingForGone) {
  Devices.Ftdi = {"4"};
  Devices.ThrowOnList = true;
  const TScanResult result = Scan(kListed);
  EXPECT_EQ(Log.Texts(), (std::vector<std::string>{"Исключение \"listing broke\" при поиске устройств"}));
  EXPECT_TRUE(result.Gone.empty());
  EXPECT_TRUE(result.NewDevices.empty());
  EXPECT_EQ(result.ErrorCode, seNone);
}

TEST_F(DeviceScan, ADeviceThatDoesNotOpenFailsTheScanWithCode7) {
  Devices.Qn = {"5", "6"};
  Devices.OpenSucceeds = false;
  const TScanResult result = Scan({});
  EXPECT_EQ(result.ErrorCode, seOpenFailed);
  EXPECT_EQ(Serials(result), (std::vector<std::int32_t>{5, 6}));
}
