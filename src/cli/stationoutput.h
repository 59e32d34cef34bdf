#pragma once
#include <QByteArray>
#include <QDateTime>
#include <QString>
#include <cstdio>
#include <functional>
#include <utility>
#include <vector>

#include "cli/stationevents.h"

// What the station command line prints: one line per event, for a person or for a script
// (--json: one JSON object per line). On a terminal a person sees a progress line per
// device being written, redrawn in place below the events, and the results in colour
// (NO_COLOR turns colour off); a pipe or a file gets plain lines without any control
// character.
class TStationOutput {
public:
  using TClock = std::function<QDateTime()>;  // UTC

  TStationOutput(bool json, std::FILE* stream = stdout, std::FILE* errors = stderr);

  void Event(const TStationEvent& event);
  void Progress(std::int32_t serial, int percent);
  // The device's progress line goes (its write has ended).
  void EndProgress(std::int32_t serial);
  // A line of the error stream, for a person (the JSON lines carry errors as events).
  void ErrorLine(const QString& line);

  bool Json() const { return AsJson; }
  void SetClock(TClock clock) { Clock = std::move(clock); }

  // Called once, the first time the output takes no more (a closed pipe, a reader that
  // died): the run cannot report any more and is asked to end.
  void OnBroken(std::function<void()> handler) { BrokenHandler = std::move(handler); }

private:
  void Write(const QByteArray& text);
  void EraseProgress();
  void DrawProgress();
  QByteArray Coloured(const QString& line, TStationEvent::TTone tone) const;

  bool AsJson;
  std::FILE* Stream;
  std::FILE* Errors;
  bool Terminal;  // takes colour and cursor sequences
  bool Colour;
  TClock Clock;
  std::vector<std::pair<std::int32_t, int>> Bars;  // the progress lines, in the order begun
  int DrawnBars = 0;
  bool Broken = false;
  std::function<void()> BrokenHandler;
};
