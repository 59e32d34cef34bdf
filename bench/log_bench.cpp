// Log throughput and memory: lines handed over from 4 worker threads into the pane and
// the log file of the real window (offscreen), as write threads log their steps.
//   log_bench [lines]      (1,000,000 when not given)
// Figures: lines a second over the whole run; the main thread's processor time for a
// handed-over line at the end of the run against the start (the pane holds every line by
// then); the memory the run has kept per line (the pane keeps every line; the file's
// bytes are on disk). For reference, the cost of a line logged on the main thread itself
// into the empty and into the full log (pane, painting and file, no hand-over).
#include <QApplication>
#include <atomic>
#include <cstdlib>
#include <thread>

#include "benchplatform.h"
#include "benchreport.h"
#include "benchwindow.h"
#include "workers/handover.h"
#include "workers/threadlogsink.h"
#include "protocol/textformat.h"

namespace {

constexpr int kWorkers = 4;
constexpr double kGoalLinesPerSecond = 50000;
constexpr double kGoalCostRatio = 1.5;
constexpr double kGoalBytesPerLine = 250;

// Microseconds a line costs the main thread: rounds of lines logged directly, each round
// painted; the cheapest round counts.
double DirectLineCostUs(TBenchWindow& window) {
  constexpr int kRounds = 5;
  constexpr int kLinesPerRound = 2000;
  double best = 1e300;
  for (int round = 0; round < kRounds; ++round) {
    const double start = BenchNowMs();
    for (int i = 0; i < kLinesPerRound; ++i)
      window->LogText(llInfo, 739999, FormatText("(% 6d)\tЧасть %d из %d", i, i % 64, 64));
    window->FlushLog();
    QCoreApplication::processEvents();
    best = std::min(best, (BenchNowMs() - start) / kLinesPerRound * 1000);
  }
  return best;
}

// Counts the lines as the main thread logs them and notes the time at every hundredth.
class TCountingLog final : public TLogSink {
public:
  TCountingLog(TLogSink& target, long total) : Target(target), Total(total) {}

  void LogText(TLogLevel level, std::int32_t serial, const std::string& text) override {
    Target.LogText(level, serial, text);
    ++Logged;
    if (Logged % (Total / 100) == 0) {
      Marks.push_back(BenchNowMs());
      CpuMarks.push_back(MainThreadCpuMs());
    }
  }

  TLogSink& Target;
  long Total;
  long Logged = 0;
  std::vector<double> Marks;     // wall time after each hundredth
  std::vector<double> CpuMarks;  // the main thread's processor time after each hundredth
};

// Hand-overs of nothing from the same number of workers: what the machine's thread
// switches alone allow, the ceiling of any synchronous log.
double BareHandOversPerSecond(long total) {
  QObject owner;
  std::atomic<int> running{kWorkers};
  std::vector<std::thread> workers;
  const double start = BenchNowMs();
  for (int w = 0; w < kWorkers; ++w)
    workers.emplace_back([&] {
      for (long i = 0; i < total / kWorkers; ++i) HandOver(owner, [] {});
      --running;
    });
  RunUntil([&] { return running == 0; });
  for (std::thread& worker : workers) worker.join();
  return static_cast<double>(total / kWorkers * kWorkers) / (BenchNowMs() - start) * 1000;
}

}  // namespace

