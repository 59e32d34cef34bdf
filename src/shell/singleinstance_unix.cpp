#include "shell/singleinstance.h"

#include <QDir>
#include <QFile>
#include <QLockFile>
#include <QSocketNotifier>
#include <cerrno>
#include <cstring>
#include <map>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <unistd.h>

// The request lines sent over a local socket; the stream keeps them in order. A plain
// socket and the event loop's notifier rather than the toolkit's network module, which
// with the libraries it pulls in cost the program's start a tenth of its time.
namespace {

constexpr char kRestoreLine[] = "restore\n";
constexpr char kFocusLine[] = "focus\n";
constexpr qsizetype kMaxLine = 64;

// One lock and one socket per user, as a named mutex is one per Windows session.
QString InstancePath(const char* suffix) {
  return QDir::temp().filePath(QStringLiteral("%1-%2%3")
                                   .arg(QLatin1String(TSingleInstance::kLockName))
                                   .arg(getuid())
                                   .arg(QLatin1String(suffix)));
}

// False when the path does not fit a socket address.
bool SocketAddress(const QString& path, sockaddr_un& address) {
  const QByteArray name = QFile::encodeName(path);
  std::memset(&address, 0, sizeof address);
  address.sun_family = AF_UNIX;
  if (name.size() >= static_cast<qsizetype>(sizeof address.sun_path)) return false;
  std::memcpy(address.sun_path, name.constData(), static_cast<std::size_t>(name.size()));
  return true;
}

bool WriteAll(int fd, const char* data, std::size_t size) {
  while (size > 0) {
    const ssize_t written = ::send(fd, data, size, MSG_NOSIGNAL);
    if (written < 0 && errno == EINTR) continue;
    if (written <= 0) return false;
    data += written;
    size -= static_cast<std::size_t>(written);
  }
  return true;
}

}  // namespace

class TSingleInstance::TPrivate {
public:
  explicit TPrivate(TSingleInstance& owner) : Owner(owner), Lock(InstancePath(".lock")) {
    // A lock is stale only when its owner has died, never because it is old: the
    // running copy may run for days.
    Lock.setStaleLockTime(0);
  }
  ~TPrivate() { StopListening(); }

  // A copy that has connected: what it has sent of its current line.
  struct TPeer {
    std::unique_ptr<QSocketNotifier> Readable;
    QByteArray Pending;
  };

  void StopListening() {
    for (auto& [fd, peer] : Peers) {
      peer.Readable.reset();
      ::close(fd);
    }
    Peers.clear();
    Accepting.reset();
    if (ServerFd >= 0) {
      ::close(ServerFd);
      ServerFd = -1;
      QFile::remove(SocketPath);
    }
  }

  void ReadPeer(int fd) {
    const auto found = Peers.find(fd);
    if (found == Peers.end()) return;
    QByteArray& pending = found->second.Pending;
    char buffer[256];
    ssize_t received = 0;
    while ((received = ::recv(fd, buffer, sizeof buffer, 0)) > 0) {
      pending.append(buffer, received);
      for (qsizetype end; (end = pending.indexOf('\n')) >= 0;) {
        const QByteArray line = pending.left(end + 1);
        pending.remove(0, end + 1);
        if (line == kRestoreLine) emit Owner.RestoreRequested();
        else if (line == kFocusLine) emit Owner.FocusRequested();
      }
      // A peer that sends anything else is no copy of ours.
      if (pending.size() > kMaxLine) break;
    }
    const bool waiting = received < 0 && (errno == EAGAIN || errno == EWOULDBLOCK || errno == EINTR);
    if (waiting && pending.size() <= kMaxLine) return;
    // Ended, failed or talking nonsense: the connection goes. The notifier is deleted later,
    // since this runs inside its signal.
    QSocketNotifier* notifier = found->second.Readable.release();
    notifier->setEnabled(false);
    notifier->deleteLater();
    Peers.erase(found);
    ::close(fd);
  }

  TSingleInstance& Owner;
  QLockFile Lock;
  QString SocketPath;
  int ServerFd = -1;
  std::unique_ptr<QSocketNotifier> Accepting;
  std::map<int, TPeer> Peers;
};

TSingleInstance::TSingleInstance() : d(std::make_unique<TPrivate>(*this)) {}

TSingleInstance::~TSingleInstance() { Release(); }

bool TSingleInstance::TryAcquire() { return d->Lock.tryLock(kLockWaitMs); }

void TSingleInstance::Release() {
  d->StopListening();
  if (d->Lock.isLocked()) d->Lock.unlock();
}

bool TSingleInstance::Listen(const QString&) {
  d->StopListening();
  sockaddr_un address{};
  const QString path = InstancePath(".socket");
  if (!SocketAddress(path, address)) return false;
  const int fd = ::socket(AF_UNIX, SOCK_STREAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0);
  if (fd < 0) return false;
  // A socket left by a copy that crashed would block the name; holding the lock means no
  // living copy uses it.
  QFile::remove(path);
  if (::bind(fd, reinterpret_cast<const sockaddr*>(&address), sizeof address) != 0 ||
      ::chmod(address.sun_path, S_IRUSR | S_IWUSR) != 0 || ::listen(fd, 8) != 0) {
    ::close(fd);
    return false;
  }
  d->ServerFd = fd;
  d->SocketPath = path;
  d->Accepting = std::make_unique<QSocketNotifier>(fd, QSocketNotifier::Read);
  connect(d->Accepting.get(), &QSocketNotifier::activated, this, [this] {
    for (int peerFd; (peerFd = ::accept4(d->ServerFd, nullptr, nullptr,
                                         SOCK_NONBLOCK | SOCK_CLOEXEC)) >= 0;) {
      TPrivate::TPeer& peer = d->Peers[peerFd];
      peer.Readable = std::make_unique<QSocketNotifier>(peerFd, QSocketNotifier::Read);
      connect(peer.Readable.get(), &QSocketNotifier::activated, this,
              [this, peerFd] { d->ReadPeer(peerFd); });
    }
  });
  return true;
}

void TSingleInstance::NotifyRunningCopy(const QString&) {
  sockaddr_un address{};
  if (!SocketAddress(InstancePath(".socket"), address)) return;
  const int fd = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
  if (fd < 0) return;
  // A local connection is taken or refused at once; no copy listening means none to ask.
  if (::connect(fd, reinterpret_cast<const sockaddr*>(&address), sizeof address) == 0) {
    WriteAll(fd, kRestoreLine, sizeof kRestoreLine - 1);
    WriteAll(fd, kFocusLine, sizeof kFocusLine - 1);
  }
  ::close(fd);
}
