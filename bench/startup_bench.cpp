// Start-up: from process start until the window's first paint, of the program users start
// (VLFWLoader, a copy beside the stand-in driver libraries, both of which it loads,
// checking its seal and showing the built-in image), against a bare Qt program whose
// window shows text in the loader's four fonts, and an empty Qt window for reference.
// Each program says "first paint" on its error stream (the loader in its start-up log);
// the time is taken here when that line arrives. The programs are started in turn, each
// the same number of times, and the medians compared.
//   startup_bench [runs]
#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <algorithm>
#include <chrono>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
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

// Starts the program and returns the milliseconds until it said "first paint", then ends
// it; negative on failure.
double TimedStart(const std::string& program) {
  int err[2];
  if (pipe(err) != 0) return -1;
  std::vector<std::string> environment;
  for (char** entry = environ; *entry; ++entry)
    if (std::strncmp(*entry, "QT_QPA_PLATFORM=", 16) != 0 &&
        std::strncmp(*entry, "QT_LOGGING_RULES=", 17) != 0 && std::strncmp(*entry, "VL_", 3) != 0)
      environment.emplace_back(*entry);
  environment.emplace_back("QT_QPA_PLATFORM=offscreen");
  environment.emplace_back("QT_LOGGING_RULES=vl.mainform.info=true");
  std::vector<char*> envp;
  for (std::string& entry : environment) envp.push_back(entry.data());
  envp.push_back(nullptr);
  std::string word = program;
  char* argv[] = {word.data(), nullptr};

  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_adddup2(&actions, err[1], STDERR_FILENO);
  posix_spawn_file_actions_addclose(&actions, err[0]);
  pid_t child = 0;
  const auto start = std::chrono::steady_clock::now();
  const int spawned = posix_spawn(&child, program.c_str(), &actions, nullptr, argv, envp.data());
  posix_spawn_file_actions_destroy(&actions);
  close(err[1]);
  double ms = -1;
  std::string output;
  char buffer[256];
  for (ssize_t n; spawned == 0 && (n = read(err[0], buffer, sizeof buffer)) > 0;) {
    output.append(buffer, static_cast<std::size_t>(n));
    if (output.find("first paint") != std::string::npos) {
      ms = std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start).count();
      kill(child, SIGKILL);
      break;
    }
  }
  close(err[0]);
  if (spawned != 0) return -1;
  int status = 0;
  waitpid(child, &status, 0);
  if (ms < 0) std::fprintf(stderr, "%s ended without a first paint:\n%s\n", program.c_str(), output.c_str());
  return ms;
}

// The program with the stand-in driver libraries in a directory of its own, where it keeps
// its settings and logs as on a user's machine.
bool CopyProgram(const std::string& from, const QString& to) {
  for (const char* name : {"VLFWLoader", "libftd2xx.so", "libVLUSB.so", "libvlsimbus.so"}) {
    if (!QFile::copy(QString::fromStdString(from) + name, to + u'/' + name)) {
      std::fprintf(stderr, "startup_bench: cannot copy %s\n", name);
      return false;
    }
  }
  return true;
}

}  // namespace

int main(int argc, char** argv) {
  const int runs = argc > 1 ? std::max(1, std::atoi(argv[1])) : 15;
  const std::string directory = ProgramDirectory();
  QTemporaryDir copy;
  if (!copy.isValid() || !CopyProgram(directory, copy.path())) return 2;
  const std::string loaderPath = copy.path().toStdString() + "/VLFWLoader";
  std::vector<double> bare, text, loader;
  for (int run = -1; run < runs; ++run) {  // run -1 warms the file cache and is not counted
    const double b = TimedStart(directory + "startup_bare");
    const double t = TimedStart(directory + "startup_text");
    const double l = TimedStart(loaderPath);
    if (b < 0 || t < 0 || l < 0) {
      std::fprintf(stderr, "startup_bench: a start-up program failed\n");
      return 2;
    }
    if (run >= 0) {
      bare.push_back(b);
      text.push_back(t);
      loader.push_back(l);
    }
  }
  const double bareMs = Median(bare), textMs = Median(text), loaderMs = Median(loader);
  std::printf("start-up, median of %d: VLFWLoader %.1f ms (min %.1f), bare Qt window with text "
              "in the four fonts %.1f ms (min %.1f), empty Qt window %.1f ms (min %.1f)\n",
              runs, loaderMs, Percentile(loader, 0), textMs, Percentile(text, 0), bareMs,
              Percentile(bare, 0));
  const double ratio = loaderMs / textMs;
  ReportFigure("start-up of VLFWLoader to its first paint", Fixed(loaderMs, 1) + " ms",
               Fixed(textMs, 1) + " ms (bare window, text in four fonts)", Fixed(ratio, 3),
               "<= 1.5", ratio <= kGoalRatio);
  ReportInformative("start-up of an empty Qt window", Fixed(bareMs, 1) + " ms",
                    Fixed(textMs, 1) + " ms (bare window, text in four fonts)",
                    Fixed(bareMs / textMs, 3));
  return ratio <= kGoalRatio ? 0 : 1;
}
