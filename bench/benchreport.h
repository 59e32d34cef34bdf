#pragma once
// What every benchmark prints: its figures in a line the bench script gathers into one
// table, and a few plain statistics. Absolute times drift on shared machines; the
// ratio against a floor or baseline measured in the same run is what is judged.
#include <algorithm>
#include <chrono>
#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

inline double BenchNowMs() {
  using namespace std::chrono;
  return duration<double, std::milli>(steady_clock::now().time_since_epoch()).count();
}

// The p-th percentile (0..100) by nearest rank; 0 for no samples.
inline double Percentile(std::vector<double> samples, double p) {
  if (samples.empty()) return 0;
  std::sort(samples.begin(), samples.end());
  const auto rank = static_cast<std::size_t>(p / 100.0 * static_cast<double>(samples.size() - 1) + 0.5);
  return samples[std::min(rank, samples.size() - 1)];
}

inline double Median(const std::vector<double>& samples) { return Percentile(samples, 50); }

// One row of the table: "BENCH<TAB>figure<TAB>measured<TAB>floor or baseline<TAB>ratio
// <TAB>goal<TAB>met". measured and baseline carry their unit; ratio may be "-".
inline void ReportFigure(const std::string& figure, const std::string& measured,
                         const std::string& baseline, const std::string& ratio,
                         const std::string& goal, bool met) {
  std::printf("BENCH\t%s\t%s\t%s\t%s\t%s\t%s\n", figure.c_str(), measured.c_str(),
              baseline.c_str(), ratio.c_str(), goal.c_str(), met ? "yes" : "NO");
  std::fflush(stdout);
}

// A figure that has no goal of its own and helps read one that has.
inline void ReportInformative(const std::string& figure, const std::string& measured,
                              const std::string& baseline, const std::string& ratio) {
  std::printf("BENCH\t%s\t%s\t%s\t%s\t-\t-\n", figure.c_str(), measured.c_str(),
              baseline.c_str(), ratio.c_str());
  std::fflush(stdout);
}

inline std::string Fixed(double value, int decimals = 1) {
  char text[64];
  std::snprintf(text, sizeof text, "%.*f", decimals, value);
  return text;
}
