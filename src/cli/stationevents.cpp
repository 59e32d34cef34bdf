#include "cli/stationevents.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <string>
#include <type_traits>

#include "cli/stationrun.h"
#include "shell/programversion.h"

namespace {

using TTone = TStationEvent::TTone;

QString Text(const std::string& text) { return QString::fromStdString(text); }

template <typename T>
QJsonValue JsonValue(const T& value) {
  if constexpr (std::is_same_v<T, std::string>)
    return Text(value);
  else if constexpr (std::is_same_v<T, bool>)
    return value;
  else if constexpr (std::is_integral_v<T> || std::is_enum_v<T>)
    return static_cast<qint64>(value);
  else
    return static_cast<double>(value);
}

QJsonValue OrNull(const QString& text) { return text.isEmpty() ? QJsonValue() : QJsonValue(text); }

QString ProcessorText(std::uint32_t processorId) {
  return QStringLiteral("0x%1").arg(processorId, 8, 16, QLatin1Char('0')).toUpper().replace("0X", "0x");
}

// One value as JSON text: the document of a one-element array, without its brackets.
QByteArray JsonText(const QJsonValue& value) {
  const QByteArray array = QJsonDocument(QJsonArray{value}).toJson(QJsonDocument::Compact);
  return array.mid(1, array.size() - 2);
}

}  // namespace

QString AdapterKey(TAdapterKind kind) { return QString::fromLatin1(AdapterKindName(kind)).toLower(); }

QByteArray JsonLine(const TStationEvent& event, const QDateTime& timeUtc) {
  QByteArray line = "{\"event\":" + JsonText(event.Name) + ",\"time\":" +
                    JsonText(timeUtc.toString(Qt::ISODateWithMs));
  for (const auto& [key, value] : event.Fields) line += ',' + JsonText(key) + ':' + JsonText(value);
  return line + "}\n";
}

TStationEvent StartEvent(const TRunStart& start) {
  return {QStringLiteral("start"),
          {{"schema", kEventSchemaVersion},
           {"program", "vlfwflash"},
           {"version", kProgramVersion},
           {"station", OrNull(start.Station)},
           {"operator", OrNull(start.Operator)},
           {"arguments", QJsonArray::fromStringList(start.Arguments)}},
          QStringLiteral("vlfwflash %1, станция %2%3")
              .arg(QString::fromLatin1(kProgramVersion), start.Station,
                   start.Operator.isEmpty() ? QString() : QStringLiteral(", оператор ") + start.Operator)};
}

TStationEvent ImageEvent(const TFirmwareVersion& version, const QString& file,
                         const QString& sha256, qint64 size) {
  const QString versionText = Text(version.VersionText());
  const QString date = Text(version.BuildDateText());
  return {QStringLiteral("image"),
          {{"version", versionText}, {"date", date}, {"file", OrNull(file)},
           {"sha256", sha256}, {"size", size}},
          QStringLiteral("Прошивка %1 от %2, SHA-256 %3").arg(versionText, date, sha256)};
}

TStationEvent ListedEvent(const TDeviceIdentity& device) {
  const QString mode = device.BootMode ? QStringLiteral("boot") : QStringLiteral("application");
  const QString firmware = Text(device.FirmwareVersion.VersionText());
  const QString loader = device.BootMode ? Text(device.LoaderVersion.VersionText()) : QString();
  const QString processor = ProcessorText(device.ProcessorId);
  const QString adapter = QString::fromLatin1(AdapterKindName(device.AdapterKind));
  return {QStringLiteral("listed"),
          {{"serial", device.SerialNumber}, {"adapter", AdapterKey(device.AdapterKind)},
           {"mode", mode}, {"firmware", firmware}, {"loader", loader}, {"processor", processor}},
          device.BootMode ? QStringLiteral("%1: %2, загрузчик %3, прошивка %4, процессор %5")
                                .arg(device.SerialNumber)
                                .arg(adapter, loader, firmware, processor)
                          : QStringLiteral("%1: %2, работает прошивка %3")
                                .arg(device.SerialNumber)
                                .arg(adapter, firmware)};
}

TStationEvent ReconnectEvent(const TDeviceIdentity& device) {
  const QString text = QString::fromUtf8(kReconnectStatusText);
  return {QStringLiteral("reconnect"), {{"serial", device.SerialNumber}, {"text", text}},
          QStringLiteral("%1: %2").arg(device.SerialNumber).arg(text), TTone::Warning};
}

