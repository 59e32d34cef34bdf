#pragma once
// What a simulated device is: its identity, its mode, the faults switched on and its
// timing. This is what the bus file holds per device and what tests set through TSimBus.
#include <cstdint>
#include <string>
#include <vector>

enum TSimAdapter : std::uint8_t { saFtdi, saQn };

// Counted faults act on the next N frames (or listings) and count down; a negative
// count keeps the fault on for good.
struct TSimDeviceConfig {
  std::string Name;  // key on the bus; letters, digits, '-' and '_' only
  TSimAdapter Adapter = saFtdi;
  std::string Serial = "1";              // serial-number text as the adapter reports it
  std::uint16_t DeviceCode = 0x0100;     // QN listing and open; FTDI devices ignore it
  std::string Description = "Velmarkon"; // FTDI description
  bool BootMode = true;                  // false: application mode
  bool BootOnNextPlug = false;           // set by "START_BOOT_LOADER"
  std::uint32_t ProcessorId = 0x25013F37;
  std::string FirmwareVersion = "VLQN-2.3";
  std::string LoaderVersion = "VLQN-1.4";
  bool Plugged = true;

  // Faults.
  bool Silent = false;                   // receives everything, answers nothing
  bool Locked = false;                   // erase and write answered with 138
  std::vector<std::uint16_t> ProtectedSectors;  // answered with 131, left unchanged
  int WrongSectorReplies = 0;            // sector replies name the next sector
  int WrongAddressReplies = 0;           // sector replies name the address + 512
  int ShortReplies = 0;                  // replies lose their last third
  int MissingReplies = 0;                // frames go unanswered
  int SplitReplies = 0;                  // replies come in two bursts, SplitGapMs apart
  std::uint32_t ReplyDelayMs = 0;        // every reply comes this much later
  int UnplugAfterFrames = -1;            // answers N more frames, drops off at the next
  bool RefuseOpen = false;
  int EmptyDescriptionListings = 0;      // FTDI listings show an empty description
  int ListingErrors = 0;                 // listings of its adapter kind fail

  // Timing, in milliseconds.
  std::uint32_t EraseMsPerSector = 10;
  std::uint32_t WriteMsPerPart = 2;
  std::uint32_t LatencyMs = 16;          // FTDI latency timer: replies surface on its ticks
  std::uint32_t SplitGapMs = 20;

  bool operator==(const TSimDeviceConfig&) const = default;
};

// A name the bus file and the flash file beside it can carry safely.
bool IsValidSimDeviceName(const std::string& name);

// Applies a counted fault to one frame or listing: true when it is on, counting it down.
inline bool ConsumeFault(int& count) {
  if (count == 0) return false;
  if (count > 0) --count;
  return true;
}

// Plugs a device in: one that was told to start its boot loader comes up in boot mode.
inline void PlugIn(TSimDeviceConfig& config) {
  if (!config.Plugged && config.BootOnNextPlug) {
    config.BootMode = true;
    config.BootOnNextPlug = false;
  }
  config.Plugged = true;
}
