#pragma once
#include <cstdint>

#include "model/deventry.h"
#include "protocol/bytechannel.h"
#include "protocol/logsink.h"

// Error codes a scan keeps for its whole run; a later failure replaces an earlier code,
// success never resets it.
enum TScanError : std::int32_t {
  seNone = 0,
  seOpenFailed = 7,  // the channel of a new device did not open
  seNoAnswer = 8,    // a new device answered no version query
};

// Finds out whether a new device runs its boot loader or its application, reads what
// that mode can tell into the record, and tells an application to start its boot loader.
// Runs on the scan thread on a record nobody else sees yet. Returns true when
// scanErrorCode is 0 afterwards (which an earlier device of the scan may have spoilt).
bool IdentifyDevice(TDevEntry& device, TByteChannel& channel, TLogSink& log,
                    std::int32_t& scanErrorCode);
