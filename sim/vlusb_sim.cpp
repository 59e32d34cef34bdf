// Stand-in for the maker's USB library (QN adapter), built on the simulated bus. It
// exports the 7 names the loader looks up and keeps the call contract to the letter: the
// two-call listing with the count going in and out, 25-byte packed records, and
// QN_CloseDevice taking the address of the handle.
#include <algorithm>
#include <cstring>
#include <type_traits>
#include <vector>

#include "link/vlusb_p.h"
#include "sim/simbus.h"

#define QN_EXPORT extern "C" VL_STANDIN_EXPORT QN_STATUS VL_QNAPI
#define COUNT_CALL() TSimBus::Instance().CountCall(__func__)

namespace {

// Status values of this stand-in; the system only tells 0 from the rest.
constexpr QN_STATUS kOk = 0;
constexpr QN_STATUS kNotFound = 1;
constexpr QN_STATUS kInvalidHandle = 2;
constexpr QN_STATUS kIoError = 3;
constexpr QN_STATUS kBadParameter = 4;
constexpr QN_STATUS kBusy = 5;

}  // namespace

QN_EXPORT QN_GetListDevices(std::uint16_t filter, void* records, std::uint32_t* count) {
  COUNT_CALL();
  if (!count) return kBadParameter;
  std::vector<TSimListing> devices;
  if (!TSimBus::Instance().List(saQn, devices)) return kIoError;
  if (filter != QN_ALL_DEVICES)
    std::erase_if(devices, [filter](const TSimListing& d) { return d.DeviceCode != filter; });
  if (!records) {
    *count = static_cast<std::uint32_t>(devices.size());
    return kOk;
  }
  // Never more records than the caller made room for.
  const std::size_t filled = std::min<std::size_t>(*count, devices.size());
  auto* out = static_cast<std::uint8_t*>(records);
  for (std::size_t i = 0; i < filled; ++i) {
    std::uint8_t* record = out + i * qnrecord::kSize;
    std::memset(record, 0, qnrecord::kSize);
    record[0] = static_cast<std::uint8_t>(i);  // position on the bus
    record[1] = static_cast<std::uint8_t>(i >> 8);
    record[qnrecord::kDeviceCodeOffset] = static_cast<std::uint8_t>(devices[i].DeviceCode);
    record[qnrecord::kDeviceCodeOffset + 1] = static_cast<std::uint8_t>(devices[i].DeviceCode >> 8);
    const std::size_t length = std::min(devices[i].Serial.size(), qnrecord::kSerialSize - 1);
    std::memcpy(record + qnrecord::kSerialOffset, devices[i].Serial.data(), length);
  }
  *count = static_cast<std::uint32_t>(filled);
  return kOk;
}

QN_EXPORT QN_OpenDevice(std::uint16_t deviceCode, const char* serial, QN_HANDLE* handle) {
  COUNT_CALL();
  if (!serial || !handle) return kBadParameter;
  const std::string key(serial);
  std::uint32_t session = 0;
  const TSimOpenResult result = TSimBus::Instance().Open(
      saQn,
      [&](const TSimDeviceConfig& c) { return c.Serial == key && c.DeviceCode == deviceCode; },
      session);
  *handle = result == soOpened ? session : 0;
  if (result == soOpened) return kOk;
  return result == soNotFound ? kNotFound : kBusy;
}

QN_EXPORT QN_CloseDevice(QN_HANDLE* handle) {
  COUNT_CALL();
  if (!handle) return kBadParameter;
  const bool closed = TSimBus::Instance().Close(*handle);
  *handle = 0;
  return closed ? kOk : kInvalidHandle;
}

// Returns once length bytes have arrived or the read time-out set by QN_SetTimeouts
// (500 ms until it is called) has passed, with whatever has arrived by then.
QN_EXPORT QN_Read(QN_HANDLE handle, void* buffer, std::uint32_t length, std::uint32_t* count) {
  COUNT_CALL();
  if (!buffer || !count) return kBadParameter;
  *count = 0;
  const auto read = TSimBus::Instance().Read(handle, static_cast<std::uint8_t*>(buffer), length);
  if (!read) return kIoError;
  *count = *read;
  return kOk;
}

QN_EXPORT QN_Write(QN_HANDLE handle, const void* data, std::uint32_t length, std::uint32_t* count) {
  COUNT_CALL();
  if (!data || !count) return kBadParameter;
  *count = 0;
  if (!TSimBus::Instance().Write(handle, static_cast<const std::uint8_t*>(data), length))
    return kIoError;
  *count = length;
  return kOk;
}

QN_EXPORT QN_Purge(QN_HANDLE handle) {
  COUNT_CALL();
  return TSimBus::Instance().Purge(handle) ? kOk : kInvalidHandle;
}

QN_EXPORT QN_SetTimeouts(QN_HANDLE handle, std::uint32_t readTimeout, std::uint32_t writeTimeout) {
  COUNT_CALL();
  return TSimBus::Instance().SetTimeouts(handle, readTimeout, writeTimeout) ? kOk : kInvalidHandle;
}

static_assert(std::is_same_v<decltype(&QN_GetListDevices), TQN_GetListDevices>);
static_assert(std::is_same_v<decltype(&QN_OpenDevice), TQN_OpenDevice>);
static_assert(std::is_same_v<decltype(&QN_CloseDevice), TQN_CloseDevice>);
static_assert(std::is_same_v<decltype(&QN_Read), TQN_Read>);
static_assert(std::is_same_v<decltype(&QN_Write), TQN_Write>);
static_assert(std::is_same_v<decltype(&QN_Purge), TQN_Purge>);
static_assert(std::is_same_v<decltype(&QN_SetTimeouts), TQN_SetTimeouts>);
