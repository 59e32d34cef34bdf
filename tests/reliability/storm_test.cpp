// A hot-plug storm: eight simulated devices plugged, unplugged and broken at random while
// they are written. The test command runs a short storm; scripts/storm sets
// VL_STORM_EVENTS and VL_STORM_PACE_MS for a long one. VL_STORM_SEED repeats a storm.
#include <QElapsedTimer>
#include <random>

#include "reliabilityfixture.h"
#include "support/formcontrols.h"

namespace {

int EnvInt(const char* name, int fallback) {
  bool ok = false;
  const int value = qEnvironmentVariableIntValue(name, &ok);
  return ok ? value : fallback;
}

class Storm : public TReliabilityTest {
protected:
  // Every write start in the log has exactly one outcome line of the same device.
  void ExpectEveryWriteReportedOnce() {
    const QRegularExpression start(R"(^Прибор +(-?\d+)\tНачинаем прошивку прибора$)");
    const QRegularExpression outcome(
        R"(^Прибор +(-?\d+)\t(\( *\d+\)Прошивка завершена успешно|\( *\d+\)Ошибка \d+ при прошивке\. .*|)"
        R"(Установлена блокировка изменения настроек|Прибор не совместим с данной версией прошивки)$)");
    QMap<QString, int> open;
    int started = 0;
    for (const QString& line : Lines()) {
      if (const auto m = start.match(line); m.hasMatch()) {
        ++open[m.captured(1)];
        ++started;
        EXPECT_EQ(open[m.captured(1)], 1) << "a second write of one device: " << line.toStdString();
      } else if (const auto o = outcome.match(line); o.hasMatch()) {
        --open[o.captured(1)];
        EXPECT_EQ(open[o.captured(1)], 0) << "an outcome without its start: " << line.toStdString();
      }
    }
    for (auto it = open.begin(); it != open.end(); ++it)
      EXPECT_EQ(it.value(), 0) << "device " << it.key().toStdString() << ": a write never reported";
    Started = started;
  }

