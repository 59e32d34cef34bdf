#pragma once
#include <cstdint>
#include <memory>
#include <string_view>

#include "protocol/firmwareversion.h"

// The record of one attached device. Enumeration creates it, the scan fills its identity
// while nobody else sees it, and hands it to the main thread, which lists it; from then on
// nothing changes it.
class TDevEntry {
public:
  TDevEntry(std::string_view serialText, std::uint16_t deviceCode, std::int32_t adapterKind);
  ~TDevEntry();
  TDevEntry(const TDevEntry&) = delete;
  TDevEntry& operator=(const TDevEntry&) = delete;

  std::int32_t SerialNumber;
  std::uint16_t DeviceCode;
  std::uint32_t ProcessorId = 0;
  bool BootMode = false;
  bool BootStarted = false;
  TFirmwareVersion FirmwareVersion;
  TFirmwareVersion LoaderVersion;
  std::int32_t AdapterKind;  // 0: FTDI adapter; any other value: QN adapter

  // Records alive in the process, for tests that check that none is leaked.
  static int LiveCountForTests();
};

// A serial-number text as a signed 32-bit number: decimal digits with an optional sign;
// anything else, an empty text or a value out of range gives -1.
std::int32_t SerialNumberFromText(std::string_view text);
