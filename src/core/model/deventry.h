#pragma once
#include <cstdint>
#include <memory>
#include <string_view>

#include "protocol/firmwareversion.h"

// The two ways a device is attached: an FTDI adapter or the maker's own QN interface.
enum class TAdapterKind : std::uint8_t { Ftdi, Qn };

// "FTDI" or "QN", as the log and the station's lines name the kind.
const char* AdapterKindName(TAdapterKind kind);

// The status line of a device whose application was told to start its boot loader.
inline constexpr const char* kReconnectStatusText = "Отключите прибор и подключите заново.";

// What a device said of itself, as a value the front ends keep and show.
struct TDeviceIdentity {
  std::int32_t SerialNumber = 0;
  TAdapterKind AdapterKind = TAdapterKind::Ftdi;
  bool BootMode = false;
  // The application was told to start its boot loader: the user must plug the device in
  // again before it can be written.
  bool MustReconnect = false;
  TFirmwareVersion FirmwareVersion;
  TFirmwareVersion LoaderVersion;  // known in boot-loader mode only
  std::uint32_t ProcessorId = 0;
};

// The record of one attached device. Enumeration creates it, the scan fills its identity
// while nobody else sees it, and hands it to the main thread, which lists it; from then on
// nothing changes it.
class TDevEntry {
public:
  TDevEntry(std::string_view serialText, std::uint16_t deviceCode, TAdapterKind adapterKind);
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
  TAdapterKind AdapterKind;

  TDeviceIdentity Identity() const;

  // Records alive in the process, for tests that check that none is leaked.
  static int LiveCountForTests();
};

// A serial-number text as a signed 32-bit number: decimal digits with an optional sign;
// anything else, an empty text or a value out of range gives -1.
std::int32_t SerialNumberFromText(std::string_view text);
