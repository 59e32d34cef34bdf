#pragma once
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "protocol/frame.h"

// Builds a container byte by byte without judging its content, so tests can make the
// broken ones the packer refuses to make. The checksum is right unless a test spoils it.
inline std::vector<std::uint8_t> ContainerBytes(const std::string& version,
                                                const std::optional<std::string>& date,
                                                const std::vector<std::uint8_t>& payload) {
  std::vector<std::uint8_t> out(8, 0);
  out[6] = static_cast<std::uint8_t>(version.size());
  out[7] = static_cast<std::uint8_t>(version.size() >> 8);
  out.insert(out.end(), version.begin(), version.end());
  if (date) {
    out.push_back(static_cast<std::uint8_t>(date->size()));
    out.push_back(static_cast<std::uint8_t>(date->size() >> 8));
    out.insert(out.end(), date->begin(), date->end());
  }
  out.insert(out.end(), payload.begin(), payload.end());
  const std::uint32_t word = static_cast<std::uint32_t>(out.size()) | (date ? 0x80000000u : 0);
  for (int i = 0; i < 4; ++i) out[i] = static_cast<std::uint8_t>(word >> (8 * i));
  const std::uint16_t sum = FrameChecksum(out.data(), out.size());
  out[4] = static_cast<std::uint8_t>(sum);
  out[5] = static_cast<std::uint8_t>(sum >> 8);
  return out;
}

// Sets the checksum field to what the (modified) bytes need.
inline void FixChecksum(std::vector<std::uint8_t>& bytes) {
  bytes[4] = bytes[5] = 0;
  const std::uint16_t sum = FrameChecksum(bytes.data(), bytes.size());
  bytes[4] = static_cast<std::uint8_t>(sum);
  bytes[5] = static_cast<std::uint8_t>(sum >> 8);
}
