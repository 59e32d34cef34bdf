#pragma once
#include <QDateTime>
#include <QJsonValue>
#include <QString>
#include <QStringList>
#include <cstdint>
#include <utility>
#include <vector>

#include "firmware/writeresult.h"
#include "model/deventry.h"
#include "protocol/firmwareversion.h"

class TStationRun;

// The version of the JSON lines' layout (docs: the README and the schema file beside
// this one); raised whenever a field changes its meaning or goes.
inline constexpr int kEventSchemaVersion = 1;

// An event's fields, in the order they are printed.
using TEventFields = std::vector<std::pair<QString, QJsonValue>>;

// One line of the station's output, in both of its forms: the JSON object's event name
// and fields (each object starts with "event" and "time"), and the line a person reads,
// with the tone a terminal colours it in.
struct TStationEvent {
  enum class TTone { Plain, Good, Bad, Warning };
  QString Name;
  TEventFields Fields;
  QString HumanLine;
  TTone Tone = TTone::Plain;
};

// What the run is, said first.
struct TRunStart {
  QString Station;
  QString Operator;
  QStringList Arguments;
};
TStationEvent StartEvent(const TRunStart& start);

TStationEvent ImageEvent(const TFirmwareVersion& version, const QString& file,
                         const QString& sha256, qint64 size);
TStationEvent ListedEvent(const TDeviceIdentity& device);
TStationEvent ReconnectEvent(const TDeviceIdentity& device);
TStationEvent StartedEvent(std::int32_t serial);
TStationEvent ProgressEvent(std::int32_t serial, int percent);
// A device the run leaves alone, and why: "written" (written well earlier in the run).
TStationEvent SkippedEvent(std::int32_t serial, const QString& reason);
TStationEvent GoneEvent(std::int32_t serial);
// code: a stable name a script can act on; text: the reason in English; humanLine: the
// same for a person, in Russian.
TStationEvent ErrorEvent(const QString& code, const QString& text, const QString& humanLine,
                         const TEventFields& more = {});
// An error line of the event log.
TStationEvent LogEvent(std::int32_t serial, const QString& text);

// A device's end in the run: written, failed, interrupted, or current (left alone as it
// already runs the image's version; then it has no result code or reply).
struct TDeviceResult {
  TWriteOutcome Outcome;
  QString Result;
  QString Station;
  QString Operator;
  TAdapterKind Adapter = TAdapterKind::Ftdi;
  QString FirmwareBefore;
  QString ImageVersion;
  QString ImageSha256;
  double Seconds = 0;  // by a monotonic clock, from the write's start to its end
  bool Written() const { return Result != QLatin1String("current"); }
};
TStationEvent ResultEvent(const TDeviceResult& result);
TStationEvent SummaryEvent(const TStationRun& run, const QString& station, int exitCode);

// "ftdi" or "qn", as the JSON lines and the report name the adapter kind.
QString AdapterKey(TAdapterKind kind);

// The event as one JSON object on one line, "event" and "time" first, the fields in
// their order.
QByteArray JsonLine(const TStationEvent& event, const QDateTime& timeUtc);
