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

// Whatever else reaches the channel (another program, a half-written line, a request
// in another spelling) restores and focuses nothing. Each peer ends its side after its
// bytes, so the running copy has read all of them once it closes the connection; only
// then are the requests counted. A real copy is still heard afterwards.
TEST_F(SingleInstanceTest, JunkOnTheChannelRestoresAndFocusesNothing) {
  TSingleInstance first;
  ASSERT_TRUE(first.TryAcquire());
  ASSERT_TRUE(first.Listen(QStringLiteral("caption")));
  QSignalSpy restores(&first, &TSingleInstance::RestoreRequested);
  QSignalSpy focuses(&first, &TSingleInstance::FocusRequested);

  QByteArray everyByte;
  for (int b = 0; b < 256; ++b) everyByte.append(static_cast<char>(255 - b));
  const struct {
    const char* what;
    QByteArray bytes;
  } cases[] = {
      {"no line end within the limit", QByteArray(100, 'x')},
      {"words that start like requests", "restore now\nfocus please\n" + QByteArray(80, 'y')},
      {"a request cut off by the end of the stream", "restore"},
      {"another spelling", "RESTORE\nFOCUS\n"},
      {"other line ends", "restore\r\nfocus\r\n"},
      {"a leading space", " restore\n focus\n"},
      {"zero bytes around the words", QByteArray("\0restore\n\0focus\n", 16)},
      {"two requests run together", "restorefocus\n"},
      {"binary", everyByte},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    const int fd = ConnectRaw(c.bytes);
    ASSERT_EQ(::shutdown(fd, SHUT_WR), 0);
    // The running copy closes the connection: the peer reads the end of the stream.
    char byte = 0;
    EXPECT_TRUE(QTest::qWaitFor([&] { return ::recv(fd, &byte, 1, MSG_DONTWAIT) == 0; }, 5000));
    ::close(fd);
    EXPECT_EQ(restores.size(), 0);
    EXPECT_EQ(focuses.size(), 0);
  }

  TSingleInstance second;
  second.NotifyRunningCopy(QStringLiteral("caption"));
  EXPECT_TRUE(QTest::qWaitFor([&] { return focuses.size() == 1; }, 5000));
  EXPECT_EQ(restores.size(), 1);
}

// A request split over two sends is still one request.
TEST_F(SingleInstanceTest, ARequestSplitOverTwoSendsIsOneRequest) {
  TSingleInstance first;
  ASSERT_TRUE(first.TryAcquire());
  ASSERT_TRUE(first.Listen(QStringLiteral("caption")));
  QSignalSpy restores(&first, &TSingleInstance::RestoreRequested);
  QSignalSpy focuses(&first, &TSingleInstance::FocusRequested);
  const int fd = ConnectRaw("rest");
  QTest::qWait(50);
  ASSERT_EQ(::send(fd, "ore\n", 4, MSG_NOSIGNAL), 4);
  ASSERT_EQ(::shutdown(fd, SHUT_WR), 0);
  char byte = 0;
  EXPECT_TRUE(QTest::qWaitFor([&] { return ::recv(fd, &byte, 1, MSG_DONTWAIT) == 0; }, 5000));
  ::close(fd);
  EXPECT_EQ(restores.size(), 1);
  EXPECT_EQ(focuses.size(), 0);
}

}  // namespace
