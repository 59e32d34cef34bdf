// Parallel devices: 1, 4, 16 and 64 simulated devices plugged together and written at
// once through the window's automatic writing, then 1 and 64 through the station command
// line's run (vlfwflash write), each in this process against the simulated bus. Figures:
// the wall time from the plug (the scan then identifies the devices one after the other
// before any is listed) to the last write's end; the lateness of a 10 ms timer on the main
// thread over the same span, the merge that builds the panels included; the resident
// memory the run took per device at its peak. The wall time from the first listing to the
// last write's end is printed beside it for reading, without a goal.
//   parallel_bench
#include <QApplication>
#include <cstdio>

#include "benchplatform.h"
#include "benchreport.h"
#include "benchwindow.h"
#include "cli/station.h"
#include "protocol/frame.h"
#include "support/formcontrols.h"

namespace {

constexpr double kGoalRatio = 1.15;
constexpr double kGoalLatenessP99Ms = 30;

struct TRun {
  double WallMs = 0;          // from the plug
  double FromListingMs = 0;   // from the first device listed
  std::vector<double> LatenessMs;  // per tick of the 10 ms timer
  double PeakResidentPerDevice = 0;
  bool AllWritten = false;
};

// Measures from `started` until done() holds: a 10 ms timer's lateness and the resident
// memory at its peak.
class TMeter {
public:
  explicit TMeter(TRun& run) : Run(run), Before(ResidentBytes()) {
    Ticker.setTimerType(Qt::PreciseTimer);
    QObject::connect(&Ticker, &QTimer::timeout, [this] {
      const double now = BenchNowMs();
      Run.LatenessMs.push_back(std::max(0.0, now - LastTick - 10));
      LastTick = now;
      Peak = std::max(Peak, ResidentBytes());
    });
  }
  void Start() {
    LastTick = BenchNowMs();
    Ticker.start(10);
  }
  void Stop(double pluggedMs, double listedMs, int devices) {
    const double now = BenchNowMs();
    Run.WallMs = now - pluggedMs;
    Run.FromListingMs = now - listedMs;
    Ticker.stop();
    Run.PeakResidentPerDevice = (Peak - Before) / devices;
  }

private:
  TRun& Run;
  QTimer Ticker;
  double LastTick = 0;
  double Before;
  double Peak = 0;
};

std::vector<std::string> PlugDevices(const std::string& prefix, int count, int firstSerial) {
  TSimBus& bus = TSimBus::Instance();
  std::vector<std::string> names;
  for (int i = 0; i < count; ++i) {
    names.push_back(prefix + std::to_string(count) + "_" + std::to_string(i));
    bus.Add(BenchDevice(names.back(), std::to_string(firstSerial + i)));
  }
  return names;
}

bool AllWritten(const std::vector<std::string>& names) {
  for (const std::string& name : names)
    if (TSimBus::Instance().FramesReceived(name, frame::cmdCloseSuccess) != 1) return false;
  return true;
}

TRun WriteThroughWindow(TBenchWindow& window, int count) {
  TRun run;
  TMeter meter(run);
  // The clock and the timer start at the plug: the scan identifies every device before it
  // lists any, and the merge then builds the panels and starts the writes one after
  // another on the main thread, all of which a user waits through.
  const double plugged = BenchNowMs();
  meter.Start();
  const std::vector<std::string> names = PlugDevices("w", count, 720000 + count * 100);
  double listedAt = -1;
  const QMetaObject::Connection listed = QObject::connect(
      &window->Controller(), &TDeviceController::DeviceListed, [&] {
        if (listedAt < 0) listedAt = BenchNowMs();
      });
  window.Notify();
  RunUntil([&] { return window->Controller().WritesRunning() > 0; });
  QObject::disconnect(listed);
  RunUntil([&] { return window->Controller().WritesRunning() == 0 && !window->Controller().ScanRunning(); });
  meter.Stop(plugged, listedAt, count);
  run.AllWritten = AllWritten(names);
  // Unplugged, so the next round starts from an empty list.
  for (const std::string& name : names) TSimBus::Instance().Remove(name);
  window.Notify();
  window.WaitForScan(0);
  return run;
}

TRun WriteThroughStation(int count, const QString& logDir) {
  TRun run;
  const double plugged = BenchNowMs();
  const std::vector<std::string> names = PlugDevices("s", count, 760000 + count * 100);
  std::FILE* sink = std::tmpfile();
  {
    TStationOptions options;
    options.Command = TStationCommand::Write;
    options.Json = true;
    options.Count = count;
    options.TimeoutSeconds = 600;
    TStationOutput output(true, sink);
    TStation station(options, output, logDir);
    int exit = -1;
    QObject::connect(&station, &TStation::Finished, [&](int code) { exit = code; });
    double listedAt = -1;
    QObject::connect(&station, &TStation::Listed, [&] {
      if (listedAt < 0) listedAt = BenchNowMs();
    });
    TMeter meter(run);
    meter.Start();
    station.Prepare();
    station.Start();
    RunUntil([&] { return exit >= 0; });
    meter.Stop(plugged, listedAt, count);
    run.AllWritten = exit == TStation::exWritten && AllWritten(names);
  }
  std::fclose(sink);
  for (const std::string& name : names) TSimBus::Instance().Remove(name);
  return run;
}

void Print(const char* through, int count, const TRun& run) {
  std::printf("%s, %2d devices: wall %.0f ms from the plug (%.0f ms from the first listing), timer lateness p50 %.1f ms, p99 %.1f ms, max %.1f ms, "
              "peak resident %.0f KiB a device\n",
              through, count, run.WallMs, run.FromListingMs, Median(run.LatenessMs), Percentile(run.LatenessMs, 99),
              Percentile(run.LatenessMs, 100), run.PeakResidentPerDevice / 1024);
  std::fflush(stdout);
}

bool Report(const std::string& through, const TRun& one, const TRun& many, int count) {
  const double ratio = many.WallMs / one.WallMs;
  const double p99 = Percentile(many.LatenessMs, 99);
  const std::string devices = std::to_string(count);
  ReportFigure("parallel devices (" + through + "), wall time of " + devices + " from the plug",
               Fixed(many.WallMs, 0) + " ms", Fixed(one.WallMs, 0) + " ms (1 device)",
               Fixed(ratio, 3), "<= 1.15", ratio <= kGoalRatio);
  ReportFigure("responsiveness (" + through + "), 10 ms timer lateness p99, " + devices + " devices",
               Fixed(p99, 1) + " ms", "-", "-", "<= 30 ms", p99 <= kGoalLatenessP99Ms);
  ReportInformative("parallel devices (" + through + "), wall time of " + devices + " from the first listing",
                    Fixed(many.FromListingMs, 0) + " ms", Fixed(one.FromListingMs, 0) + " ms (1 device)",
                    Fixed(many.FromListingMs / one.FromListingMs, 3));
  ReportInformative("peak resident memory a device (" + through + "), " + devices + " devices",
                    Fixed(many.PeakResidentPerDevice / 1024, 0) + " KiB", "-", "-");
  return ratio <= kGoalRatio && p99 <= kGoalLatenessP99Ms;
}

}  // namespace

