// Parallel devices: 1, 4, 8 and 16 simulated devices plugged together and written at once
// by automatic writing, the wall time from the listing of the first (before any write
// starts) to the last write's end; during the 16-device run a 10 ms timer on the main thread measures how late the
// window answers.
//   parallel_bench
#include <QApplication>

#include "benchreport.h"
#include "benchwindow.h"
#include "protocol/frame.h"
#include "support/formcontrols.h"

namespace {

constexpr double kGoalRatio = 1.15;
constexpr double kGoalLatenessP99Ms = 30;

struct TRun {
  double WallMs = 0;
  std::vector<double> LatenessMs;  // per tick of the 10 ms timer
  bool AllWritten = false;
};

TRun WriteDevices(TBenchWindow& window, int count) {
  TSimBus& bus = TSimBus::Instance();
  std::vector<std::string> names;
  for (int i = 0; i < count; ++i) {
    names.push_back("p" + std::to_string(count) + "_" + std::to_string(i));
    bus.Add(BenchDevice(names.back(), std::to_string(720000 + count * 100 + i)));
  }
  // The clock starts as the merge lists the first device, before it starts any write:
  // the merge starts the writes one after another, and the first ones run meanwhile.
  double start = -1;
  const QMetaObject::Connection listed = QObject::connect(
      &window->Controller(), &TDeviceController::DeviceListed, [&] {
        if (start < 0) start = BenchNowMs();
      });
  window.Notify();

  TRun run;
  RunUntil([&] { return window->Controller().WritesRunning() > 0; });
  QObject::disconnect(listed);
  double lastTick = BenchNowMs();
  QTimer ticker;
  ticker.setTimerType(Qt::PreciseTimer);
  QObject::connect(&ticker, &QTimer::timeout, [&] {
    const double now = BenchNowMs();
    run.LatenessMs.push_back(std::max(0.0, now - lastTick - 10));
    lastTick = now;
  });
  ticker.start(10);
  RunUntil([&] { return window->Controller().WritesRunning() == 0 && !window->Controller().ScanRunning(); });
  run.WallMs = BenchNowMs() - start;
  ticker.stop();

  run.AllWritten = true;
  for (const std::string& name : names)
    run.AllWritten = run.AllWritten && bus.FramesReceived(name, frame::cmdCloseSuccess) == 1;
  // Unplugged, so the next round starts from an empty list.
  for (const std::string& name : names) bus.Remove(name);
  window.Notify();
  window.WaitForScan(0);
  return run;
}

}  // namespace

int main(int argc, char** argv) {
  UseOffscreenPlatform();
  QApplication app(argc, argv);
  TSimBus& bus = TSimBus::Instance();
  bus.AttachFile("");
  bus.Clear();

  TBenchWindow window;
  window.WaitForScan(0);
  TFormControls(*window).cbAutoWrite->setChecked(true);

  double oneMs = 0;
  TRun sixteen;
  for (const int count : {1, 4, 8, 16}) {
    TRun run = WriteDevices(window, count);
    if (!run.AllWritten) {
      std::fprintf(stderr, "parallel_bench: not every one of %d devices was written\n", count);
      return 1;
    }
    std::printf("%2d devices: wall %.0f ms, timer lateness p50 %.1f ms, p99 %.1f ms, max %.1f ms\n",
                count, run.WallMs, Median(run.LatenessMs), Percentile(run.LatenessMs, 99),
                Percentile(run.LatenessMs, 100));
    std::fflush(stdout);
    if (count == 1) oneMs = run.WallMs;
    if (count == 16) sixteen = std::move(run);
  }

  const double ratio = sixteen.WallMs / oneMs;
  const double p99 = Percentile(sixteen.LatenessMs, 99);
  ReportFigure("parallel devices, wall time of 16", Fixed(sixteen.WallMs, 0) + " ms",
               Fixed(oneMs, 0) + " ms (1 device)", Fixed(ratio, 3), "<= 1.15",
               ratio <= kGoalRatio);
  ReportFigure("responsiveness, 10 ms timer lateness p99 (16 devices)", Fixed(p99, 1) + " ms",
               "-", "-", "<= 30 ms", p99 <= kGoalLatenessP99Ms);
  return ratio <= kGoalRatio && p99 <= kGoalLatenessP99Ms ? 0 : 1;
}
