#include "scan/devicescan.h"

#include <algorithm>
#include <exception>

#include "scan/identityquery.h"
#include "protocol/ticks.h"

namespace {

template <typename Stage>
void RunGuarded(TLogSink& log, Stage&& stage) {
  std::string message;
  try {
    stage();
    return;
  } catch (const std::exception& error) {
    message = error.what();
  } catch (...) {
    message = "неизвестная ошибка";
  }
  log.LogMessage(llError, 0, "Исключение \"%s\" при поиске устройств", message.c_str());
}

// Each listed device takes one listing of its serial number out of the new ones; a listed
// device whose kind was listed completely without it has gone. A listing that failed or
// stayed incomplete says nothing about its devices: taking them for gone would stop a write
// in the middle over a driver glitch.
void Match(const std::vector<TListedDevice>& listed, TScanResult& result) {
  for (const TListedDevice& device : listed) {
    TDevEntryList& fresh = result.NewDevices;
    const auto same = std::find_if(fresh.begin(), fresh.end(), [&](const auto& entry) {
      return entry->SerialNumber == device.SerialNumber;
    });
    if (same != fresh.end()) {
      fresh.erase(same);
      continue;
    }
    const TEnumResult listing = device.AdapterKind == TAdapterKind::Ftdi ? result.FtdiListing : result.QnListing;
    if (listing == erListed) result.Gone.push_back(device.Id);
  }
}

}  // namespace

TScanResult ScanDevices(const std::vector<TListedDevice>& listed, const TScanTools& tools) {
  TScanResult result;
  const std::uint32_t start = TickCount();
  RunGuarded(tools.Log, [&] {
    result.FtdiListing = tools.Enumerator.ListFtdi(result.NewDevices, tools.Log);
    result.QnListing = tools.Enumerator.ListQn(result.NewDevices, tools.Log);
  });
  RunGuarded(tools.Log, [&] {
    Match(listed, result);
    if (!result.Gone.empty() && tools.ReportGone) tools.ReportGone(result.Gone);
  });
  RunGuarded(tools.Log, [&] {
    for (const auto& device : result.NewDevices) {
      if (tools.StopRequested != nullptr && tools.StopRequested->load()) return;
      const std::unique_ptr<TByteChannel> channel = tools.Channels.MakeChannel(*device);
      const TScanError outcome =
          IdentifyDevice(*device, *channel, tools.Log, result.ErrorCode != seNone);
      // The last failure is the scan's; a later success does not undo an earlier one.
      if (outcome != seNone) result.ErrorCode = outcome;
    }
  });
  result.Elapsed = static_cast<std::int32_t>(TickCount() - start);
  return result;
}
