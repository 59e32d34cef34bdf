#include "resources/builtinimage.h"

#include <QFile>

std::optional<std::vector<std::uint8_t>> ReadBuiltInImageBytes() {
  QFile resource(QStringLiteral(":/RC_DATA/FRMV"));
  if (!resource.open(QIODevice::ReadOnly)) return std::nullopt;
  const QByteArray bytes = resource.readAll();
  return std::vector<std::uint8_t>(bytes.begin(), bytes.end());
}

TFirmwareImage LoadChosenImage(bool externalFirmware, const std::string& filePath, TLogSink& log,
                               std::optional<bool>* builtInLoaded) {
  const TImageSource source{externalFirmware, filePath, ReadBuiltInImageBytes};
  TFirmwareImage image;
  const TImageLoadResult result = LoadImage(source, image.Blocks, image.Version, log);
  image.Loaded = result.Success;
  if (builtInLoaded && result.BuiltInLoaded) *builtInLoaded = result.BuiltInLoaded;
  // The user sees every outcome in the log; the block limit's text is no exception.
  if (!result.BlockSizeError.empty()) log.LogText(llError, 0, result.BlockSizeError);
  return image;
}
