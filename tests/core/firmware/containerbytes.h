#pragma once
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "firmware/containerwriter.h"

// Builds a container without judging its content, so tests can make the broken ones the
// packer refuses to make. The checksum is right unless a test spoils it.
inline std::vector<std::uint8_t> ContainerBytes(const std::string& version,
                                                const std::optional<std::string>& date,
                                                const std::vector<std::uint8_t>& payload) {
  return WriteImageContainer(version, date ? std::optional<std::string_view>(*date) : std::nullopt,
                             payload);
}

// Sets the checksum field to what the (modified) bytes need.
inline void FixChecksum(std::vector<std::uint8_t>& bytes) { SetContainerChecksum(bytes); }
