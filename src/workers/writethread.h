#pragma once
#include <QThread>
#include <cstdint>

#include "scan/devicescan.h"
#include "workers/threadlogsink.h"
#include "firmware/writebody.h"

// What a write needs of the program's main thread; called there only.
class TWriteThreadHost {
public:
  // Loads the image from the source the user has selected (and shows it).
  virtual bool LoadImage(TFirmwareBlockList& blocks, TFirmwareVersion& version) = 0;
  virtual void ShowProgress(std::uint64_t deviceId, int position) = 0;

protected:
  ~TWriteThreadHost() = default;
};

// The write of one device, on a thread of its own. Everything that reaches the main
// thread goes through the synchronous hand-over. The main thread asks it to stop when the
// device has gone or the program closes; it looks at that before each sector. The record
// must outlive the thread.
class TWriteThread : public QThread, private TWriteHost {
  Q_OBJECT
public:
  TWriteThread(std::uint64_t deviceId, const TDevEntry& device, TChannelFactory& channels,
               QObject& mainThreadObject, TLogSink& mainLog, TWriteThreadHost& host);

  void RequestStop() { requestInterruption(); }

  const std::uint64_t DeviceId;
  const TDevEntry& Device;
  // The outcome, valid once the thread has finished.
  std::int32_t ResultCode = wrSuccess;
  std::uint32_t LastReplyCode = 0;
  std::int32_t Elapsed = 0;

protected:
  void run() override;

private:
  bool ReloadImage(TFirmwareBlockList& blocks, TFirmwareVersion& version) override;
  void SetProgress(int position) override;
  bool StopRequested() override { return isInterruptionRequested(); }

  TChannelFactory& Channels;
  QObject& MainThreadObject;
  TThreadLogSink Log;
  TWriteThreadHost& Host;
};
