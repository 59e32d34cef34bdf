#pragma once
#include <cstdint>
#include <string>

#include "protocol/loglevel.h"

// Result codes of a write.
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

// How a write ended: everything a front end shows or records of it, as one value.
struct TWriteOutcome {
  std::int32_t SerialNumber = 0;
  std::int32_t ResultCode = wrSuccess;  // TWriteResult
  std::uint32_t LastReplyCode = 0;      // code of the device's latest accepted sector reply
  std::int32_t Elapsed = 0;             // ms, from the write's start to its closing frame
  std::string StatusText;               // the device's status line
  TLogLevel StatusLevel = llSuccess;

  // The fields a record of the write carries, by name and in this order: the station's
  // result event takes them from here, so a field added above and named here reaches it.
  template <typename TVisit>
  void VisitFields(TVisit&& visit) const {
    visit("serial", SerialNumber);
    visit("code", ResultCode);
    visit("last_reply", LastReplyCode);
    visit("text", StatusText);
  }
};

// The outcome of a write that ended with resultCode, with its status text and level.
TWriteOutcome WriteOutcome(std::int32_t serialNumber, std::int32_t resultCode,
                           std::uint32_t lastReplyCode, std::int32_t elapsed);

// The event-log line that reports the outcome.
struct TWriteEndLine {
  TLogLevel Level;
  std::string Text;
};
TWriteEndLine WriteEndLine(const TWriteOutcome& outcome);
