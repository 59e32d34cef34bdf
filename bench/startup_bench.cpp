// Start-up: process start until the window is shown with the built-in image and both
// driver libraries loaded, against a bare Qt program that shows an empty window. The
// programs are started in turn, each the same number of times, and the medians compared.
//   startup_bench [runs]
#include <QTemporaryDir>
#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <spawn.h>
#include <string>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

#include "benchreport.h"

extern char** environ;

namespace {

constexpr double kGoalRatio = 1.5;

std::string ProgramDirectory() {
  char path[4096] = {};
  const ssize_t length = readlink("/proc/self/exe", path, sizeof path - 1);
  std::string self(path, length > 0 ? static_cast<std::size_t>(length) : 0);
  return self.substr(0, self.rfind('/') + 1);
}

// Starts the program and returns the milliseconds it reports; negative on failure.
double TimedStart(const std::string& program, const std::vector<std::string>& arguments) {
  int out[2];
  if (pipe(out) != 0) return -1;
  std::vector<std::string> environment;
  for (char** entry = environ; *entry; ++entry)
    if (std::strncmp(*entry, "VL_BENCH_T0_NS=", 15) != 0 && std::strncmp(*entry, "QT_QPA_PLATFORM=", 16) != 0)
      environment.emplace_back(*entry);
  environment.emplace_back("QT_QPA_PLATFORM=offscreen");
  timespec now{};
  clock_gettime(CLOCK_MONOTONIC, &now);
  environment.push_back("VL_BENCH_T0_NS=" + std::to_string(static_cast<long long>(now.tv_sec) * 1000000000LL + now.tv_nsec));
  std::vector<char*> envp;
  for (std::string& entry : environment) envp.push_back(entry.data());
  envp.push_back(nullptr);
  std::vector<std::string> words{program};
  words.insert(words.end(), arguments.begin(), arguments.end());
  std::vector<char*> argv;
  for (std::string& word : words) argv.push_back(word.data());
  argv.push_back(nullptr);

  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_adddup2(&actions, out[1], STDOUT_FILENO);
  posix_spawn_file_actions_adddup2(&actions, out[1], STDERR_FILENO);
  posix_spawn_file_actions_addclose(&actions, out[0]);
  pid_t child = 0;
  const int spawned = posix_spawn(&child, program.c_str(), &actions, nullptr, argv.data(), envp.data());
  posix_spawn_file_actions_destroy(&actions);
  close(out[1]);
  std::string output;
  char buffer[256];
  for (ssize_t n; (n = read(out[0], buffer, sizeof buffer)) > 0;) output.append(buffer, static_cast<std::size_t>(n));
  close(out[0]);
  if (spawned != 0) return -1;
  int status = 0;
  waitpid(child, &status, 0);
  const std::size_t at = output.find("shown ");
  if (!WIFEXITED(status) || WEXITSTATUS(status) != 0 || at == std::string::npos) {
    std::fprintf(stderr, "%s failed:\n%s\n", program.c_str(), output.c_str());
    return -1;
  }
  return std::atof(output.c_str() + at + 6);
}

}  // namespace

int main(int argc, char** argv) {
  const int runs = argc > 1 ? std::max(1, std::atoi(argv[1])) : 15;
  const std::string directory = ProgramDirectory();
  QTemporaryDir programDir;
  const std::string settingsDir = programDir.path().toStdString() + "/";
  std::vector<double> bare, text, loader;
  for (int run = -1; run < runs; ++run) {  // run -1 warms the file cache and is not counted
    const double b = TimedStart(directory + "startup_bare", {});
    const double t = TimedStart(directory + "startup_text", {});
    const double l = TimedStart(directory + "startup_loader", {settingsDir});
    if (b < 0 || t < 0 || l < 0) {
      std::fprintf(stderr, "startup_bench: a start-up program failed\n");
      return 1;
    }
    if (run >= 0) {
      bare.push_back(b);
      text.push_back(t);
      loader.push_back(l);
    }
  }
  const double bareMs = Median(bare), textMs = Median(text), loaderMs = Median(loader);
  std::printf("start-up, median of %d: loader %.1f ms (min %.1f), bare Qt %.1f ms (min %.1f), "
              "bare Qt with text in four fonts %.1f ms (min %.1f)\n",
              runs, loaderMs, Percentile(loader, 0), bareMs, Percentile(bare, 0), textMs,
              Percentile(text, 0));
  const double ratio = loaderMs / bareMs;
  ReportFigure("start-up to window shown", Fixed(loaderMs, 1) + " ms",
               Fixed(bareMs, 1) + " ms (bare Qt window)", Fixed(ratio, 3), "<= 1.5",
               ratio <= kGoalRatio);
  ReportInformative("start-up of a bare window with text in the loader's four fonts",
                    Fixed(textMs, 1) + " ms", Fixed(bareMs, 1) + " ms (bare Qt window)",
                    Fixed(textMs / bareMs, 3));
  return ratio <= kGoalRatio ? 0 : 1;
}
