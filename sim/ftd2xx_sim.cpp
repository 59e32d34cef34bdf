// Stand-in for the FTDI D2XX library, built on the simulated bus. It exports the 21
// names the loader looks up, with the types of our own declaration in link/.
#include <algorithm>
#include <cstdint>
#include <cstring>
#include <mutex>
#include <type_traits>
#include <vector>

#include "link/ftd2xx_p.h"
#include "sim/simbus.h"

#define FT_EXPORT extern "C" VL_STANDIN_EXPORT FT_STATUS VL_FTAPI
#define COUNT_CALL() TSimBus::Instance().CountCall(__func__)

namespace {

// FT_CreateDeviceInfoList takes a snapshot that FT_GetDeviceInfoList hands out, as the
// real library keeps its list between the two calls.
std::mutex SnapshotMutex;
std::vector<TSimListing> Snapshot;

std::uint32_t SessionOf(FT_HANDLE handle) {
  return static_cast<std::uint32_t>(reinterpret_cast<std::uintptr_t>(handle));
}

FT_HANDLE HandleOf(std::uint32_t session) {
  return reinterpret_cast<FT_HANDLE>(static_cast<std::uintptr_t>(session));
}

void CopyText(char* field, std::size_t size, const std::string& text) {
  const std::size_t length = std::min(text.size(), size - 1);
  std::memcpy(field, text.data(), length);
  std::memset(field + length, 0, size - length);
}

FT_STATUS Opened(TSimOpenResult result, std::uint32_t session, FT_HANDLE* handle) {
  *handle = result == soOpened ? HandleOf(session) : nullptr;
  if (result == soOpened) return FT_OK;
  return result == soNotFound ? FT_DEVICE_NOT_FOUND : FT_DEVICE_NOT_OPENED;
}

// Serial-line settings mean nothing to a simulated adapter: accepted on an open handle.
FT_STATUS Accept(FT_HANDLE handle) {
  return TSimBus::Instance().Describe(SessionOf(handle)) ? FT_OK : FT_INVALID_HANDLE;
}

constexpr FT_ULONG kDeviceType232R = 5;
constexpr FT_DWORD kVendorProduct = 0x04036001;

}  // namespace

FT_EXPORT FT_ListDevices(void* arg1, void* /*arg2*/, FT_DWORD flags) {
  COUNT_CALL();
  if (!(flags & FT_LIST_NUMBER_ONLY) || !arg1) return FT_INVALID_PARAMETER;
  *static_cast<FT_DWORD*>(arg1) =
      static_cast<FT_DWORD>(TSimBus::Instance().Peek(saFtdi).size());
  return FT_OK;
}

FT_EXPORT FT_Open(int deviceNumber, FT_HANDLE* handle) {
  COUNT_CALL();
  if (!handle) return FT_INVALID_PARAMETER;
  const std::vector<TSimListing> devices = TSimBus::Instance().Peek(saFtdi);
  if (deviceNumber < 0 || static_cast<std::size_t>(deviceNumber) >= devices.size()) {
    *handle = nullptr;
    return FT_DEVICE_NOT_FOUND;
  }
  const std::string serial = devices[static_cast<std::size_t>(deviceNumber)].Serial;
  std::uint32_t session = 0;
  const TSimOpenResult result = TSimBus::Instance().Open(
      saFtdi, [&](const TSimDeviceConfig& c) { return c.Serial == serial; }, session);
  return Opened(result, session, handle);
}

FT_EXPORT FT_Close(FT_HANDLE handle) {
  COUNT_CALL();
  return TSimBus::Instance().Close(SessionOf(handle)) ? FT_OK : FT_INVALID_HANDLE;
}

FT_EXPORT FT_ResetDevice(FT_HANDLE handle) {
  COUNT_CALL();
  return TSimBus::Instance().Purge(SessionOf(handle)) ? FT_OK : FT_IO_ERROR;
}

FT_EXPORT FT_Purge(FT_HANDLE handle, FT_ULONG /*mask*/) {
  COUNT_CALL();
  return TSimBus::Instance().Purge(SessionOf(handle)) ? FT_OK : FT_IO_ERROR;
}

