#include "cli/stationoutput.h"

#include <QJsonDocument>
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

void TStationOutput::EndProgressLine() {
  if (!ProgressShown) return;
  std::fputc('\n', Stream);
  ProgressShown = false;
}

void TStationOutput::Event(const QString& event, const QJsonObject& fields,
                           const QString& humanLine) {
  if (AsJson) {
    QJsonObject object{{"event", event}};
    for (auto it = fields.begin(); it != fields.end(); ++it) object.insert(it.key(), it.value());
    std::fprintf(Stream, "%s\n", QJsonDocument(object).toJson(QJsonDocument::Compact).constData());
  } else {
    EndProgressLine();
    std::fprintf(Stream, "%s\n", humanLine.toUtf8().constData());
  }
  std::fflush(Stream);
}

void TStationOutput::Progress(std::int32_t serial, int percent) {
  if (AsJson) {
    Event(QStringLiteral("progress"), {{"serial", serial}, {"percent", percent}}, {});
    return;
  }
  if (!Terminal) return;  // a log captured from a pipe keeps only the results
  std::fprintf(Stream, "\r%d: %3d %%", serial, percent);
  ProgressShown = true;
  std::fflush(Stream);
}
