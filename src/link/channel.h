#pragma once
// The byte pipe to one device over its driver library, chosen by the record's
// AdapterKind (0: FTDI, anything else: QN). The channel knows nothing of frames.
// One user at a time per device; different devices may be used from different threads.
// Every operation fails at once, without a library call, when the library of the
// record's adapter kind is not loaded.
#include <cstdint>

class TDevEntry;

// Opens the device by the decimal text of its SerialNumber (and, on a QN adapter, its
// DeviceCode) and sets the read and write time-outs. True when the channel is open; on
// any failure the record's handle is left at 0.
bool DevOpen(TDevEntry& device);

// Resets (FTDI) and closes the device when its channel is open; the handle is 0 afterwards.
void DevClose(TDevEntry& device);

// One library write. True when the library accepted it; written gets the count the
// library reports, which the caller compares.
bool DevWriteChunk(TDevEntry& device, const std::uint8_t* data, std::uint32_t length,
                   std::uint32_t& written);

// Writes in pieces of at most 64 bytes with a 1 ms pause between pieces. True when every
// byte was written; stops at the first piece refused or written short.
bool DevWrite(TDevEntry& device, const std::uint8_t* data, std::uint32_t length);

// Returns the bytes the device has sent so far, at most maxLength, or 0 when nothing
// arrived in time. FTDI: polls for up to timeoutMs and returns as soon as anything has
// arrived (a reply still arriving is not waited for). QN: one library read, which waits
// at most the library's own read time-out set at open; timeoutMs is not used.
std::uint32_t DevRead(TDevEntry& device, std::uint8_t* buffer, std::uint32_t maxLength,
                      std::uint32_t timeoutMs);
