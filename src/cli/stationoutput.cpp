#include "cli/stationoutput.h"

#include <QJsonDocument>

#include "cli/console.h"
#include <cstdio>

#ifdef _WIN32
#include <io.h>
#define isatty _isatty
#define fileno _fileno
#else
#include <unistd.h>
#endif

TStationOutput::TStationOutput(bool json, std::FILE* stream)
    : AsJson(json), Stream(stream), Terminal(isatty(fileno(stream)) != 0) {}

void TStationOutput::Write(const QByteArray& text) {
  if (Broken) return;
  if (WriteText(Stream, text)) return;
  Broken = true;
  if (BrokenHandler) BrokenHandler();
}

void TStationOutput::EndProgressLine() {
  if (!ProgressShown) return;
  Write("\n");
  ProgressShown = false;
}

void TStationOutput::Event(const QString& event, const QJsonObject& fields,
                           const QString& humanLine) {
  if (AsJson) {
    QJsonObject object{{"event", event}};
    for (auto it = fields.begin(); it != fields.end(); ++it) object.insert(it.key(), it.value());
    Write(QJsonDocument(object).toJson(QJsonDocument::Compact) + '\n');
  } else {
    EndProgressLine();
    Write(humanLine.toUtf8() + '\n');
  }
}

void TStationOutput::Progress(std::int32_t serial, int percent) {
  if (AsJson) {
    Event(QStringLiteral("progress"), {{"serial", serial}, {"percent", percent}}, {});
    return;
  }
  if (!Terminal) return;  // a log captured from a pipe keeps only the results
  Write(QStringLiteral("\r%1: %2 %").arg(serial).arg(percent, 3).toUtf8());
  ProgressShown = true;
}
