#include "link/enumeration.h"

#include <algorithm>
#include <cstring>
#include <string_view>

#include "model/deventry.h"
#include "link/driverlibs_p.h"
#include "link/linktime_p.h"
#include "protocol/logsink.h"

namespace {

constexpr int kFtdiTries = 50;
constexpr std::uint32_t kFtdiRetryMs = 100;
constexpr std::string_view kProductDescription = "Velmarkon";
constexpr const char* kDriverError = "Ошибка в драйвере";
constexpr std::uint16_t kFtdiDeviceCode = 0xFFFF;

// No USB host holds more devices than this; a larger count from a library is a fault,
// and asking it to fill so many records would only allocate memory for nothing.
constexpr std::uint32_t kMostDevices = 1024;

// A text field that the library should have zero-terminated, read without running past
// the field when it did not.
std::string_view FieldText(const char* field, std::size_t size) {
  return std::string_view(field, strnlen(field, size));
}

TEnumResult DriverError(TLogSink& log) {
  log.LogMessage(llError, 0, "%s", kDriverError);
  return erDriverError;
}

}  // namespace

TEnumResult EnumFtdiDevices(TDevEntryList& list, TLogSink& log) {
  if (!FtdiDriverLoaded()) return erNotLoaded;
  const TFtdiApi& api = FtdiDriver().Api;
  std::vector<FT_DEVICE_LIST_INFO_NODE> nodes;
  bool complete = false;
  for (int attempt = 0; attempt < kFtdiTries && !complete; ++attempt) {
    FT_DWORD count = 0;
    if (api.CreateDeviceInfoList(&count) != FT_OK) return DriverError(log);
    if (count == 0) return erListed;
    nodes.assign(std::min(count, kMostDevices), FT_DEVICE_LIST_INFO_NODE{});
    count = static_cast<FT_DWORD>(nodes.size());
    if (api.GetDeviceInfoList(nodes.data(), &count) != FT_OK) return DriverError(log);
    nodes.resize(std::min<std::size_t>(count, nodes.size()));
    // A record without its description is one the driver has not finished reading from
    // the adapter yet; the list is taken only once every record has one.
    complete = std::none_of(nodes.begin(), nodes.end(), [](const auto& node) {
      return node.Description[0] == '\0';
    });
    if (!complete) LinkTime().Sleep(kFtdiRetryMs);
  }
  if (!complete) return erIncomplete;
  for (const FT_DEVICE_LIST_INFO_NODE& node : nodes) {
    if (FieldText(node.Description, sizeof node.Description) != kProductDescription) continue;
    list.push_back(std::make_unique<TDevEntry>(
        FieldText(node.SerialNumber, sizeof node.SerialNumber), kFtdiDeviceCode, TAdapterKind::Ftdi));
  }
  return erListed;
}

TEnumResult EnumQnDevices(TDevEntryList& list, TLogSink& log) {
  if (!QnDriverLoaded()) return erNotLoaded;
  const TQnApi& api = QnDriver().Api;
  std::uint32_t count = 5;
  if (api.GetListDevices(QN_ALL_DEVICES, nullptr, &count) != 0) return DriverError(log);
  if (count == 0) return erListed;
  count = std::min(count, kMostDevices);
  std::vector<std::uint8_t> records(count * qnrecord::kSize, 0);
  std::uint32_t filled = count;
  if (api.GetListDevices(QN_ALL_DEVICES, records.data(), &filled) != 0)
    return DriverError(log);
  filled = std::min(filled, count);
  for (std::uint32_t i = 0; i < filled; ++i) {
    const std::uint8_t* record = records.data() + i * qnrecord::kSize;
    const auto code = static_cast<std::uint16_t>(record[qnrecord::kDeviceCodeOffset] |
                                                 record[qnrecord::kDeviceCodeOffset + 1] << 8);
    const auto* serial = reinterpret_cast<const char*>(record + qnrecord::kSerialOffset);
    list.push_back(
        std::make_unique<TDevEntry>(FieldText(serial, qnrecord::kSerialSize), code, TAdapterKind::Qn));
  }
  return erListed;
}