int main(int argc, char** argv) {
  UseOffscreenPlatform();
  QApplication app(argc, argv);
  TSimBus& bus = TSimBus::Instance();
  bus.AttachFile("");
  bus.Clear();

  bool met = true;
  {
    TBenchWindow window;
    window.WaitForScan(0);
    TFormControls(*window).cbAutoWrite->setChecked(true);
    TRun one, sixteen, sixtyFour;
    for (const int count : {1, 4, 16, 64}) {
      TRun run = WriteThroughWindow(window, count);
      if (!run.AllWritten) {
        std::fprintf(stderr, "parallel_bench: not every one of %d devices was written\n", count);
        return 2;
      }
      Print("window", count, run);
      if (count == 1) one = run;
      if (count == 16) sixteen = run;
      if (count == 64) sixtyFour = run;
    }
    met = Report("window", one, sixteen, 16) && met;
    met = Report("window", one, sixtyFour, 64) && met;
  }
  QTemporaryDir logDir;
  TRun stationOne, stationMany;
  for (const int count : {1, 64}) {
    TRun run = WriteThroughStation(count, logDir.path() + u'/');
    if (!run.AllWritten) {
      std::fprintf(stderr, "parallel_bench: the station did not write all of %d devices\n", count);
      return 2;
    }
    Print("vlfwflash", count, run);
    (count == 1 ? stationOne : stationMany) = run;
  }
  met = Report("vlfwflash", stationOne, stationMany, 64) && met;
  return met ? 0 : 1;
}