FT_EXPORT FT_Read(FT_HANDLE handle, void* buffer, FT_DWORD bytesToRead, FT_DWORD* bytesReturned) {
  COUNT_CALL();
  if (!buffer || !bytesReturned) return FT_INVALID_PARAMETER;
  *bytesReturned = 0;
  const auto count =
      TSimBus::Instance().Read(SessionOf(handle), static_cast<std::uint8_t*>(buffer), bytesToRead);
  if (!count) return FT_IO_ERROR;
  *bytesReturned = *count;
  return FT_OK;
}

FT_EXPORT FT_Write(FT_HANDLE handle, void* buffer, FT_DWORD bytesToWrite, FT_DWORD* bytesWritten) {
  COUNT_CALL();
  if (!buffer || !bytesWritten) return FT_INVALID_PARAMETER;
  *bytesWritten = 0;
  if (!TSimBus::Instance().Write(SessionOf(handle), static_cast<const std::uint8_t*>(buffer),
                                 bytesToWrite))
    return FT_IO_ERROR;
  *bytesWritten = bytesToWrite;
  return FT_OK;
}

FT_EXPORT FT_SetDivisor(FT_HANDLE handle, std::uint16_t /*divisor*/) {
  COUNT_CALL();
  return Accept(handle);
}

FT_EXPORT FT_SetTimeouts(FT_HANDLE handle, FT_ULONG readTimeout, FT_ULONG writeTimeout) {
  COUNT_CALL();
  return TSimBus::Instance().SetTimeouts(SessionOf(handle), readTimeout, writeTimeout)
             ? FT_OK
             : FT_INVALID_HANDLE;
}

FT_EXPORT FT_SetBaudRate(FT_HANDLE handle, FT_ULONG /*baudRate*/) {
  COUNT_CALL();
  return Accept(handle);
}

FT_EXPORT FT_GetDeviceInfo(FT_HANDLE handle, FT_DEVICE* device, FT_DWORD* id,
                           char* serialNumber, char* description, void* /*dummy*/) {
  COUNT_CALL();
  const auto listing = TSimBus::Instance().Describe(SessionOf(handle));
  if (!listing) return FT_INVALID_HANDLE;
  if (device) *device = kDeviceType232R;
  if (id) *id = kVendorProduct;
  if (serialNumber) CopyText(serialNumber, FT_SERIAL_NUMBER_SIZE, listing->Serial);
  if (description) CopyText(description, FT_DESCRIPTION_SIZE, listing->Description);
  return FT_OK;
}

FT_EXPORT FT_GetStatus(FT_HANDLE handle, FT_DWORD* rxBytes, FT_DWORD* txBytes,
                       FT_DWORD* eventStatus) {
  COUNT_CALL();
  if (!rxBytes || !txBytes || !eventStatus) return FT_INVALID_PARAMETER;
  *rxBytes = *txBytes = *eventStatus = 0;
  const auto waiting = TSimBus::Instance().Waiting(SessionOf(handle));
  if (!waiting) return FT_IO_ERROR;
  *rxBytes = *waiting;
  return FT_OK;
}

FT_EXPORT FT_GetQueueStatus(FT_HANDLE handle, FT_DWORD* rxBytes) {
  COUNT_CALL();
  if (!rxBytes) return FT_INVALID_PARAMETER;
  *rxBytes = 0;
  const auto waiting = TSimBus::Instance().Waiting(SessionOf(handle));
  if (!waiting) return FT_IO_ERROR;
  *rxBytes = *waiting;
  return FT_OK;
}

FT_EXPORT FT_SetRts(FT_HANDLE handle) {
  COUNT_CALL();
  return Accept(handle);
}

FT_EXPORT FT_SetDataCharacteristics(FT_HANDLE handle, std::uint8_t, std::uint8_t, std::uint8_t) {
  COUNT_CALL();
  return Accept(handle);
}

FT_EXPORT FT_SetFlowControl(FT_HANDLE handle, std::uint16_t, std::uint8_t, std::uint8_t) {
  COUNT_CALL();
  return Accept(handle);
}

FT_EXPORT FT_SetLatencyTimer(FT_HANDLE handle, std::uint8_t latency) {
  COUNT_CALL();
  return TSimBus::Instance().SetLatency(SessionOf(handle), latency) ? FT_OK : FT_INVALID_HANDLE;
}

FT_EXPORT FT_CreateDeviceInfoList(FT_DWORD* numDevs) {
  COUNT_CALL();
  if (!numDevs) return FT_INVALID_PARAMETER;
  std::vector<TSimListing> devices;
  if (!TSimBus::Instance().List(saFtdi, devices)) return FT_OTHER_ERROR;
  std::lock_guard lock(SnapshotMutex);
  Snapshot = devices;
  *numDevs = static_cast<FT_DWORD>(Snapshot.size());
  return FT_OK;
}

