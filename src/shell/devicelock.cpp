#include "shell/devicelock.h"

QString TDeviceLock::RefusalText(const QString& holder) {
  if (holder.isEmpty())
    return QStringLiteral("Приборы заняты другой программой загрузки: сначала закройте её.");
  return QStringLiteral("Приборы заняты программой %1: сначала закройте её.").arg(holder);
}
