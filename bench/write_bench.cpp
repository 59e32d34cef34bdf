// Write overhead: one device in boot-loader mode written with the built-in image by the
// loader (window offscreen, logging to the pane and the file), against the bare write of
// the same frames with the same pauses. Runs at the FTDI latency timer's 16 ms and at 0.
//   write_bench [repetitions]
// Floor and loader runs alternate and the fastest of each counts, so that a burst of
// load from elsewhere on a shared machine spoils one run, not the ratio.
#include <QApplication>
#include <cstdlib>

#include "barewrite.h"
#include "benchreport.h"
#include "benchwindow.h"
#include "link/driverlibs.h"
#include "protocol/frame.h"

namespace {

constexpr double kGoalRatio = 1.05;

double LoaderWriteMs(TBenchWindow& window, const std::string& name, std::int32_t serial) {
  TSimBus& bus = TSimBus::Instance();
  const std::uint32_t closedBefore = bus.FramesReceived(name, frame::cmdCloseSuccess);
  const double start = BenchNowMs();
  window.Panel(serial)->btnWrite->click();
  RunUntil([&] { return window->Controller().WritesRunning() == 0; });
  const double elapsed = BenchNowMs() - start;
  return bus.FramesReceived(name, frame::cmdCloseSuccess) == closedBefore + 1 ? elapsed : -1;
}

}  // namespace

int main(int argc, char** argv) {
  UseOffscreenPlatform();
  QApplication app(argc, argv);
  const int repetitions = argc > 1 ? std::max(1, std::atoi(argv[1])) : 2;

  TSimBus& bus = TSimBus::Instance();
  bus.AttachFile("");
  bus.Clear();
  bus.Add(BenchDevice("loader", "710001"));
  bus.Add(BenchDevice("floor", "710002"));

  TBenchWindow window;
  window.WaitForScan(2);
  TDevEntry floorDevice("710002", 0xFFFF, TAdapterKind::Ftdi);
  const TSectorLayout layout = SectorLayoutFor(0x25013F37, "");
  const std::vector<std::uint8_t> flash = BuiltInFlashImage(layout);

  int status = 0;
  for (const std::uint32_t latency : {16u, 0u}) {
    for (const char* name : {"loader", "floor"})
      bus.Configure(name, [&](TSimDeviceConfig& config) { config.LatencyMs = latency; });
    double floorMs = 1e300, loaderMs = 1e300;
    for (int run = 0; run < repetitions; ++run) {
      const double bare = BareWriteMs(floorDevice, layout, flash);
      const double loader = LoaderWriteMs(window, "loader", 710001);
      if (bare < 0 || loader < 0) {
        std::fprintf(stderr, "write_bench: a write failed (floor %.0f, loader %.0f)\n", bare, loader);
        return 2;
      }
      std::printf("latency %2u ms, run %d: floor %.0f ms, loader %.0f ms\n", latency, run + 1,
                  bare, loader);
      floorMs = std::min(floorMs, bare);
      loaderMs = std::min(loaderMs, loader);
    }
    const double ratio = loaderMs / floorMs;
    if (ratio > kGoalRatio) status = 1;
    ReportFigure("write overhead, latency " + std::to_string(latency) + " ms",
                 Fixed(loaderMs, 0) + " ms", Fixed(floorMs, 0) + " ms (bare write)",
                 Fixed(ratio, 3), "<= 1.05", ratio <= kGoalRatio);
  }
  return status;
}
