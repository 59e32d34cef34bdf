#include "workers/devicecontroller.h"

#include <QSignalSpy>
#include <QTest>
#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <thread>

#include "core/scan/fakedevices.h"
#include "scan/identityquery.h"
#include "support/recordinglog.h"
#include "support/waituntil.h"
#include "workers/timerresolution.h"

namespace {

using TId = TDeviceController::TDeviceId;

// An image that never loads: every write ends at once with code 1. The load says so in
// the log, so that its place among the write's lines shows.
struct TNoImage : TImageProvider {
  explicit TNoImage(TLogSink& log) : Log(log) {}
  TFirmwareImage LoadImage() override {
    ++Loads;
    Log.LogText(llError, 0, "no image");
    return {};
  }
  TLogSink& Log;
  int Loads = 0;
};

struct DeviceController : ::testing::Test {
  TFakeDevices Devices;
  TRecordingLog Log;
  TNoImage Image{Log};
  TDeviceController Controller{Log, Image, nullptr, &Devices, &Devices};
  QSignalSpy Listed{&Controller, &TDeviceController::DeviceListed};
  QSignalSpy Removed{&Controller, &TDeviceController::DeviceRemoved};
  QSignalSpy Scans{&Controller, &TDeviceController::ScanEnded};


  bool WaitForScans(int count) {
    return WaitUntil([&] { return Scans.count() >= count && !Controller.ScanRunning(); }, 10000);
  }
  std::vector<std::int32_t> ListedSerials() const {
    std::vector<std::int32_t> serials;
    for (const TId id : Controller.Devices()) serials.push_back(Controller.Device(id)->SerialNumber);
    return serials;
  }
};

}  // namespace

TEST_F(DeviceController, NothingIsScannedBeforeStartThenOneScanListsFtdiFirst) {
  Devices.Ftdi = {"1"};
  Devices.Qn = {"2"};
  Controller.OnDeviceChange(kDevNodesChanged);
  QTest::qWait(3 * TDeviceController::kScanIntervalMs);
  EXPECT_TRUE(Devices.Events.empty());
  EXPECT_FALSE(Controller.ScanTimer().isActive());

  Controller.Start();
  ASSERT_TRUE(WaitForScans(1));
  EXPECT_EQ(ListedSerials(), (std::vector<std::int32_t>{1, 2}));
  ASSERT_EQ(Listed.count(), 2);
  EXPECT_EQ(Listed[0][0].value<TId>(), Controller.Devices()[0]);
  const auto identity = Listed[1][1].value<TDeviceIdentity>();
  EXPECT_EQ(identity.SerialNumber, 2);
  EXPECT_EQ(identity.AdapterKind, TAdapterKind::Qn);
  EXPECT_TRUE(identity.BootMode);
  EXPECT_EQ(identity.LoaderVersion.VersionText(), "VLQN-1.3");
  EXPECT_EQ(Log.Texts(), (std::vector<std::string>{
                             "Прибор подключен", "Версия прошивки VLQN-2.3", "Версия загрузчика VLQN-1.3",
                             "Идентификатор процессора 0x25013F37", "Режим работы - Загрузчик",
                             "Прибор подключен", "Версия прошивки VLQN-2.3", "Версия загрузчика VLQN-1.3",
                             "Идентификатор процессора 0x25013F37", "Режим работы - Загрузчик"}));
  EXPECT_FALSE(Controller.ScanTimer().isActive());  // each tick stops it
}

TEST_F(DeviceController, GoneDeviceIsRemovedByTheNextMergeAndOthersStay) {
  Devices.Ftdi = {"1", "3"};
  Controller.Start();
  ASSERT_TRUE(WaitForScans(1));
  const TId gone = Controller.DeviceBySerial(1);
  Devices.Ftdi = {"3"};
  Log.Entries.clear();
  Controller.OnDeviceChange(kDevNodesChanged);
  ASSERT_TRUE(WaitForScans(2));
  EXPECT_EQ(ListedSerials(), std::vector<std::int32_t>{3});
  ASSERT_EQ(Removed.count(), 1);
  EXPECT_EQ(Removed[0][0].value<TId>(), gone);
  EXPECT_EQ(Removed[0][1].toInt(), 1);
  EXPECT_EQ(Controller.Device(gone), nullptr);
  EXPECT_EQ(Log.Entries, (std::vector<TRecordingLog::TEntry>{{llInfo, 1, "Прибор отключен"}}));
}

TEST_F(DeviceController, ScanErrorIsLoggedAndListsNothing) {
  Devices.Qn = {"5"};
  Devices.OpenSucceeds = false;
  Controller.Start();
  ASSERT_TRUE(WaitForScans(1));
  EXPECT_EQ(Scans[0][0].toInt(), seOpenFailed);
  EXPECT_TRUE(Controller.Devices().empty());
  ASSERT_FALSE(Log.Entries.empty());
  EXPECT_EQ(Log.Entries.back().Level, llError);
  EXPECT_NE(Log.Entries.back().Text.find("Ошибка 7 поиске новых устройств"), std::string::npos)
      << Log.Entries.back().Text;
}

