#pragma once
// One simulated device: the device's side of the protocol, its NOR flash and the faults
// of its configuration. It knows nothing of time or adapters: it is given the bytes the
// host wrote and says what it answers and how much later. TSimBus serialises all calls.
#include <cstdint>
#include <map>
#include <string>
#include <vector>

#include "protocol/sectorlayout.h"
#include "sim/simdeviceconfig.h"

// Bytes the device sends, DelayMs after the frame that caused them was complete.
struct TSimBurst {
  std::vector<std::uint8_t> Bytes;
  std::uint32_t DelayMs = 0;
};

struct TSimReply {
  std::vector<TSimBurst> Bursts;
  bool Unplug = false;  // the device drops off the bus (UnplugAfterFrames ran out)
};

class TSimDevice {
public:
  explicit TSimDevice(const TSimDeviceConfig& config);

  // Takes a new configuration; the flash is laid out afresh (erased) only when the
  // processor or the boot loader's suffix changes the layout.
  void Configure(const TSimDeviceConfig& config);

  // Called when the host opens the device: a new session starts with an empty input.
  void StartSession();

  // Bytes from the host at the given time (ms); answers every command now complete.
  TSimReply Receive(const std::uint8_t* data, std::size_t length, std::uint64_t nowMs);

  TSimDeviceConfig Config;
  TSectorLayout Layout;
  std::vector<std::uint8_t> Flash;
  bool FlashChanged = false;        // since the bus last saved it
  bool ConfigChanged = false;       // mode change the bus should write to its file
  std::map<std::uint16_t, std::uint32_t> FramesByCode;  // well-formed frames received
  std::map<std::string, std::uint32_t> TextCommands;    // text commands received
  std::uint32_t BadFrames = 0;      // frames dropped for a wrong checksum

private:
  void LayOutFlash();
  bool TakeFrame(TSimReply& reply);
  bool TakeTextCommand(TSimReply& reply);
  bool CountFrameForUnplug(TSimReply& reply);
  std::vector<std::uint8_t> Answer(const std::vector<std::uint8_t>& frame, std::uint32_t& busyMs);
  std::vector<std::uint8_t> EraseSector(std::uint16_t sector, std::uint32_t address,
                                        std::uint32_t& busyMs);
  std::vector<std::uint8_t> WritePart(const std::vector<std::uint8_t>& frame,
                                      std::uint32_t& busyMs);
  std::uint16_t SectorReplyCode(std::uint16_t sector) const;
  void Deliver(std::vector<std::uint8_t> bytes, std::uint32_t busyMs, TSimReply& reply);

  std::vector<std::uint8_t> Input;
  std::uint64_t LastInputMs = 0;
};
