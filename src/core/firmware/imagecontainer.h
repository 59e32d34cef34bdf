#pragma once
#include <cstddef>
#include <cstdint>
#include <string_view>

#include "firmware/firmwareblock.h"
#include "protocol/firmwareversion.h"
#include "protocol/logsink.h"

// The image container, in files and in the built-in resource. Little-endian header:
//   0  u32  size word: bits 0-30 the container's size, bit 31 set when a build date follows
//   4  u16  frame checksum over the first (size mod 65,536) bytes, this field taken as 0
//   6  u16  N, then N bytes of version text (Windows-1251, no terminator)
//   with the flag: u16 D, then D bytes of build date "%d.%d.%d %d:%d:%d"
//   then the payload, written into the device unchanged.
namespace image {

constexpr std::uint32_t kSizeMask = 0x7FFFFFFF;
constexpr std::uint32_t kBuildDateFlag = 0x80000000;
constexpr std::size_t kChecksumOffset = 4;
constexpr std::size_t kVersionLengthOffset = 6;
constexpr std::size_t kVersionTextOffset = 8;

}  // namespace image

// Validates one container held in memory and decomposes it: the version text and build
// date go into version, the payload into one new block at address -1 appended to blocks.
// Logs its refusals (llError, no device); a version text that does not parse fails
// without a message of its own. A build date that cannot be read is logged and left 0,
// and the parse still succeeds. A container too short for the fields it announces is
// refused as a wrong size before anything is read past its end or changed in version.
// Throws TBlockSizeError when the payload exceeds the block limit.
bool ParseImage(const std::uint8_t* bytes, std::size_t count, TFirmwareVersion& version,
                TFirmwareBlockList& blocks, TLogSink& log);

// Reads a build-date text "%d.%d.%d %d:%d:%d" (day, month, year, hour, minute, second);
// false unless all six make a valid date and time of day.
bool ReadBuildDate(std::string_view text, double& date);
