#pragma once
#include <QThread>
#include <cstdint>
#include <functional>

#include "firmware/writebody.h"
#include "link/channelfactory.h"
#include "workers/threadlogsink.h"

// The write of one device, on a thread of its own, with the image it was handed. Its log
// entries and progress reach the main thread through the synchronous hand-over. The main
// thread asks it to stop when the device has gone or the program closes; it looks at that
// before each sector. The record must outlive the thread.
class TWriteThread : public QThread, private TWriteHost {
  Q_OBJECT
public:
  // setProgress runs on the main thread.
  TWriteThread(std::uint64_t deviceId, const TDevEntry& device, TFirmwareImage image,
               TChannelFactory& channels, QObject& mainThreadObject, TLogSink& mainLog,
               std::function<void(int position)> setProgress);

  void RequestStop() { requestInterruption(); }

  const std::uint64_t DeviceId;
  const TDevEntry& Device;
  TWriteOutcome Outcome;  // valid once the thread has finished

protected:
  void run() override;

private:
  void SetProgress(int position) override;
  bool StopRequested() override { return isInterruptionRequested(); }

  TFirmwareImage Image;
  TChannelFactory& Channels;
  QObject& MainThreadObject;
  TThreadLogSink Log;
  std::function<void(int)> SetProgressOnMainThread;
};
