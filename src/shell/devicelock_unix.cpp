#include "shell/devicelock.h"

#include <QDir>
#include <QFile>
#include <QLockFile>

namespace {

// In the temp directory every user shares, unless TMPDIR names one of the user's own.
QString LockPath() { return QDir::temp().filePath(QStringLiteral("VLFWLoaderDevices.lock")); }

}  // namespace

class TDeviceLock::TPrivate {
public:
  QString Program;
  QLockFile Lock{LockPath()};
};

TDeviceLock::TDeviceLock(QString program) : d(std::make_unique<TPrivate>()) {
  d->Program = std::move(program);
  // Stale only when its owner has died, never because it is old.
  d->Lock.setStaleLockTime(0);
}

TDeviceLock::~TDeviceLock() { Release(); }

bool TDeviceLock::TryAcquire() { return d->Lock.isLocked() || d->Lock.tryLock(0); }

void TDeviceLock::Release() {
  if (d->Lock.isLocked()) d->Lock.unlock();
}

QString TDeviceLock::Holder() const {
  qint64 pid = 0;
  QString host, application;
  if (!d->Lock.getLockInfo(&pid, &host, &application) || pid <= 0) return {};
  // The lock file names the toolkit's application name, which both programs share; the
  // process's own name tells them apart.
  QFile name(QStringLiteral("/proc/%1/comm").arg(pid));
  if (!name.open(QIODevice::ReadOnly)) return {};
  const QString program = QString::fromLocal8Bit(name.readAll()).trimmed();
  for (const char* known : kPrograms)
    if (program == QLatin1String(known)) return program;
  return {};
}
