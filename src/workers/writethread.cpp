#include "workers/writethread.h"

#include "workers/handover.h"
#include "workers/timerresolution.h"

TWriteThread::TWriteThread(std::uint64_t deviceId, const TDevEntry& device,
                           TChannelFactory& channels, QObject& mainThreadObject,
                           TLogSink& mainLog, TWriteThreadHost& host)
    : DeviceId(deviceId),
      Device(device),
      Channels(channels),
      MainThreadObject(mainThreadObject),
      Log(mainThreadObject, mainLog),
      Host(host) {}

void TWriteThread::run() {
  const TTimerResolution resolution;
  const std::unique_ptr<TByteChannel> channel = Channels.MakeChannel(Device);
  TWriteBody body(Device, *channel, *this, Log);
  body.Execute();
  ResultCode = body.ResultCode;
  LastReplyCode = body.LastReplyCode;
  Elapsed = body.Elapsed;
}

bool TWriteThread::ReloadImage(TFirmwareBlockList& blocks, TFirmwareVersion& version) {
  bool loaded = false;
  HandOver(MainThreadObject, [&] { loaded = Host.LoadImage(blocks, version); });
  return loaded;
}

void TWriteThread::SetProgress(int position) {
  HandOver(MainThreadObject, [&] { Host.ShowProgress(DeviceId, position); });
}
