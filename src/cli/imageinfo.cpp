#include "cli/imageinfo.h"

#include <QFileInfo>
#include <QJsonArray>
#include <vector>

#include "cli/stationrun.h"
#include "firmware/imageload.h"

namespace {

class TCollectedLog final : public TLogSink {
public:
  void LogText(TLogLevel level, std::int32_t, const std::string& text) override {
    if (level == llError) Errors.push_back(QString::fromStdString(text));
  }
  QStringList Errors;
};

}  // namespace

int PrintImageInfo(const std::string& path, TStationOutput& output) {
  TImageSource source;
  source.ExternalFirmware = true;
  source.FilePath = path;
  TFirmwareBlockList blocks;
  TFirmwareVersion version;
  TCollectedLog log;
  const TImageLoadResult result = LoadImage(source, blocks, version, log);
  if (!result.BlockSizeError.empty()) log.Errors << QString::fromStdString(result.BlockSizeError);
  std::uint64_t payload = 0;
  for (const auto& block : blocks) payload += block->Data.size();
  FreeBlocks(blocks);
  const QString file = QString::fromStdString(path);
  if (!result.Success) {
    output.Event({QStringLiteral("info"),
                  {{"file", file}, {"loaded", false}, {"errors", QJsonArray::fromStringList(log.Errors)}},
                  log.Errors.join(u'\n'),
                  TStationEvent::TTone::Bad});
    return TStationRun::exImageNotLoaded;
  }
  const QString versionText = QString::fromStdString(version.VersionText());
  const QString date = QString::fromStdString(version.BuildDateText());
  const qint64 size = QFileInfo(file).size();
  output.Event({QStringLiteral("info"),
               {{"file", file}, {"loaded", true}, {"version", versionText}, {"date", date},
                {"size", size}, {"payload", static_cast<qint64>(payload)}},
               QStringLiteral("%1: версия %2, дата %3, %4 байт (%5 байт прошивки)")
                   .arg(file, versionText, date)
                   .arg(size)
                   .arg(payload)});
  return 0;
}
