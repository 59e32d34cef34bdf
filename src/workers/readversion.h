#pragma once
#include <QThread>
#include <atomic>
#include <functional>
#include <vector>

#include "scan/devicescan.h"
#include "workers/threadlogsink.h"

// The scan thread: one scan of the attached devices over a copy of what is listed. Its
// log entries and the devices it finds gone are handed over to the main thread as they
// come; the main thread takes the result once the thread has finished.
class TReadVersion : public QThread {
  Q_OBJECT
public:
  using TGoneHandler = std::function<void(const std::vector<std::uint64_t>& gone)>;

  // markGone runs on the main thread.
  TReadVersion(std::vector<TListedDevice> listed, TDeviceEnumerator& enumerator,
               TChannelFactory& channels, QObject& mainThreadObject, TLogSink& mainLog,
               TGoneHandler markGone);

  // Shutdown: devices not yet identified are left unasked.
  void RequestStop() { StopRequested = true; }

  TScanResult Result;  // valid once the thread has finished

protected:
  void run() override;

private:
  const std::vector<TListedDevice> Listed;
  TDeviceEnumerator& Enumerator;
  TChannelFactory& Channels;
  QObject& MainThreadObject;
  TThreadLogSink Log;
  TGoneHandler MarkGone;
  std::atomic<bool> StopRequested = false;
};
