#pragma once
#include <QJsonObject>
#include <QString>
#include <cstdio>
#include <functional>

#include "cli/stationevents.h"

// What the station command line prints on its standard output: one line per event, for
// a person (human lines) or for a script (--json: one JSON object per line). Progress is
// printed for a person only on a terminal, where one line per device is redrawn.
class TStationOutput {
public:
  TStationOutput(bool json, std::FILE* stream = stdout);

  // event: "listed", "identity", "reconnect", "started", "progress", "result", "gone",
  // "summary", "image", "error"; the fields go into the JSON object as they are.
  void Event(const QString& event, const QJsonObject& fields, const QString& humanLine);
  void Event(const TStationEvent& event) { Event(event.Name, event.Fields, event.HumanLine); }
  void Progress(std::int32_t serial, int percent);

  bool Json() const { return AsJson; }

  // Called once, the first time the output takes no more (a closed pipe, a reader that
  // died): the run cannot report any more and is asked to end.
  void OnBroken(std::function<void()> handler) { BrokenHandler = std::move(handler); }

private:
  void EndProgressLine();
  void Write(const QByteArray& text);

  bool AsJson;
  std::FILE* Stream;
  bool Terminal;
  bool ProgressShown = false;  // a progress line waits for its end
  bool Broken = false;
  std::function<void()> BrokenHandler;
};
