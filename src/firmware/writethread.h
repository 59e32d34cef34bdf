#pragma once
#include <QThread>

#include "devices/deventry.h"
#include "devices/threadlogsink.h"
#include "firmware/writebody.h"

// What a write needs of the main window; called on the main thread only.
class TWriteThreadHost {
public:
  // Load image from the source the window has selected (and show it in the window).
  virtual bool LoadImage(TFirmwareBlockList& blocks, TFirmwareVersion& version) = 0;
  virtual void ShowProgress(TDevEntry& device, int position) = 0;

protected:
  ~TWriteThreadHost() = default;
};

// The write of one device, on a thread of its own. Everything that touches the window
// goes through the synchronous hand-over. The scan asks it to stop, under DevListLock,
// when the device has gone; it looks at that before each sector.
class TWriteThread : public QThread, public TWriteControl, private TWriteHost {
  Q_OBJECT
public:
  TWriteThread(TDevEntry& device, QObject& mainThreadObject, TLogSink& mainLog,
               TWriteThreadHost& host);

  void RequestStop() override { requestInterruption(); }

  TDevEntry& Device;
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

  QObject& MainThreadObject;
  TThreadLogSink Log;
  TWriteThreadHost& Host;
};
