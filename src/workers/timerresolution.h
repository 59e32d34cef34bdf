#pragma once

// Holds the system timer at 1 ms resolution while it lives. The channel's 1 ms pauses
// and polls rely on it: at Windows' default resolution a 1 ms sleep lasts about 15.6 ms
// and a write takes ten times longer. Scans and writes each hold one while they run;
// the system counts the requests, so several may overlap.
class TTimerResolution {
public:
  TTimerResolution();
  ~TTimerResolution();
  TTimerResolution(const TTimerResolution&) = delete;
  TTimerResolution& operator=(const TTimerResolution&) = delete;

  // How many holders have the raised resolution granted by the system right now.
  static int Held();

private:
  bool Raised = false;
};