int main(int argc, char** argv) {
  UseOffscreenPlatform();
  QApplication app(argc, argv);
  const long total = argc > 1 ? std::max(100L, std::atol(argv[1])) : 1000000L;
  TSimBus::Instance().AttachFile("");
  TSimBus::Instance().Clear();

  const double bareRate = BareHandOversPerSecond(total / 4);

  TBenchWindow window;
  window.WaitForScan(0);
  window->FlushLog();
  QCoreApplication::processEvents();
  const double firstUs = DirectLineCostUs(window);
  TrimHeap();
  const double heapBefore = HeapInUse();
  const double residentBefore = ResidentBytes();

  TCountingLog counter(*window, total);
  TThreadLogSink sink(*window.Form, counter);
  // The workers take the lines one by one from a shared count, so that all four log
  // until the end: the last tenth is judged under the same load as the first.
  std::atomic<long> next{0};
  std::atomic<int> running{kWorkers};
  std::vector<std::thread> workers;
  const double start = BenchNowMs();
  const double cpuStart = MainThreadCpuMs();
  for (int w = 0; w < kWorkers; ++w) {
    workers.emplace_back([&, w] {
      const std::int32_t serial = 730001 + w;
      for (long i; (i = next++) < total;)
        sink.LogText(i % 50 == 0 ? llSuccess : llInfo, serial,
                     FormatText("(% 6d)\tЧасть %d из %d", static_cast<int>(i / 7),
                                static_cast<int>(i % 64), 64));
      --running;
    });
  }
  RunUntil([&] { return running == 0; });
  for (std::thread& worker : workers) worker.join();
  window->FlushLog();
  QCoreApplication::processEvents();
  const double elapsedMs = BenchNowMs() - start;
  TrimHeap();
  const double heapPerLine = (HeapInUse() - heapBefore) / static_cast<double>(total);
  const double residentPerLine = (ResidentBytes() - residentBefore) / static_cast<double>(total);
  const double lastUs = DirectLineCostUs(window);

  const double linesPerSecond = static_cast<double>(total) / elapsedMs * 1000;
  // Microseconds a line in each hundredth of the run, of wall and of processor time.
  const auto perLine = [&](const std::vector<double>& marks, double from) {
    std::vector<double> hundredths;
    const double hundredth = static_cast<double>(total / 100);
    for (std::size_t i = 0; i < marks.size(); ++i)
      hundredths.push_back((marks[i] - (i == 0 ? from : marks[i - 1])) / hundredth * 1000);
    return hundredths;
  };
  const std::vector<double> wall = perLine(counter.Marks, start);
  const std::vector<double> cpu = perLine(counter.CpuMarks, cpuStart);
  if (wall.size() < 100) {
    std::fprintf(stderr, "log_bench: only %zu of 100 marks\n", wall.size());
    return 2;
  }
  // The p-th percentile of the hundredths of tenth i.
  const auto tenth = [](const std::vector<double>& hundredths, std::size_t i, double p) {
    return Percentile({hundredths.begin() + static_cast<std::ptrdiff_t>(i) * 10,
                       hundredths.begin() + static_cast<std::ptrdiff_t>(i) * 10 + 10}, p);
  };
  std::printf("%ld lines in %.0f ms; us a line in each tenth, wall (median hundredth):", total,
              elapsedMs);
  for (std::size_t i = 0; i < 10; ++i) std::printf(" %.1f", tenth(wall, i, 50));
  std::printf("\n  main thread's processor time (median hundredth):");
  for (std::size_t i = 0; i < 10; ++i) std::printf(" %.1f", tenth(cpu, i, 50));

  std::printf("\nheap kept %.0f bytes a line, resident %.0f bytes a line\n", heapPerLine,
              residentPerLine);

  const std::string size = " (" + std::to_string(total) + " lines)";
  ReportFigure("log throughput" + size, Fixed(linesPerSecond, 0) + " lines/s",
               Fixed(bareRate, 0) + " lines/s (bare hand-over)", Fixed(linesPerSecond / bareRate, 3),
               ">= 50000 lines/s", linesPerSecond >= kGoalLinesPerSecond);
  // The yardstick, kept from here on: the main thread's processor time for a handed-over
  // line, the median hundredth of the last tenth of the run against that of the first.
  // Processor time leaves out what other programs on the machine take; wall time and a
  // few thousand lines logged directly swing by a fifth from run to run.
  const double firstTenthUs = tenth(cpu, 0, 50);
  const double lastTenthUs = tenth(cpu, 9, 50);
  const double costRatio = lastTenthUs / firstTenthUs;
  ReportFigure("log cost of a handed-over line, last tenth vs first" + size,
               Fixed(lastTenthUs, 2) + " us", Fixed(firstTenthUs, 2) + " us (first tenth)",
               Fixed(costRatio, 3), "<= 1.5", costRatio <= kGoalCostRatio);
  std::printf("a line logged on the main thread itself: %.2f us into the empty log, %.2f us "
              "after %ld lines\n", firstUs, lastUs, total);
  ReportInformative("log cost of a line logged directly, full log vs empty" + size,
                    Fixed(lastUs, 2) + " us", Fixed(firstUs, 2) + " us (empty log)",
                    Fixed(lastUs / firstUs, 3));
  // Judged by the resident memory: the pane's document grows its buffers by doubling,
  // and the part of a doubled buffer not yet written to is address space, not memory.
  // The heap figure, which counts that reserve, is shown beside it.
  ReportFigure("log memory per kept line" + size, Fixed(residentPerLine, 0) + " B resident",
               Fixed(heapPerLine, 0) + " B heap incl. reserve", "-", "<= 250 B",
               residentPerLine <= kGoalBytesPerLine);
  return linesPerSecond >= kGoalLinesPerSecond && costRatio <= kGoalCostRatio &&
                 residentPerLine <= kGoalBytesPerLine
             ? 0
             : 1;
}
