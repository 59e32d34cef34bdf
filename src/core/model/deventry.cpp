#include "model/deventry.h"

#include <atomic>
#include <charconv>
#include <limits>

std::int32_t SerialNumberFromText(std::string_view text) {
  text = text.substr(0, text.find('\0'));
  // from_chars takes a '-' but not a '+'.
  if (!text.empty() && text.front() == '+') {
    text.remove_prefix(1);
    if (!text.empty() && text.front() == '-') return -1;
  }
  if (text.empty()) return -1;
  std::int64_t value = 0;
  const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
  if (error != std::errc{} || end != text.data() + text.size()) return -1;
  if (value < std::numeric_limits<std::int32_t>::min() ||
      value > std::numeric_limits<std::int32_t>::max())
    return -1;
  return static_cast<std::int32_t>(value);
}

namespace {
std::atomic<int> LiveRecords{0};
}

int TDevEntry::LiveCountForTests() { return LiveRecords.load(); }

TDevEntry::TDevEntry(std::string_view serialText, std::uint16_t deviceCode,
                     TAdapterKind adapterKind)
    : SerialNumber(SerialNumberFromText(serialText)),
      DeviceCode(deviceCode),
      AdapterKind(adapterKind) {
  ++LiveRecords;
}

TDevEntry::~TDevEntry() { --LiveRecords; }

TDeviceIdentity TDevEntry::Identity() const {
  return {SerialNumber, AdapterKind,     BootMode,       !BootMode && BootStarted,
          FirmwareVersion, LoaderVersion, ProcessorId};
}

const char* AdapterKindName(TAdapterKind kind) {
  return kind == TAdapterKind::Ftdi ? "FTDI" : "QN";
}