TStationEvent StartedEvent(std::int32_t serial) {
  return {QStringLiteral("started"), {{"serial", serial}},
          QStringLiteral("%1: прошивается").arg(serial)};
}

TStationEvent ProgressEvent(std::int32_t serial, int percent) {
  return {QStringLiteral("progress"), {{"serial", serial}, {"percent", percent}},
          QStringLiteral("%1: %2 %").arg(serial).arg(percent, 3)};
}

TStationEvent SkippedEvent(std::int32_t serial, const QString& reason) {
  return {QStringLiteral("skipped"), {{"serial", serial}, {"reason", reason}},
          QStringLiteral("%1: уже прошит в этом запуске, не прошивается снова").arg(serial)};
}

TStationEvent GoneEvent(std::int32_t serial) {
  return {QStringLiteral("gone"), {{"serial", serial}}, QStringLiteral("%1: отключен").arg(serial)};
}

TStationEvent ErrorEvent(const QString& code, const QString& text, const QString& humanLine,
                         const TEventFields& more) {
  TEventFields fields{{"code", code}, {"text", text}};
  fields.insert(fields.end(), more.begin(), more.end());
  return {QStringLiteral("error"), fields, humanLine, TTone::Bad};
}

TStationEvent LogEvent(std::int32_t serial, const QString& text) {
  return {QStringLiteral("log"), {{"serial", serial}, {"level", "error"}, {"text", text}}, text,
          TTone::Bad};
}

TStationEvent ResultEvent(const TDeviceResult& result) {
  const TWriteOutcome& outcome = result.Outcome;
  TEventFields fields;
  outcome.VisitFields([&fields, &result](const char* key, const auto& value) {
    const QString name = QLatin1String(key);
    // A device left alone has no result code and no reply of its own.
    const bool none = !result.Written() && (name == u"code" || name == u"last_reply");
    fields.emplace_back(name, none ? QJsonValue() : JsonValue(value));
  });
  fields.insert(fields.end(), {{"result", result.Result},
                               {"station", OrNull(result.Station)},
                               {"operator", OrNull(result.Operator)},
                               {"adapter", AdapterKey(result.Adapter)},
                               {"firmware_before", result.FirmwareBefore},
                               {"image_version", result.ImageVersion},
                               {"image_sha256", result.ImageSha256},
                               {"seconds", result.Seconds}});
  const TTone tone = result.Result == u"written" || result.Result == u"current" ? TTone::Good
                     : result.Result == u"interrupted"                          ? TTone::Warning
                                                                                : TTone::Bad;
  const QString text = Text(outcome.StatusText);
  return {QStringLiteral("result"), fields,
          result.Written() ? QStringLiteral("%1: %2 (код %3, %4 с)")
                                 .arg(outcome.SerialNumber)
                                 .arg(text)
                                 .arg(outcome.ResultCode)
                                 .arg(result.Seconds, 0, 'f', 1)
                           : QStringLiteral("%1: %2").arg(outcome.SerialNumber).arg(text),
          tone};
}

TStationEvent SummaryEvent(const TStationRun& run, const QString& station, int exitCode) {
  QJsonArray causes;
  for (const std::string& cause : run.CauseNames()) causes.append(Text(cause));
  QJsonArray notFound;
  for (const std::int32_t serial : run.NotFound()) notFound.append(serial);
  QJsonObject codes;
  for (const auto& [code, count] : run.ResultCodes()) codes.insert(QString::number(code), count);
  QString line = QStringLiteral("Итого: прошито %1, ошибок %2, прервано %3")
                     .arg(run.Succeeded())
                     .arg(run.Failed())
                     .arg(run.InterruptedWrites());
  if (run.CurrentDevices() > 0)
    line += QStringLiteral(", уже с этой прошивкой %1").arg(run.CurrentDevices());
  if (!notFound.isEmpty()) {
    QStringList serials;
    for (const std::int32_t serial : run.NotFound()) serials << QString::number(serial);
    line += QStringLiteral("; не найдены: ") + serials.join(QStringLiteral(", "));
  }
  line += QStringLiteral("; код выхода %1").arg(exitCode);
  return {QStringLiteral("summary"),
          {{"station", OrNull(station)},
           {"target", run.Target()},
           {"written", run.Succeeded()},
           {"failed", run.Failed()},
           {"interrupted", run.InterruptedWrites()},
           {"current", run.CurrentDevices()},
           {"result_codes", codes},
           {"not_found", notFound},
           {"causes", causes},
           {"exit", exitCode}},
          line,
          exitCode == 0 ? TTone::Good : TTone::Bad};
}
