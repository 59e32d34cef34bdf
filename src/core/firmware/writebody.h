#pragma once
#include <cstdint>
#include <string>
#include <vector>

#include "model/deventry.h"
#include "firmware/firmwareblock.h"
#include "protocol/bytechannel.h"
#include "protocol/logsink.h"
#include "protocol/sectorlayout.h"

// Result codes of a write; the end handling turns them into texts.
enum TWriteResult : std::int32_t {
  wrSuccess = 0,
  wrLoadFailed = 1,
  wrNoSectorRange = 2,
  wrBlockOutsideFlash = 3,
  wrNothingToWrite = 4,
  wrEraseFailed = 5,
  wrWriteFailed = 6,
  wrOpenFailed = 7,
  wrIncompatible = 9,
  wrStopped = 10,  // the device vanished and the write was stopped between sectors
  // A sector answered "protected" and kept its old contents: the flash may not hold the
  // image, so the write must not be reported as done. The device, which accepted every
  // exchange, still gets the closing frame of a completed run.
  wrSectorProtected = 11,
};

// What the write needs from the rest of the program; on a write thread each call is a
// synchronous hand-over to the main thread.
class TWriteHost {
public:
  // Loads the image afresh from the source the window has selected.
  virtual bool ReloadImage(TFirmwareBlockList& blocks, TFirmwareVersion& version) = 0;
  virtual void SetProgress(int position) = 0;  // 0..100
  virtual bool StopRequested() = 0;

protected:
  ~TWriteHost() = default;
};

// Writes the firmware image into one device in boot-loader mode: lays the image into a
// flash image by the device's sector layout, checks compatibility, then erases and writes
// every non-empty sector of the range over the channel, and closes the run with frame 11
// or 12. Every step goes to the log with the device's serial number.
class TWriteBody {
public:
  TWriteBody(const TDevEntry& device, TByteChannel& channel, TWriteHost& host, TLogSink& log);

  void Execute();

  // The outcome, read by the end handling.
  std::int32_t ResultCode = wrSuccess;
  std::uint32_t LastReplyCode = 0;  // code of the latest accepted sector reply
  std::int32_t Elapsed = 0;

  // Exposed for tests and the log.
  std::int32_t FirstSector = -1;
  std::int32_t LastSector = -1;
  std::int32_t TotalParts = 0;
  std::int32_t PartsDone = 0;

private:
  void Prepare();
  bool IsSectorEmpty(std::int32_t n) const;
  bool EraseSector(std::int32_t n);
  bool WriteSector(std::int32_t n);
  bool SectorExchange(const std::vector<std::uint8_t>& request, std::int32_t sector,
                      std::uint32_t address, bool isWrite);
  void SendClosingFrame();
  void UpdateProgress();
  std::int32_t Now() const;
  void Log(TLogLevel level, const std::string& text);

  const TDevEntry& Device;
  TByteChannel& Channel;
  TWriteHost& Host;
  TLogSink& Sink;

  TFirmwareBlockList Blocks;
  TFirmwareVersion ImageVersion;
  TSectorLayout Layout;
  std::vector<std::uint8_t> FlashImage;
  std::uint32_t StartTick = 0;
  bool SectorProtected = false;  // some sector answered 131 and kept its old contents
  std::uint16_t EraseCode = 0;
  std::uint16_t WriteCode = 0;
  std::uint8_t Reply[14] = {};
};
