#pragma once
// A scripted stand-in for both driver libraries and the link layer's clock, installed
// in place of the process-wide drivers for the length of a test. Every call is written
// to Events, in order, with the virtual clock's sleeps between them, so a test can
// compare the exact conversation the channel or the enumeration had with the library.
#include <cstdint>
#include <deque>
#include <memory>
#include <string>
#include <vector>

#include "link/driverlibs_p.h"
#include "link/linktime_p.h"

struct TFakeNode {
  std::string Serial;
  std::string Description;
};

struct TFakeQnRecord {
  std::uint16_t DeviceCode;
  std::string Serial;
};

struct TFakeBurst {
  std::uint32_t At;  // virtual ms from which the bytes are waiting
  std::vector<std::uint8_t> Bytes;
};

struct TFakeLibs {
  std::vector<std::string> Events;
  std::uint32_t Now = 1000;

  // Open.
  std::uint32_t OpenStatus = 0;
  std::uintptr_t OpenHandle = 0x51;  // FTDI handle or QN handle given back
  std::string OpenedSerial;
  // Writes: status and count per call, in order; beyond the lists, 0 and the length.
  std::vector<std::uint32_t> WriteStatuses;
  std::vector<std::int64_t> WriteCounts;
  // Reads.
  std::vector<TFakeBurst> Incoming;
  std::deque<std::uint8_t> Waiting;
  std::uint32_t StatusResult = 0;
  std::uint32_t ReadResult = 0;
  std::int64_t ReadCountOverride = -1;  // a library that claims more than it stored
  // QN_Read: what arrives during the call.
  std::vector<std::uint8_t> QnReply;
  const std::uint32_t* QnCloseAddress = nullptr;

  // Listings: one entry per FT_CreateDeviceInfoList call (the last repeats).
  std::vector<std::vector<TFakeNode>> FtdiListings;
  std::uint32_t CreateStatus = 0;
  std::uint32_t GetListStatus = 0;
  std::int64_t FilledOverride = -1;  // count a broken library stores back
  std::vector<TFakeQnRecord> QnRecords;
  std::uint32_t QnAnnounced = 0;     // count from the first QN call
  std::uint32_t QnListStatus[2] = {0, 0};
};

// Installs the fake for its lifetime and restores the previous drivers and clock.
class TFakeScope {
public:
  explicit TFakeScope(bool ftdiLoaded = true, bool qnLoaded = true);
  ~TFakeScope();

private:
  std::unique_ptr<TFakeLibs> Owned;

public:
  TFakeLibs& Libs;

private:
  TFtdiDriver SavedFtdi;
  TQnDriver SavedQn;
  TLinkTime SavedTime;
  TFakeLibs* SavedCurrent = nullptr;
};

std::string Hex(const std::uint8_t* bytes, std::size_t count);
