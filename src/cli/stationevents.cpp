#include "cli/stationevents.h"

#include <QJsonValue>
#include <string>
#include <type_traits>

#include "cli/stationrun.h"

namespace {

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

QString ProcessorText(std::uint32_t processorId) {
  return QStringLiteral("0x%1").arg(processorId, 8, 16, QLatin1Char('0')).toUpper().replace("0X", "0x");
}

}  // namespace

QString AdapterKey(TAdapterKind kind) { return QString::fromLatin1(AdapterKindName(kind)).toLower(); }

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
          QStringLiteral("%1: %2").arg(device.SerialNumber).arg(text)};
}

TStationEvent StartedEvent(std::int32_t serial) {
  return {QStringLiteral("started"), {{"serial", serial}},
          QStringLiteral("%1: прошивается").arg(serial)};
}

TStationEvent ResultEvent(const TWriteOutcome& outcome, double seconds) {
  QJsonObject fields;
  outcome.VisitFields([&fields](const char* key, const auto& value) {
    fields.insert(QLatin1String(key), JsonValue(value));
  });
  fields.insert(QStringLiteral("seconds"), seconds);
  return {QStringLiteral("result"), fields,
          QStringLiteral("%1: %2 (код %3, %4 с)")
              .arg(outcome.SerialNumber)
              .arg(Text(outcome.StatusText))
              .arg(outcome.ResultCode)
              .arg(seconds, 0, 'f', 1)};
}

TStationEvent GoneEvent(std::int32_t serial) {
  return {QStringLiteral("gone"), {{"serial", serial}}, QStringLiteral("%1: отключен").arg(serial)};
}

TStationEvent ImageEvent(const TFirmwareVersion& version, const QString& file) {
  const QString versionText = Text(version.VersionText());
  const QString date = Text(version.BuildDateText());
  return {QStringLiteral("image"),
          {{"version", versionText}, {"date", date},
           {"file", file.isEmpty() ? QJsonValue() : QJsonValue(file)}},
          QStringLiteral("Прошивка %1 от %2").arg(versionText, date)};
}

TStationEvent SummaryEvent(const TStationRun& run, int exitCode) {
  return {QStringLiteral("summary"),
          {{"written", run.Succeeded()}, {"failed", run.Failed()},
           {"interrupted", run.Interrupted()}, {"exit", exitCode}},
          QStringLiteral("Итого: прошито %1, ошибок %2, прервано %3")
              .arg(run.Succeeded())
              .arg(run.Failed())
              .arg(run.Interrupted())};
}
