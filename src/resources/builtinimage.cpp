#include "resources/builtinimage.h"

#include <QFile>

std::optional<std::vector<std::uint8_t>> ReadBuiltInImageBytes() {
  QFile resource(QStringLiteral(":/RC_DATA/FRMV"));
  if (!resource.open(QIODevice::ReadOnly)) return std::nullopt;
  const QByteArray bytes = resource.readAll();
  return std::vector<std::uint8_t>(bytes.begin(), bytes.end());
}
