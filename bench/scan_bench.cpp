// Scan latency: a device plugged on the simulated bus (the window hears of it through the
// bus file, as it hears of the system's device changes) until its panel is shown.
//   scan_bench [plugs]
// The floor is the interval of the window's device timer plus the identity exchanges' own time,
// measured here by querying a device of the same kind bare, on this thread, with no log.
#include <QApplication>
#include <QGroupBox>
#include <QTemporaryDir>
#include <cstdlib>

#include "benchreport.h"
#include "benchwindow.h"
#include "link/channelfactory.h"
#include "link/driverlibs.h"
#include "scan/identityquery.h"

namespace {

constexpr double kGoalOverheadMs = 20;

class TNoLog final : public TLogSink {
public:
  void LogText(TLogLevel, std::int32_t, const std::string&) override {}
};

double BareIdentityMs(const std::string& serial) {
  TDevEntry device(serial, 0xFFFF, TAdapterKind::Ftdi);
  const std::unique_ptr<TDeviceChannel> channel = MakeDeviceChannel(device);
  TNoLog log;
  const double start = BenchNowMs();
  const bool identified = IdentifyDevice(device, *channel, log) == seNone;
  const double elapsed = BenchNowMs() - start;
  return identified && device.BootMode ? elapsed : -1;
}

// Lets the window take in what the bus file's last change told it, until it is idle.
void Settle(TBenchWindow& window) {
  const double until = BenchNowMs() + 300;
  RunUntil([&] {
    return BenchNowMs() > until && !window->Controller().ScanTimer().isActive() && !window->Controller().ScanRunning();
  });
}

}  // namespace

int main(int argc, char** argv) {
  UseOffscreenPlatform();
  QApplication app(argc, argv);
  const int plugs = argc > 1 ? std::max(1, std::atoi(argv[1])) : 7;

  QTemporaryDir busDir;
  const QString busFile = busDir.filePath(QStringLiteral("bus.txt"));
  TSimBus& bus = TSimBus::Instance();
  bus.AttachFile(busFile.toStdString());
  bus.Clear();

  // The identity exchanges on their own, before the window lists anything.
  LoadFtdiDriver();
  bus.Add(BenchDevice("probe", "740000"));
  std::vector<double> identity;
  for (int i = 0; i < plugs; ++i) {
    const double ms = BareIdentityMs("740000");
    if (ms < 0) {
      std::fprintf(stderr, "scan_bench: the bare identity query failed\n");
      return 2;
    }
    identity.push_back(ms);
  }
  bus.Remove("probe");

  TBenchWindow window(busFile);
  window.WaitForScan(0);
  std::vector<double> latency;
  for (int i = 0; i < plugs; ++i) {
    const std::string name = "s" + std::to_string(i);
    const std::int32_t serial = 740001 + i;
    TSimDeviceConfig config = BenchDevice(name, std::to_string(serial));
    config.Plugged = false;
    bus.Add(config);
    Settle(window);
    const double start = BenchNowMs();
    bus.Plug(name);
    RunUntil([&] {
      TFWLoaderDevGroup* panel = window.Panel(serial);
      return panel && panel->gbDevice->isVisible();
    });
    latency.push_back(BenchNowMs() - start);
  }

  const double identityMs = Median(identity);
  const double latencyMs = Median(latency);
  // The interval the window's timer runs with, read from the window itself.
  const double timerMs = window->Controller().ScanTimer().interval();
  const double floorMs = timerMs + identityMs;
  std::printf("plug to panel, median of %d: %.1f ms (min %.1f, max %.1f); bare identity %.1f ms\n",
              plugs, latencyMs, Percentile(latency, 0), Percentile(latency, 100), identityMs);
  const bool met = latencyMs <= floorMs + kGoalOverheadMs;
  ReportFigure("scan latency, plug to panel shown", Fixed(latencyMs, 1) + " ms",
               Fixed(floorMs, 1) + " ms (" + Fixed(timerMs, 0) + " ms timer + identity " +
                   Fixed(identityMs, 1) + " ms)",
               "+" + Fixed(latencyMs - floorMs, 1) + " ms", "<= floor + 20 ms", met);
  return met ? 0 : 1;
}