TEST_F(DeviceController, AutomaticWriteStartsOnListingAndItsEndIsShown) {
  Devices.Ftdi = {"1"};
  QSignalSpy status(&Controller, &TDeviceController::DeviceStatus);
  QSignalSpy allowed(&Controller, &TDeviceController::WriteAllowed);
  QSignalSpy ended(&Controller, &TDeviceController::WriteEnded);
  Controller.SetAutoWrite(true);
  Controller.Start();
  ASSERT_TRUE(WaitUntil([&] { return ended.count() == 1; }, 10000));
  EXPECT_EQ(Image.Loads, 1);
  const auto outcome = ended[0][1].value<TWriteOutcome>();
  EXPECT_EQ(outcome.SerialNumber, 1);
  EXPECT_EQ(outcome.ResultCode, wrLoadFailed);
  EXPECT_EQ(outcome.StatusText, "Ошибка 1 при обновлении прошивки");
  EXPECT_EQ(outcome.StatusLevel, llError);
  std::vector<bool> allowedSteps;
  for (const auto& args : allowed) allowedSteps.push_back(args[1].toBool());
  EXPECT_EQ(allowedSteps, (std::vector<bool>{true, false, true}));
  ASSERT_EQ(status.count(), 1);
  EXPECT_EQ(status[0][1].toString(), "Обновление прошивки прибора...");
  // The image is loaded on the main thread once the write is announced, before the
  // write's own lines.
  const std::vector<std::string> texts = Log.Texts();
  const auto announced = std::find(texts.begin(), texts.end(), "Начинаем прошивку прибора");
  ASSERT_NE(announced, texts.end());
  ASSERT_NE(announced + 1, texts.end());
  EXPECT_EQ(*(announced + 1), "no image");
  EXPECT_EQ(Controller.WritesRunning(), 0);
}

TEST_F(DeviceController, WriteRequestForAnUnknownDeviceIsLogged) {
  Controller.RequestWrite(12345);
  EXPECT_EQ(Log.Texts(), std::vector<std::string>{"Объект прибора не найден"});
  EXPECT_EQ(Controller.WritesRunning(), 0);
}

TEST_F(DeviceController, ShutdownForgetsEveryDeviceAndScansNoMore) {
  Devices.Ftdi = {"1", "2"};
  Controller.Start();
  ASSERT_TRUE(WaitForScans(1));
  Controller.Shutdown();
  EXPECT_TRUE(Controller.Devices().empty());
  Devices.Events.clear();
  Controller.OnDeviceChange(kDevNodesChanged);
  QTest::qWait(3 * TDeviceController::kScanIntervalMs);
  EXPECT_TRUE(Devices.Events.empty());
}

// The 1 ms timer resolution must be held for the whole write, not only by the scan: at
// the system's default resolution a write still succeeds, only ten times slower, which
// nothing else here would notice.
TEST_F(DeviceController, AWriteHoldsTheTimerResolutionWhileItRuns) {
  Devices.Ftdi = {"1"};
  QSignalSpy ended(&Controller, &TDeviceController::WriteEnded);
  Controller.Start();
  ASSERT_TRUE(WaitForScans(1));
  ASSERT_EQ(TTimerResolution::Held(), 0);  // the scan has given its hold back
  ASSERT_FALSE(Controller.ScanRunning());
  // The write makes its channel on its own thread once it runs: what is held then is the
  // write's hold (no scan runs: nothing asks for one).
  std::atomic<int> heldInWrite{-1};
  Devices.OnMakeChannel = [&] { heldInWrite = TTimerResolution::Held(); };
  Controller.RequestWrite(Controller.DeviceBySerial(1));
  ASSERT_TRUE(WaitUntil([&] { return ended.count() == 1; }, 10000));
  EXPECT_EQ(heldInWrite.load(), 1);
  EXPECT_TRUE(WaitUntil([] { return TTimerResolution::Held() == 0; }, 10000));
}

// A device-change notification that comes while a scan runs: that scan may have listed
// the adapters before the new device was there, so one more scan must follow its merge,
// even though the notification's own timer ran out while the first scan was busy. The
// first scan is held inside its identity query until the timer has run out.
TEST_F(DeviceController, ANotificationDuringAScanGetsOneMoreScanAfterIt) {
  Devices.Ftdi = {"1"};
  std::atomic<bool> inScan{false};
  std::atomic<bool> release{false};
  Devices.OnMakeChannel = [&] {
    inScan = true;
    while (!release) std::this_thread::sleep_for(std::chrono::milliseconds(1));
  };
  Controller.Start();
  ASSERT_TRUE(WaitUntil([&] { return inScan.load(); }, 10000));
  Devices.Ftdi = {"1", "2"};
  ASSERT_TRUE(Controller.ScanRunning());
  Controller.OnDeviceChange(kDevNodesChanged);
  ASSERT_TRUE(Controller.ScanTimer().isActive());
  // The timer runs out and asks for a scan while the first one is still held.
  EXPECT_TRUE(WaitUntil([&] { return !Controller.ScanTimer().isActive(); }, 10000));
  EXPECT_TRUE(Controller.ScanRunning());
  EXPECT_EQ(Scans.count(), 0);
  release = true;
  ASSERT_TRUE(WaitForScans(2));
  EXPECT_EQ(ListedSerials(), (std::vector<std::int32_t>{1, 2}));
  // And only one: nothing asked for a third.
  QTest::qWait(3 * TDeviceController::kScanIntervalMs);
  EXPECT_EQ(Scans.count(), 2);
  EXPECT_FALSE(Controller.ScanRunning());
}
