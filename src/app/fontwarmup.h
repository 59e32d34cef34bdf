#pragma once
#include <thread>

// Loads the system's font configuration on a thread of its own while the program sets up
// the rest of its start, so that the window's first text does not wait for it. On Linux
// that is the font configuration library's set-up, which reads every configuration and
// cache file and took the start a quarter of its time; on Windows the system has the
// fonts ready and nothing is done.
class TFontWarmUp {
public:
  TFontWarmUp();
  ~TFontWarmUp() { Wait(); }
  TFontWarmUp(const TFontWarmUp&) = delete;
  TFontWarmUp& operator=(const TFontWarmUp&) = delete;

  // Returns once the configuration is loaded; the toolkit's fonts are used only after it.
  void Wait() {
    if (Worker.joinable()) Worker.join();
  }

private:
  std::thread Worker;
};
