#pragma once
#include <QString>
#include <memory>

// The lock on the machine's devices: the window and the station command line each take
// it before they touch a device, so that only one program drives them whoever runs it
// (another user, a remote session, a scheduled task). It is held until Release or the
// program's end, a crash included. The window's one-copy-per-session lock is apart
// from it and comes first.
// Linux: a lock file in the temp directory. Windows: a mutex in the global namespace
// that every user may open.
class TDeviceLock {
public:
  // program: the holder's name as a refused program reports it ("VLFWLoader", "vlfwflash").
  explicit TDeviceLock(QString program);
  ~TDeviceLock();
  TDeviceLock(const TDeviceLock&) = delete;
  TDeviceLock& operator=(const TDeviceLock&) = delete;

  // True when this program now holds the lock; false when another does.
  bool TryAcquire();
  void Release();

  // After a refusal: the program that holds the lock, or empty when it cannot be told.
  QString Holder() const;

  // The programs that take the lock.
  static constexpr const char* kPrograms[] = {"VLFWLoader", "vlfwflash"};

  // What a refused program says: the holder named when it is known.
  static QString RefusalText(const QString& holder);

private:
  class TPrivate;  // per platform: devicelock_unix.cpp / devicelock_win.cpp
  std::unique_ptr<TPrivate> d;
};