FT_EXPORT FT_GetDeviceInfoList(FT_DEVICE_LIST_INFO_NODE* list, FT_DWORD* numDevs) {
  COUNT_CALL();
  if (!list || !numDevs) return FT_INVALID_PARAMETER;
  std::lock_guard lock(SnapshotMutex);
  const std::size_t count = std::min<std::size_t>(*numDevs, Snapshot.size());
  for (std::size_t i = 0; i < count; ++i) {
    FT_DEVICE_LIST_INFO_NODE& node = list[i];
    node.Flags = 0;
    node.Type = kDeviceType232R;
    node.ID = kVendorProduct;
    node.LocId = static_cast<FT_DWORD>(i + 1);
    CopyText(node.SerialNumber, sizeof node.SerialNumber, Snapshot[i].Serial);
    CopyText(node.Description, sizeof node.Description, Snapshot[i].Description);
    node.ftHandle = nullptr;
  }
  *numDevs = static_cast<FT_DWORD>(count);
  return FT_OK;
}

FT_EXPORT FT_OpenEx(void* arg1, FT_DWORD flags, FT_HANDLE* handle) {
  COUNT_CALL();
  if (!arg1 || !handle) return FT_INVALID_PARAMETER;
  const std::string key(static_cast<const char*>(arg1));
  std::function<bool(const TSimDeviceConfig&)> match;
  if (flags == FT_OPEN_BY_SERIAL_NUMBER)
    match = [&](const TSimDeviceConfig& c) { return c.Serial == key; };
  else if (flags == FT_OPEN_BY_DESCRIPTION)
    match = [&](const TSimDeviceConfig& c) { return c.Description == key; };
  else
    return FT_INVALID_PARAMETER;
  std::uint32_t session = 0;
  const TSimOpenResult result = TSimBus::Instance().Open(saFtdi, match, session);
  return Opened(result, session, handle);
}

FT_EXPORT FT_Rescan() {
  COUNT_CALL();
  return FT_OK;
}

// The exports must match the loader's declarations exactly.
static_assert(std::is_same_v<decltype(&FT_ListDevices), TFT_ListDevices>);
static_assert(std::is_same_v<decltype(&FT_Open), TFT_Open>);
static_assert(std::is_same_v<decltype(&FT_Close), TFT_Close>);
static_assert(std::is_same_v<decltype(&FT_ResetDevice), TFT_ResetDevice>);
static_assert(std::is_same_v<decltype(&FT_Purge), TFT_Purge>);
static_assert(std::is_same_v<decltype(&FT_Read), TFT_Read>);
static_assert(std::is_same_v<decltype(&FT_Write), TFT_Write>);
static_assert(std::is_same_v<decltype(&FT_SetDivisor), TFT_SetDivisor>);
static_assert(std::is_same_v<decltype(&FT_SetTimeouts), TFT_SetTimeouts>);
static_assert(std::is_same_v<decltype(&FT_SetBaudRate), TFT_SetBaudRate>);
static_assert(std::is_same_v<decltype(&FT_GetDeviceInfo), TFT_GetDeviceInfo>);
static_assert(std::is_same_v<decltype(&FT_GetStatus), TFT_GetStatus>);
static_assert(std::is_same_v<decltype(&FT_GetQueueStatus), TFT_GetQueueStatus>);
static_assert(std::is_same_v<decltype(&FT_SetRts), TFT_SetRts>);
static_assert(std::is_same_v<decltype(&FT_SetDataCharacteristics), TFT_SetDataCharacteristics>);
static_assert(std::is_same_v<decltype(&FT_SetFlowControl), TFT_SetFlowControl>);
static_assert(std::is_same_v<decltype(&FT_SetLatencyTimer), TFT_SetLatencyTimer>);
static_assert(std::is_same_v<decltype(&FT_CreateDeviceInfoList), TFT_CreateDeviceInfoList>);
static_assert(std::is_same_v<decltype(&FT_GetDeviceInfoList), TFT_GetDeviceInfoList>);
static_assert(std::is_same_v<decltype(&FT_OpenEx), TFT_OpenEx>);
static_assert(std::is_same_v<decltype(&FT_Rescan), TFT_Rescan>);
