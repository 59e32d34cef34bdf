// The system's device-change notification as Windows sends it: WM_DEVICECHANGE with
// DBT_DEVNODES_CHANGED to every top-level window, here from another process (the
// simulator's control tool announces each change of the bus so). It reaches the device
// watch for a plug and an unplug alike, twice in a row as well, and restarts the
// window's device timer.
#include <QDir>
#include <QProcess>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTimer>
#include <gtest/gtest.h>

#include "shell/devicewatch.h"
#include "app/mainform.h"
#include "support/waituntil.h"

namespace {

constexpr int kWaitMs = 120000;

class DeviceChangeBroadcast : public ::testing::Test {
protected:
  void SetUp() override { ASSERT_TRUE(Dir.isValid()); }

  // One change of the simulated bus, announced by the control tool. The window's thread
  // keeps handling its messages meanwhile, as a running program does: the announcement
  // waits only a short while for an answer.
  void Change(const QStringList& arguments) {
    QProcess control;
    control.start(QStringLiteral(VL_SIMCTL),
                  QStringList({QStringLiteral("--bus"), QDir::toNativeSeparators(Dir.filePath("bus.txt"))}) +
                      arguments);
    ASSERT_TRUE(WaitUntil([&] { return control.state() == QProcess::NotRunning; }, kWaitMs));
    ASSERT_EQ(control.exitCode(), 0) << control.readAllStandardError().constData();
  }

  QTemporaryDir Dir;
};

TEST_F(DeviceChangeBroadcast, ReachesTheWatchForPlugAndUnplugAlike) {
  TDeviceWatch watch{QString()};  // the system's notifications only
  QSignalSpy spy(&watch, &TDeviceWatch::DeviceChange);

  const QStringList changes[] = {
      {"add", "name=d1", "adapter=qn", "serial=101"},
      {"unplug", "d1"},
      {"plug", "d1"},
      {"plug", "d1"},  // twice in a row
  };
  for (const QStringList& change : changes) {
    const qsizetype before = spy.count();
    Change(change);
    ASSERT_TRUE(WaitUntil([&] { return spy.count() > before; }, kWaitMs)) << change.join(' ').toStdString();
    EXPECT_EQ(spy.last().at(0).toInt(), kDevNodesChanged);
  }
}

TEST_F(DeviceChangeBroadcast, RestartsTheDeviceTimer) {
  TMainFormSetup setup;
  setup.ProgramDir = Dir.path() + u'/';
  setup.ShowMessage = [](const QString&) {};
  TMainForm form(std::move(setup));
  form.show();
  QSignalSpy ticks(&form.Controller().ScanTimer(), &QTimer::timeout);
  // The first tick comes by itself; after it the timer waits for a notification.
  ASSERT_TRUE(WaitUntil([&] { return ticks.count() >= 1 && !form.Controller().ScanTimer().isActive(); }, kWaitMs));
  for (const QStringList& change : {QStringList{"add", "name=d2", "adapter=ftdi", "serial=202"},
                                    QStringList{"unplug", "d2"}}) {
    const qsizetype before = ticks.count();
    Change(change);
    EXPECT_TRUE(WaitUntil([&] { return ticks.count() > before; }, kWaitMs))
        << change.join(' ').toStdString();
  }
}

}  // namespace
