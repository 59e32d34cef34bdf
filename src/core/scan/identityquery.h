#pragma once
#include <cstdint>

#include "model/deventry.h"
#include "protocol/bytechannel.h"
#include "protocol/logsink.h"

// How the identity of one device ended; a scan keeps the last failure of its devices.
enum TScanError : std::int32_t {
  seNone = 0,
  seOpenFailed = 7,  // the channel of a new device did not open
  seNoAnswer = 8,    // a new device answered no version query
};

// Finds out whether a new device runs its boot loader or its application, reads what
// that mode can tell into the record, and tells an application to start its boot loader.
// Runs on the scan thread on a record nobody else sees yet. versionOnly: an earlier
// device of the scan has failed, so none of its new devices will be listed; this one is
// asked for its version, and nothing more.
TScanError IdentifyDevice(TDevEntry& device, TByteChannel& channel, TLogSink& log,
                          bool versionOnly = false);
