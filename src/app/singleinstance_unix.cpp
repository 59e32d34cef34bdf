#include "app/singleinstance.h"

#include <QDir>
#include <QLocalServer>
#include <QLocalSocket>
#include <QLockFile>
#include <unistd.h>

// The request lines sent over the local socket; the stream keeps them in order.
namespace {

constexpr char kRestoreLine[] = "restore\n";
constexpr char kFocusLine[] = "focus\n";
constexpr int kConnectWaitMs = 1000;

// One lock and one socket per user, as a named mutex is one per Windows session.
QString InstanceName() {
  return QStringLiteral("%1-%2").arg(QLatin1String(TSingleInstance::kLockName)).arg(getuid());
}

}  // namespace

class TSingleInstance::TPrivate {
public:
  TPrivate() : Lock(QDir::temp().filePath(InstanceName() + QStringLiteral(".lock"))) {
    // A lock is stale only when its owner has died, never because it is old: the
    // running copy may run for days.
    Lock.setStaleLockTime(0);
  }

  QLockFile Lock;
  std::unique_ptr<QLocalServer> Server;
};

TSingleInstance::TSingleInstance() : d(std::make_unique<TPrivate>()) {}

TSingleInstance::~TSingleInstance() { Release(); }

bool TSingleInstance::TryAcquire() { return d->Lock.tryLock(kLockWaitMs); }

void TSingleInstance::Release() {
  d->Server.reset();
  if (d->Lock.isLocked()) d->Lock.unlock();
}

bool TSingleInstance::Listen(const QString&) {
  d->Server = std::make_unique<QLocalServer>();
  d->Server->setSocketOptions(QLocalServer::UserAccessOption);
  // A socket left by a copy that crashed would block the name; holding the lock means no
  // living copy uses it.
  QLocalServer::removeServer(InstanceName());
  if (!d->Server->listen(InstanceName())) {
    d->Server.reset();
    return false;
  }
  connect(d->Server.get(), &QLocalServer::newConnection, this, [this] {
    while (QLocalSocket* socket = d->Server->nextPendingConnection()) {
      connect(socket, &QLocalSocket::disconnected, socket, &QObject::deleteLater);
      connect(socket, &QLocalSocket::readyRead, this, [this, socket] {
        while (socket->canReadLine()) {
          const QByteArray line = socket->readLine(64);
          if (line == kRestoreLine) emit RestoreRequested();
          else if (line == kFocusLine) emit FocusRequested();
        }
        // A peer that sends anything else is no copy of ours.
        if (socket->bytesAvailable() > 64) socket->abort();
      });
    }
  });
  return true;
}

void TSingleInstance::NotifyRunningCopy(const QString&) {
  QLocalSocket socket;
  socket.connectToServer(InstanceName());
  if (!socket.waitForConnected(kConnectWaitMs)) return;
  socket.write(kRestoreLine);
  socket.write(kFocusLine);
  socket.flush();
  socket.waitForBytesWritten(kConnectWaitMs);
  socket.disconnectFromServer();
}
