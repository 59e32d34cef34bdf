#pragma once
#include <QObject>
#include <QString>
#include <memory>

// One copy of the program per user session. The first copy owns the lock
// "VLUSBFirmwareLoaderBaseMutex" until its message loop ends; a second copy finds the
// running copy's window, asks it to come back from the minimised state and then to take
// the focus, in that order, and ends without a window of its own.
// Linux: a lock file in the temp directory, and a local socket the running copy listens
// on. Windows: a named mutex, and a hidden window of class "TMainForm" with the main
// window's caption that receives the posted messages.
class TSingleInstance : public QObject {
  Q_OBJECT
public:
  static constexpr const char* kLockName = "VLUSBFirmwareLoaderBaseMutex";
  static constexpr int kLockWaitMs = 50;
  static constexpr unsigned kRestoreMessage = 1025;  // WM_USER + 1

  TSingleInstance();
  ~TSingleInstance() override;

  // Waits up to 50 ms for the lock; true when this copy now owns it.
  bool TryAcquire();
  void Release();

  // For the first copy, once its main window exists: from now on a second copy finds it.
  // `caption` is the main window's caption. False when requests cannot be received.
  bool Listen(const QString& caption);

  // For a second copy: posts the restore request, then the focus request, to the running
  // copy's window when one is found; nothing when none is (it is still starting).
  // Does not wait for the requests to be handled.
  void NotifyRunningCopy(const QString& caption);

signals:
  void RestoreRequested();
  void FocusRequested();

private:
  class TPrivate;  // per platform: singleinstance_unix.cpp / singleinstance_win.cpp
  std::unique_ptr<TPrivate> d;
};
