#pragma once
#include <QJsonObject>
#include <QString>
#include <cstdint>

#include "firmware/writeresult.h"
#include "model/deventry.h"
#include "protocol/firmwareversion.h"

class TStationRun;

// One line of the station's output, in both of its forms: the JSON object's event name
// and fields, and the line a person reads.
struct TStationEvent {
  QString Name;
  QJsonObject Fields;
  QString HumanLine;
};

TStationEvent ListedEvent(const TDeviceIdentity& device);
TStationEvent ReconnectEvent(const TDeviceIdentity& device);
TStationEvent StartedEvent(std::int32_t serial);
// seconds: from the start of the write as the station asked for it to its end.
TStationEvent ResultEvent(const TWriteOutcome& outcome, double seconds);
TStationEvent GoneEvent(std::int32_t serial);
TStationEvent ImageEvent(const TFirmwareVersion& version, const QString& file);
TStationEvent SummaryEvent(const TStationRun& run, int exitCode);

// "ftdi" or "qn", as the JSON lines and the report name the adapter kind.
QString AdapterKey(TAdapterKind kind);
