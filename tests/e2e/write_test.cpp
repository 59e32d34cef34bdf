// Devices written by the window: a click or automatic writing, the outcome in the panel
// and the log, and the flash the simulated device ends up with.
#include <QFile>

#include "e2efixture.h"
#include "packer.h"
#include "protocol/frame.h"
#include "resources/builtinimage.h"
#include "workers/timerresolution.h"
#include "support/formcontrols.h"

namespace {

QString Dev(int serial) { return QStringLiteral("Прибор %1\t").arg(serial, 7); }
using TBytes = std::vector<std::uint8_t>;

// The payload of the built-in image, as it must stand in flash from sector 10 on.
TBytes BuiltInPayload() {
  const auto container = ReadBuiltInImageBytes();
  return TBytes(container->end() - 221184, container->end());
}

bool FlashHolds(const TBytes& flash, const TBytes& payload, std::size_t at = 0xA000) {
  return flash.size() >= at + payload.size() &&
         std::equal(payload.begin(), payload.end(), flash.begin() + static_cast<std::ptrdiff_t>(at));
}

class WriteTest : public E2ETest {
protected:

  void Click(std::int32_t serial) { Panel(serial)->btnWrite->click(); }
  QString Status(std::int32_t serial) { return Panel(serial)->lblMessage->text(); }
  QColor StatusColour(std::int32_t serial) {
    return Panel(serial)->lblMessage->palette().color(QPalette::WindowText);
  }
};

}  // namespace

TEST_F(WriteTest, BuiltInImageIsWrittenWholeAndReported) {
  Bus.Add(Device("d", saFtdi, "5500250"));
  Start();
  WaitForScan(1);
  Click(5500250);
  EXPECT_FALSE(Panel(5500250)->btnWrite->isEnabled());
  EXPECT_EQ(Status(5500250), "Обновление прошивки прибора...");
  ASSERT_TRUE(WaitForWrites());

  EXPECT_TRUE(FlashHolds(*Bus.Flash("d"), BuiltInPayload()));
  EXPECT_EQ(Bus.FramesReceived("d", frame::cmdCloseSuccess), 1u);
  EXPECT_EQ(Bus.FramesReceived("d", frame::cmdCloseFailure), 0u);
  EXPECT_EQ(Panel(5500250)->pbProgress->value(), 100);
  EXPECT_TRUE(Panel(5500250)->btnWrite->isEnabled());
  EXPECT_EQ(Status(5500250), "Обновление прошивки завершено успешно");
  EXPECT_EQ(StatusColour(5500250), QColor(0, 128, 0));
  // The panel holds the whole outcome, not only its text.
  EXPECT_EQ(Panel(5500250)->LastOutcome().SerialNumber, 5500250);
  EXPECT_EQ(Panel(5500250)->LastOutcome().ResultCode, wrSuccess);
  EXPECT_EQ(Panel(5500250)->LastOutcome().LastReplyCode, frame::rcDone);
  // The start, then the image loaded afresh, then the sectors, then the outcome.
  const QStringList lines = Lines();
  const qsizetype start = lines.indexOf(Dev(5500250) + "Начинаем прошивку прибора");
  const qsizetype loaded = lines.indexOf("Прибор -------\tЗагружена прошивка из ресурсов");
  const qsizetype range = lines.indexOf(Dev(5500250) + "Прошивается сектора с 10 по 21");
  ASSERT_GE(start, 0);
  EXPECT_LT(start, loaded);
  EXPECT_LT(loaded, range);
  EXPECT_TRUE(QRegularExpression(R"(^Прибор 5500250\t\( *\d+\)Прошивка завершена успешно$)")
                  .match(lines.last())
                  .hasMatch())
      << lines.last().toStdString();
}

TEST_F(WriteTest, PackedFileIsWrittenAndReadAgainForEveryWrite) {
  const TBytes first = GenerateCodePayload(16, 1);
  const QString path = PackFile(first);
  Bus.Add(Device("d", saQn, "42"));
  Start({"externfirmware"});
  Form->SetFileBoxText(path);
  WaitForScan(1);
  Click(42);
  ASSERT_TRUE(WaitForWrites());
  EXPECT_TRUE(FlashHolds(*Bus.Flash("d"), first));
  EXPECT_EQ(Status(42), "Обновление прошивки завершено успешно");

  // Changed on disk between two writes: written in its new form.
  const TBytes second = GenerateCodePayload(24, 2);
  PackFile(second);
  Click(42);
  ASSERT_TRUE(WaitForWrites());
  EXPECT_TRUE(FlashHolds(*Bus.Flash("d"), second));
  EXPECT_EQ(TFormControls(*Form).lblFileVer->text(), "VLQN-2.3b");
}

