#pragma once
#include <atomic>
#include <cstdint>
#include <memory>
#include <mutex>
#include <vector>

#include "devices/deventry.h"
#include "link/enumeration.h"
#include "protocol/logsink.h"

// The first record of the list with the given serial number, or null.
TDevEntry* FindDevice(const TDevEntryList& list, std::int32_t serialNumber);
// Deletes the first record with the given serial number (and with it its panel).
void DeleteDevice(TDevEntryList& list, std::int32_t serialNumber);

// One scan of the attached devices, run on the scan thread: list both adapter kinds,
// compare with the device list, and identify the devices that are new. What it finds
// stays in the object for the main thread's merge.
class TDeviceScan {
public:
  TDeviceScan(TDevEntryList& devList, std::recursive_mutex& devListLock, TLogSink& log)
      : DevList(devList), DevListLock(devListLock), Log(log) {}

  void ScanDevices();

  // Asked at shutdown: the devices not yet identified are left unasked.
  std::atomic<bool> StopRequested = false;

  TDevEntryList NewDevices;      // after matching: only devices not listed yet
  std::int32_t ErrorCode = 0;    // TScanError
  std::int32_t LastReplyCode = 0;  // no stage of a scan sets it; kept for the error line
  std::uint32_t StartTick = 0;
  std::int32_t Elapsed = 0;
  TEnumResult FtdiListing = erNotLoaded;
  TEnumResult QnListing = erNotLoaded;

private:
  template <typename Stage>
  void RunGuarded(Stage&& stage);
  void Enumerate();
  void MatchWithDevList();
  void IdentifyNewDevices();

  TDevEntryList& DevList;
  std::recursive_mutex& DevListLock;
  TLogSink& Log;
};
