#pragma once
// The byte pipe to one device over its driver library: one class per adapter kind
// (link/ftdichannel.h, link/qnchannel.h), each owning the library's handle to the device.
// The channel knows nothing of frames. One user at a time per channel; channels of
// different devices may be used from different threads. Every operation fails at once,
// without a library call, when the library of the channel's adapter kind is not loaded.
#include <cstdint>

#include "protocol/bytechannel.h"

class TDeviceChannel : public TByteChannel {
public:
  TDeviceChannel() = default;
  TDeviceChannel(const TDeviceChannel&) = delete;
  TDeviceChannel& operator=(const TDeviceChannel&) = delete;

  // Opens the device by the decimal text of its serial number (and, on a QN adapter, its
  // device code) and sets the read and write time-outs. True when the channel is open; on
  // any failure it is left closed.
  bool Open() override = 0;

  // Resets (FTDI) and closes the device when the channel is open. A channel still open
  // when destroyed is closed the same way.
  void Close() override = 0;

  // One library write. True when the library accepted it; written gets the count the
  // library reports, which the caller compares.
  virtual bool WriteChunk(const std::uint8_t* data, std::uint32_t length,
                          std::uint32_t& written) = 0;

  // Writes in pieces of at most 64 bytes with a 1 ms pause between pieces. True when every
  // byte was written; stops at the first piece refused or written short.
  bool Write(const std::uint8_t* data, std::uint32_t length) final;

  // Returns the bytes the device has sent so far, at most maxLength, or 0 when nothing
  // arrived in time; how long it waits depends on the kind.
  std::uint32_t Read(std::uint8_t* buffer, std::uint32_t maxLength,
                     std::uint32_t timeoutMs) override = 0;

  // True while the library's handle is held: between a successful Open and Close.
  virtual bool IsOpen() const = 0;
};
