#include "devices/devicescan.h"

#include <algorithm>
#include <exception>

#include "link/channel.h"
#include "protocol/identityquery.h"
#include "protocol/ticks.h"

TDevEntry* FindDevice(const TDevEntryList& list, std::int32_t serialNumber) {
  const auto it = std::find_if(list.begin(), list.end(), [&](const auto& entry) {
    return entry->SerialNumber == serialNumber;
  });
  return it == list.end() ? nullptr : it->get();
}

void DeleteDevice(TDevEntryList& list, std::int32_t serialNumber) {
  const auto it = std::find_if(list.begin(), list.end(), [&](const auto& entry) {
    return entry->SerialNumber == serialNumber;
  });
  if (it != list.end()) list.erase(it);
}

// An error inside a stage ends that stage only; it is logged once no lock is held, and
// the scan goes on with the next stage.
template <typename Stage>
void TDeviceScan::RunGuarded(Stage&& stage) {
  std::string message;
  try {
    stage();
    return;
  } catch (const std::exception& error) {
    message = error.what();
  } catch (...) {
    message = "неизвестная ошибка";
  }
  Log.LogMessage(llError, 0, "Исключение \"%s\" при поиске устройств", message.c_str());
}

void TDeviceScan::ScanDevices() {
  ErrorCode = 0;
  LastReplyCode = 0;
  StartTick = TickCount();
  RunGuarded([this] { Enumerate(); });
  RunGuarded([this] { MatchWithDevList(); });
  RunGuarded([this] { IdentifyNewDevices(); });
  Elapsed = static_cast<std::int32_t>(TickCount() - StartTick);
}

void TDeviceScan::Enumerate() {
  FtdiListing = EnumFtdiDevices(NewDevices, Log);
  QnListing = EnumQnDevices(NewDevices, Log);
}

void TDeviceScan::MatchWithDevList() {
  std::lock_guard lock(DevListLock);
  for (const auto& listed : DevList) {
    if (FindDevice(NewDevices, listed->SerialNumber) != nullptr) {
      DeleteDevice(NewDevices, listed->SerialNumber);
      continue;
    }
    // A listing that failed or stayed incomplete says nothing about its devices: taking
    // them for gone would stop a write in the middle over a driver glitch.
    const TEnumResult listing = listed->AdapterKind == 0 ? FtdiListing : QnListing;
    if (listing != erListed) continue;
    if (listed->WriteThread != nullptr) listed->WriteThread->RequestStop();
    listed->Disconnected = true;
  }
}

void TDeviceScan::IdentifyNewDevices() {
  for (const auto& device : NewDevices) {
    if (StopRequested) return;
    const std::unique_ptr<TDeviceChannel> channel = MakeDeviceChannel(*device);
    IdentifyDevice(*device, *channel, Log, ErrorCode);
  }
}
