#pragma once
#include <QThread>
#include <mutex>

#include "devices/devicescan.h"
#include "devices/threadlogsink.h"

// The scan thread: one scan of the attached devices. Its log entries are handed over to
// the main window; the window merges what it found once the thread has finished.
class TReadVersion : public QThread {
  Q_OBJECT
public:
  TReadVersion(TDevEntryList& devList, std::recursive_mutex& devListLock, QObject& mainThreadObject,
               TLogSink& mainLog)
      : Log(mainThreadObject, mainLog), Scan(devList, devListLock, Log) {}

  // Shutdown: devices not yet identified are left unasked.
  void RequestStop() { Scan.StopRequested = true; }

  TThreadLogSink Log;
  TDeviceScan Scan;

protected:
  void run() override;
};