TEST_F(WriteTest, TwoDevicesAreWrittenAtOnceEachWithItsOwnPanelAndLines) {
  Bus.Add(Device("a", saFtdi, "1"));
  Bus.Add(Device("b", saQn, "2"));
  const QString path = PackFile(GenerateCodePayload(64, 3));
  Start({"externfirmware"});
  Form->SetFileBoxText(path);
  WaitForScan(2);
  // The first progress of either write holds that write (its thread waits for the
  // window) until the other device has taken a write frame too: writes that ran one after
  // the other would never get there. Neither device has had its closing frame by then.
  bool held = false;
  bool bothWrote = false;
  std::uint32_t closedMeanwhile = 0;
  QObject::connect(&Form->Controller(), &TDeviceController::DeviceProgress, Form.get(), [&] {
    if (held) return;
    held = true;
    bothWrote = WaitUntil([&] {
      return Bus.FramesReceived("a", frame::cmdWriteV2) >= 1 && Bus.FramesReceived("b", frame::cmdWriteV2) >= 1;
    }, 60000);
    for (const char* name : {"a", "b"})
      closedMeanwhile += Bus.FramesReceived(name, frame::cmdCloseSuccess) + Bus.FramesReceived(name, frame::cmdCloseFailure);
  });
  Click(1);
  Click(2);
  EXPECT_EQ(Form->Controller().WritesRunning(), 2);
  ASSERT_TRUE(WaitForWrites());
  EXPECT_TRUE(held);
  EXPECT_TRUE(bothWrote) << "the second device's first write frame came only after the first write had ended";
  EXPECT_EQ(closedMeanwhile, 0u);
  for (int serial : {1, 2}) {
    EXPECT_EQ(Status(serial), "Обновление прошивки завершено успешно") << serial;
    EXPECT_EQ(Panel(serial)->pbProgress->value(), 100) << serial;
    EXPECT_EQ(Lines().filter(Dev(serial) + "Прошивается сектора с 10 по").size(), 1) << serial;
  }
  EXPECT_TRUE(FlashHolds(*Bus.Flash("a"), GenerateCodePayload(64, 3)));
  EXPECT_TRUE(FlashHolds(*Bus.Flash("b"), GenerateCodePayload(64, 3)));
}

TEST_F(WriteTest, AutomaticWritingStartsBootLoaderDevicesOnly) {
  const QString path = PackFile(GenerateCodePayload(8, 4));
  Start({"externfirmware"});
  Form->SetFileBoxText(path);
  TFormControls(*Form).cbAutoWrite->setChecked(true);
  WaitForScan(0);
  Bus.Add(Device("boot", saFtdi, "7"));
  Bus.Add(Device("app", saFtdi, "8", false));
  Notify();
  WaitForScan(2);
  ASSERT_TRUE(WaitForWrites());
  EXPECT_EQ(Status(7), "Обновление прошивки завершено успешно");
  EXPECT_EQ(Bus.FramesReceived("app", frame::cmdWriteV2), 0u);
  EXPECT_FALSE(Logged(Dev(8) + "Начинаем прошивку прибора"));
}

TEST_F(WriteTest, DeviceUnpluggedDuringItsWriteIsReportedThenRemoved) {
  TSimDeviceConfig slow = Device("d", saFtdi, "9");
  slow.WriteMsPerPart = 20;
  Bus.Add(slow);
  Bus.Add(Device("other", saFtdi, "10"));
  Start();
  WaitForScan(2);
  Click(9);
  ASSERT_TRUE(WaitUntil([&] { return Bus.FramesReceived("d", frame::cmdWriteV2) >= 4; }));
  Bus.Unplug("d");
  Notify();
  ASSERT_TRUE(WaitUntil([&] { return Listed(9) == nullptr; }));
  const qsizetype outcome = Lines().indexOf(QRegularExpression(R"(^Прибор       9\t\( *\d+\)Ошибка \d+ при прошивке.*)"));
  const qsizetype gone = IndexOf(Dev(9) + "Прибор отключен");
  ASSERT_GE(outcome, 0) << Lines().join('\n').toStdString();
  EXPECT_LT(outcome, gone);
  EXPECT_EQ(TFormControls(*Form).DevPanel->findChildren<QGroupBox*>().size(), 1);
  EXPECT_NE(Listed(10), nullptr);
}

