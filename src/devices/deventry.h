#pragma once
#include <cstdint>
#include <memory>
#include <string_view>

#include "protocol/firmwareversion.h"
#include "protocol/loglevel.h"

// What the device record knows of its panel in the main window. The panel itself is a
// widget group (TFWLoaderDevGroup); the record owns it, so deleting the record removes
// the panel from the window.
class TDevPanel {
public:
  virtual ~TDevPanel() = default;
  virtual void SetStatus(std::string_view text, TLogLevel level) = 0;
};

// The part of a running write that the scan may touch, under DevListLock: asking it to
// stop because its device has gone.
class TWriteControl {
public:
  virtual void RequestStop() = 0;

protected:
  ~TWriteControl() = default;
};

// The record of one attached device. Enumeration creates it, the scan fills its identity
// and moves it into DevList; a channel made from it (link/channel.h) copies what it opens by.
// DevList and, in listed records, Disconnected and WriteThread are guarded by
// DevListLock; the identity fields are written only while the record is new and private
// to the scan thread.
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
  bool Disconnected = false;
  std::unique_ptr<TDevPanel> Panel;
  TWriteControl* WriteThread = nullptr;  // not owned: a write thread frees itself
  TFirmwareVersion FirmwareVersion;
  TFirmwareVersion LoaderVersion;
  std::int32_t AdapterKind;  // 0: FTDI adapter; any other value: QN adapter

  // Records alive in the process, for tests that check that none is leaked.
  static int LiveCountForTests();
};

// A serial-number text as a signed 32-bit number: decimal digits with an optional sign;
// anything else, an empty text or a value out of range gives -1.
std::int32_t SerialNumberFromText(std::string_view text);
