// The single-instance lock and the requests a second copy sends to the running one, in
// one process: two instance objects stand for the two copies.
#include <QDir>
#include <QFile>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>
#include <cstring>
#include <gtest/gtest.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

#include "shell/singleinstance.h"

namespace {

class SingleInstanceTest : public ::testing::Test {
protected:
  void SetUp() override {
    ASSERT_TRUE(Dir.isValid());
    OldTemp = qgetenv("TMPDIR");
    qputenv("TMPDIR", Dir.path().toLocal8Bit());
  }
  void TearDown() override { qputenv("TMPDIR", OldTemp); }

  QString SocketPath() const {
    return Dir.filePath(QStringLiteral("%1-%2.socket")
                            .arg(QLatin1String(TSingleInstance::kLockName))
                            .arg(getuid()));
  }

  // A peer that is not a copy of ours: connects and sends the bytes.
  int ConnectRaw(const QByteArray& bytes) {
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    const QByteArray path = SocketPath().toLocal8Bit();
    std::memcpy(address.sun_path, path.constData(), static_cast<std::size_t>(path.size()));
    const int fd = ::socket(AF_UNIX, SOCK_STREAM, 0);
    EXPECT_EQ(::connect(fd, reinterpret_cast<const sockaddr*>(&address), sizeof address), 0);
    EXPECT_EQ(::send(fd, bytes.constData(), static_cast<std::size_t>(bytes.size()), MSG_NOSIGNAL),
              bytes.size());
    return fd;
  }

  QTemporaryDir Dir;
  QByteArray OldTemp;
};

TEST_F(SingleInstanceTest, SecondCopyAsksTheFirstToRestoreThenFocus) {
  TSingleInstance first;
  ASSERT_TRUE(first.TryAcquire());
  ASSERT_TRUE(first.Listen(QStringLiteral("caption")));
  QStringList requests;
  QObject::connect(&first, &TSingleInstance::RestoreRequested, [&] { requests << "restore"; });
  QObject::connect(&first, &TSingleInstance::FocusRequested, [&] { requests << "focus"; });

  TSingleInstance second;
  EXPECT_FALSE(second.TryAcquire());
  second.NotifyRunningCopy(QStringLiteral("caption"));
  EXPECT_TRUE(QTest::qWaitFor([&] { return requests.size() == 2; }, 5000));
  EXPECT_EQ(requests, QStringList({"restore", "focus"}));

  // Once the first copy has let go, the lock is free and nobody listens any more.
  first.Release();
  EXPECT_FALSE(QFile::exists(SocketPath()));
  second.NotifyRunningCopy(QStringLiteral("caption"));
  EXPECT_TRUE(second.TryAcquire());
}

TEST_F(SingleInstanceTest, PeersSendingAnythingElseAreCutOffUnheard) {
  TSingleInstance first;
  ASSERT_TRUE(first.TryAcquire());
  ASSERT_TRUE(first.Listen(QStringLiteral("caption")));
  QSignalSpy restores(&first, &TSingleInstance::RestoreRequested);
  QSignalSpy focuses(&first, &TSingleInstance::FocusRequested);

  const QByteArray cases[] = {
      QByteArray(100, 'x'),                     // no line end within the limit
      "restore now\nfocus please\n" + QByteArray(80, 'y'),  // no request of ours
  };
  for (const QByteArray& bytes : cases) {
    const int fd = ConnectRaw(bytes);
    // The running copy closes the connection: the peer reads the end of the stream.
    char byte = 0;
    EXPECT_TRUE(QTest::qWaitFor([&] { return ::recv(fd, &byte, 1, MSG_DONTWAIT) == 0; }, 5000));
    ::close(fd);
  }
  // A request split over two sends is still one request.
  const int fd = ConnectRaw("rest");
  QTest::qWait(50);
  ASSERT_EQ(::send(fd, "ore\n", 4, MSG_NOSIGNAL), 4);
  EXPECT_TRUE(QTest::qWaitFor([&] { return restores.size() == 1; }, 5000));
  ::close(fd);
  EXPECT_EQ(focuses.size(), 0);
}

}  // namespace
