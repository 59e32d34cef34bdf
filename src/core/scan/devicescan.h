#pragma once
#include <atomic>
#include <cstdint>
#include <functional>
#include <memory>
#include <vector>

#include "model/deventry.h"
#include "link/channelfactory.h"
#include "link/enumeration.h"
#include "scan/identityquery.h"
#include "protocol/bytechannel.h"
#include "protocol/logsink.h"

// A device the main thread has listed, as a scan sees it: a copy, named by the id of the
// main thread's record.
struct TListedDevice {
  std::uint64_t Id = 0;
  std::int32_t SerialNumber = 0;
  TAdapterKind AdapterKind = TAdapterKind::Ftdi;
};

// Lists the attached devices of each adapter kind (the driver libraries; fakes in tests).
class TDeviceEnumerator {
public:
  virtual ~TDeviceEnumerator() = default;
  virtual TEnumResult ListFtdi(TDevEntryList& list, TLogSink& log) = 0;
  virtual TEnumResult ListQn(TDevEntryList& list, TLogSink& log) = 0;
};

// What one scan found, handed back whole.
struct TScanResult {
  TEnumResult FtdiListing = erNotLoaded;
  TEnumResult QnListing = erNotLoaded;
  std::vector<std::uint64_t> Gone;  // ids of listed devices that a complete listing lacks
  TDevEntryList NewDevices;         // not listed yet, identified, in the order listed
  std::int32_t ErrorCode = 0;       // TScanError: the last device that failed
  std::int32_t LastReplyCode = 0;   // no stage of a scan sets it; kept for the error line
  std::int32_t Elapsed = 0;
};

// What a scan works with besides the listed devices.
struct TScanTools {
  TDeviceEnumerator& Enumerator;
  TChannelFactory& Channels;
  TLogSink& Log;
  // Told the gone devices as soon as the listing shows them, before the new devices are
  // identified (which takes a while), so that their writes can be stopped at once.
  std::function<void(const std::vector<std::uint64_t>& gone)> ReportGone;
  // Set at shutdown: the devices not yet identified are left unasked.
  const std::atomic<bool>* StopRequested = nullptr;
};

// One scan of the attached devices: lists both adapter kinds (FTDI first), matches the
// listing with what is listed, and identifies the devices that are new. An error inside a
// stage is logged and ends that stage only.
TScanResult ScanDevices(const std::vector<TListedDevice>& listed, const TScanTools& tools);
