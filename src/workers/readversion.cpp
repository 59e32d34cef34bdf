#include "workers/readversion.h"

#include "workers/handover.h"
#include "workers/timerresolution.h"

TReadVersion::TReadVersion(std::vector<TListedDevice> listed, TDeviceEnumerator& enumerator,
                           TChannelFactory& channels, QObject& mainThreadObject,
                           TLogSink& mainLog, TGoneHandler markGone)
    : Listed(std::move(listed)),
      Enumerator(enumerator),
      Channels(channels),
      MainThreadObject(mainThreadObject),
      Log(mainThreadObject, mainLog),
      MarkGone(std::move(markGone)) {}

void TReadVersion::run() {
  const TTimerResolution resolution;
  const TScanTools tools{
      Enumerator, Channels, Log,
      [this](const std::vector<std::uint64_t>& gone) {
        HandOver(MainThreadObject, [&] { MarkGone(gone); });
      },
      &StopRequested};
  Result = ScanDevices(Listed, tools);
}
