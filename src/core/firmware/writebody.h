#pragma once
#include <cstdint>
#include <string>
#include <vector>

#include "model/deventry.h"
#include "firmware/imageload.h"
#include "firmware/writeresult.h"
#include "protocol/bytechannel.h"
#include "protocol/logsink.h"
#include "protocol/sectorlayout.h"

// What the write needs from the rest of the program while it runs; on a write thread each
// call is a synchronous hand-over to the main thread.
class TWriteHost {
public:
  virtual void SetProgress(int position) = 0;  // 0..100
  virtual bool StopRequested() = 0;

protected:
  ~TWriteHost() = default;
};

// Writes the firmware image into one device in boot-loader mode: lays the image (loaded
// when the write was started, or its failed load) into a
// flash image by the device's sector layout, checks compatibility, then erases and writes
// every non-empty sector of the range over the channel, and closes the run with frame 11
// or 12. Every step goes to the log with the device's serial number.
class TWriteBody {
public:
  TWriteBody(const TDevEntry& device, TByteChannel& channel, TFirmwareImage image,
             TWriteHost& host, TLogSink& log);

  void Execute();

  // The outcome, valid once Execute has returned.
  TWriteOutcome Outcome() const;
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

  TFirmwareImage Image;
  TSectorLayout Layout;
  std::vector<std::uint8_t> FlashImage;
  std::uint32_t StartTick = 0;
  bool SectorProtected = false;  // some sector answered 131 and kept its old contents
  std::uint16_t EraseCode = 0;
  std::uint16_t WriteCode = 0;
  std::uint8_t Reply[14] = {};
};
