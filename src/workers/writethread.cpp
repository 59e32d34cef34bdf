#include "workers/writethread.h"

#include "workers/handover.h"
#include "workers/timerresolution.h"

TWriteThread::TWriteThread(std::uint64_t deviceId, const TDevEntry& device, TFirmwareImage image,
                           TChannelFactory& channels, QObject& mainThreadObject,
                           TLogSink& mainLog, std::function<void(int position)> setProgress)
    : DeviceId(deviceId),
      Device(device),
      Image(std::move(image)),
      Channels(channels),
      MainThreadObject(mainThreadObject),
      Log(mainThreadObject, mainLog),
      SetProgressOnMainThread(std::move(setProgress)) {}

void TWriteThread::run() {
  const TTimerResolution resolution;
  const std::unique_ptr<TByteChannel> channel = Channels.MakeChannel(Device);
  TWriteBody body(Device, *channel, std::move(Image), *this, Log);
  body.Execute();
  Outcome = body.Outcome();
}

void TWriteThread::SetProgress(int position) {
  HandOver(MainThreadObject, [&] { SetProgressOnMainThread(position); });
}