  int Started = 0;
};

TEST_F(Storm, DevicesComeGoAndBreakWhileWrittenAndNothingIsLost) {
  const int events = EnvInt("VL_STORM_EVENTS", 200);
  const int paceMs = EnvInt("VL_STORM_PACE_MS", 30);
  const auto seed = static_cast<std::uint32_t>(EnvInt("VL_STORM_SEED", 20261210));
  std::mt19937 random(seed);
  auto pick = [&](int n) { return static_cast<int>(random() % static_cast<std::uint32_t>(n)); };
  SCOPED_TRACE(testing::Message() << "VL_STORM_SEED=" << seed);

  const TBytes payload = GenerateCodePayload(8, 11);
  std::vector<std::string> names;
  for (int i = 0; i < 8; ++i) {
    const std::string name = "s" + std::to_string(i);
    TSimDeviceConfig config = Device(name, i % 2 ? saQn : saFtdi, std::to_string(100 + i));
    config.WriteMsPerPart = 1;
    Bus.Add(config);
    names.push_back(name);
  }
  StartWithFile(PackFile(payload));
  TFormControls(*Form).cbAutoWrite->setChecked(true);
  ASSERT_TRUE(WaitForScanAfter(0));

  const std::vector<std::function<void(TSimDeviceConfig&)>> faults = {
      [](TSimDeviceConfig& c) { c.MissingReplies = 1; },
      [](TSimDeviceConfig& c) { c.ShortReplies = 1; },
      [](TSimDeviceConfig& c) { c.SplitReplies = 2; },
      [](TSimDeviceConfig& c) { c.WrongAddressReplies = 2; },
      [](TSimDeviceConfig& c) { c.WrongSectorReplies = 1; },
      [](TSimDeviceConfig& c) { c.Locked = !c.Locked; },
      [](TSimDeviceConfig& c) { c.RefuseOpen = !c.RefuseOpen; },
      [](TSimDeviceConfig& c) { c.ListingErrors = 1; },
      [](TSimDeviceConfig& c) { c.EmptyDescriptionListings = 2; },
      [](TSimDeviceConfig& c) { c.ReplyDelayMs = c.ReplyDelayMs ? 0 : 5; },
      [](TSimDeviceConfig& c) { c.ProtectedSectors = c.ProtectedSectors.empty() ? std::vector<std::uint16_t>{10} : std::vector<std::uint16_t>{}; },
      [&](TSimDeviceConfig& c) { c.UnplugAfterFrames = pick(12); },
  };

  // Strikes that surely land in a running write: a write reports its progress after each
  // part and waits for the window meanwhile, so a device struck from there is mid-write.
  // The first report strikes, later ones now and then.
  std::mt19937 strikeRandom(seed + 1);
  int struckDuringWrite = 0;
  bool striking = true;
  QObject::connect(&Form->Controller(), &TDeviceController::DeviceProgress, Form.get(), [&] {
    if (!striking || (struckDuringWrite > 0 && strikeRandom() % 16 != 0)) return;
    std::vector<std::string> writing;
    for (const auto id : Form->Controller().Devices())
      if (Form->Controller().IsWriting(id) && !Form->Controller().IsGone(id))
        writing.push_back("s" + std::to_string(Form->Controller().Device(id)->SerialNumber - 100));
    if (writing.empty()) return;
    const std::string& name = writing[strikeRandom() % writing.size()];
    if (strikeRandom() % 2 == 0) {
      Bus.Unplug(name);
      Notify();
    } else {
      Bus.Configure(name, faults[strikeRandom() % faults.size()]);
    }
    ++struckDuringWrite;
  });

  int plugEvents = 0, faultEvents = 0, clicks = 0;
  for (int event = 0; event < events; ++event) {
    const std::string& name = names[static_cast<std::size_t>(pick(8))];
    switch (pick(5)) {
      case 0:
        Bus.Unplug(name);
        Notify();
        ++plugEvents;
        break;
      case 1:
        Bus.Plug(name);
        Notify();
        ++plugEvents;
        break;
      case 2:
      case 3:
        Bus.Configure(name, faults[static_cast<std::size_t>(pick(static_cast<int>(faults.size())))]);
        ++faultEvents;
        break;
      default:
        const auto listed = Form->Controller().Devices();
        if (listed.empty()) break;
        if (TFWLoaderDevGroup* panel = Form->PanelOf(listed[static_cast<std::size_t>(pick(static_cast<int>(listed.size())))])) {
          panel->btnWrite->click();
          ++clicks;
        }
        break;
    }
    QElapsedTimer pause;
    pause.start();
    const int wait = pick(2 * paceMs + 1);
    while (pause.elapsed() < wait) QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
  }

  striking = false;
  EXPECT_GE(struckDuringWrite, 1) << "no unplug or fault landed in a running write";

  ClearFaultsAndExpectListEqualsBus();
  ExpectNoWorkerAndNoStrayRecord();
  // With the faults gone every plugged device takes the image: the storm left nothing
  // behind that keeps a device from being written.
  for (const auto id : Form->Controller().Devices())
    if (TFWLoaderDevGroup* panel = Form->PanelOf(id)) panel->btnWrite->click();
  ASSERT_TRUE(Settled());
  for (const std::string& name : names) {
    const auto config = Bus.Config(name);
    if (!config->Plugged) continue;
    const int serial = SerialNumberFromText(config->Serial);
    ASSERT_NE(Panel(serial), nullptr) << name;
    EXPECT_EQ(Panel(serial)->lblMessage->text(), kWriteSucceeded) << name;
    EXPECT_TRUE(FlashHolds(Bus.Flash(name), payload)) << name;
  }
  ExpectEveryWriteReportedOnce();
  EXPECT_GE(Started, static_cast<int>(BusSerials().size()));
  ExpectSuccessOnlyWithImage(payload);
  std::printf("storm: %d events (%d plug/unplug, %d faults, %d clicks), %d struck mid-write, "
              "%d writes started, seed %u\n",
              events, plugEvents, faultEvents, clicks, struckDuringWrite, Started, seed);
}

}  // namespace