// A scan that finds the device again while its old record is still being written takes
// the listing for that record; once the old record has gone, the device is listed anew.
// (An adapter whose description changes away and back stands for a quick replug that
// the running write does not notice.)
TEST_F(WriteTest, DeviceFoundAgainWhileItsOldRecordIsWrittenIsListedOnceThatRecordHasGone) {
  TSimDeviceConfig slow = Device("d", saFtdi, "9");
  slow.WriteMsPerPart = 40;
  Bus.Add(slow);
  Start();
  WaitForScan(1);
  const auto old = Form->Controller().DeviceBySerial(9);
  Click(9);
  ASSERT_TRUE(WaitUntil([&] { return Bus.FramesReceived("d", frame::cmdWriteV2) >= 2; }));
  Bus.Configure("d", [](TSimDeviceConfig& c) { c.Description = "Other"; });
  Notify();
  ASSERT_TRUE(WaitUntil([&] { return Form->Controller().IsGone(old); }));
  Bus.Configure("d", [](TSimDeviceConfig& c) { c.Description = "Velmarkon"; });
  Notify();
  const auto scanned = [&] {
    return !Form->Controller().ScanTimer().isActive() && !Form->Controller().ScanRunning();
  };
  ASSERT_TRUE(WaitUntil(scanned));
  ASSERT_TRUE(Form->Controller().IsWriting(old)) << "the write ended before the second scan";
  ASSERT_TRUE(WaitForWrites());
  ASSERT_TRUE(WaitUntil([&] { return Listed(9) != nullptr && scanned(); }))
      << Lines().join('\n').toStdString();
  EXPECT_NE(Form->Controller().DeviceBySerial(9), old);
  EXPECT_EQ(Lines().count(Dev(9) + "Прибор подключен"), 2);
  EXPECT_TRUE(Logged(Dev(9) + "Прибор отключен"));
  EXPECT_EQ(TFormControls(*Form).DevPanel->findChildren<QGroupBox*>().size(), 1);
}

TEST_F(WriteTest, ClosingTheWindowDuringWritesStopsThemWithFrame12) {
  for (const char* name : {"a", "b"}) {
    TSimDeviceConfig slow = Device(name, saFtdi, name[0] == 'a' ? "1" : "2");
    slow.WriteMsPerPart = 20;
    Bus.Add(slow);
  }
  Start();
  WaitForScan(2);
  Click(1);
  Click(2);
  ASSERT_TRUE(WaitUntil([&] {
    return Bus.FramesReceived("a", frame::cmdWriteV2) > 0 && Bus.FramesReceived("b", frame::cmdWriteV2) > 0;
  }));
  Form.reset();  // the window closes while both write
  for (const char* name : {"a", "b"}) {
    EXPECT_EQ(Bus.FramesReceived(name, frame::cmdCloseFailure), 1u) << name;
    EXPECT_EQ(Bus.FramesReceived(name, frame::cmdCloseSuccess), 0u) << name;
    EXPECT_FALSE(Bus.IsOpen(name)) << name;
  }
}

// The 1 ms timer resolution is held while a device is written (and released after), so
// that the channel's 1 ms pauses last 1 ms on Windows rather than a timer tick of 15.6.
TEST_F(WriteTest, TimerResolutionIsHeldWhileWritingAndReleasedAfter) {
  TSimDeviceConfig slow = Device("d", saQn, "5500260");
  slow.EraseMsPerSector = 20;
  Bus.Add(slow);
  Start();
  WaitForScan(1);
  EXPECT_TRUE(WaitUntil([] { return TTimerResolution::Held() == 0; }));  // the scan's is gone
  Click(5500260);
  EXPECT_TRUE(WaitUntil([] { return TTimerResolution::Held() >= 1; }));
  ASSERT_TRUE(WaitForWrites());
  EXPECT_EQ(Status(5500260), "Обновление прошивки завершено успешно");
  EXPECT_TRUE(WaitUntil([] { return TTimerResolution::Held() == 0; }));
}
