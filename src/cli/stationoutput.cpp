#include "cli/stationoutput.h"

#include <algorithm>

#include "cli/console.h"

namespace {

// A person's line carries no control character of its own: a text a device sent cannot
// move the cursor or ring the bell.
QString Printable(QString line) {
  for (QChar& c : line)
    if (c.category() == QChar::Other_Control) c = u'?';
  return line;
}

}  // namespace

TStationOutput::TStationOutput(bool json, std::FILE* stream, std::FILE* errors)
    : AsJson(json),
      Stream(stream),
      Errors(errors),
      Terminal(!json && TerminalTakesSequences(stream)),
      Colour(Terminal && qEnvironmentVariableIsEmpty("NO_COLOR")),
      Clock([] { return QDateTime::currentDateTimeUtc(); }) {}

void TStationOutput::Write(const QByteArray& text) {
  if (Broken) return;
  if (WriteText(Stream, text)) return;
  Broken = true;
  if (BrokenHandler) BrokenHandler();
}

QByteArray TStationOutput::Coloured(const QString& line, TStationEvent::TTone tone) const {
  const QByteArray text = Printable(line).toUtf8();
  if (!Colour || tone == TStationEvent::TTone::Plain) return text;
  const char* start = tone == TStationEvent::TTone::Good ? "\x1b[32m"
                      : tone == TStationEvent::TTone::Bad ? "\x1b[31m"
                                                          : "\x1b[33m";
  return start + text + "\x1b[0m";
}

void TStationOutput::EraseProgress() {
  if (DrawnBars == 0) return;
  // Up to the first progress line, and everything below it cleared.
  Write("\x1b[" + QByteArray::number(DrawnBars) + "A\x1b[J");
  DrawnBars = 0;
}

void TStationOutput::DrawProgress() {
  QByteArray lines;
  for (const auto& [serial, percent] : Bars)
    lines += QStringLiteral("%1: %2 %\n").arg(serial).arg(percent, 3).toUtf8();
  Write(lines);
  DrawnBars = static_cast<int>(Bars.size());
}

void TStationOutput::Event(const TStationEvent& event) {
  if (AsJson) {
    Write(JsonLine(event, Clock()));
    return;
  }
  EraseProgress();
  Write(Coloured(event.HumanLine, event.Tone) + '\n');
  DrawProgress();
}

void TStationOutput::Progress(std::int32_t serial, int percent) {
  if (AsJson) {
    Event(ProgressEvent(serial, percent));
    return;
  }
  if (!Terminal) return;  // a log captured from a pipe keeps only the results
  const auto bar = std::find_if(Bars.begin(), Bars.end(), [serial](const auto& b) { return b.first == serial; });
  if (bar == Bars.end())
    Bars.emplace_back(serial, percent);
  else if (bar->second == percent)
    return;
  else
    bar->second = percent;
  EraseProgress();
  DrawProgress();
}

void TStationOutput::EndProgress(std::int32_t serial) {
  const auto bar = std::find_if(Bars.begin(), Bars.end(), [serial](const auto& b) { return b.first == serial; });
  if (bar == Bars.end()) return;
  EraseProgress();
  Bars.erase(bar);
  DrawProgress();
}

void TStationOutput::ErrorLine(const QString& line) {
  // Below the progress lines a terminal shows both streams at once: they are taken away
  // first, as for an event.
  EraseProgress();
  WriteText(Errors, Printable(line).toUtf8() + '\n');
  DrawProgress();
}
