#include "firmware/writethread.h"

#include "devices/handover.h"
#include "devices/timerresolution.h"
#include "link/channel.h"

TWriteThread::TWriteThread(TDevEntry& device, QObject& mainThreadObject, TLogSink& mainLog,
                           TWriteThreadHost& host)
    : Device(device), MainThreadObject(mainThreadObject), Log(mainThreadObject, mainLog), Host(host) {}

void TWriteThread::run() {
  const TTimerResolution resolution;
  const std::unique_ptr<TDeviceChannel> channel = MakeDeviceChannel(Device);
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
  HandOver(MainThreadObject, [&] { Host.ShowProgress(Device, position); });
}
