#pragma once
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

// Makes image containers (.eraw): the built-in image at build time, and test images.

struct TPackResult {
  std::vector<std::uint8_t> Bytes;  // the container; empty when Error is set
  std::string Error;                // why nothing was made
};

// Packs payload behind a header with the version text and, when given, the build-date
// text "dd.mm.yyyy hh:mm:ss", both stored as given. Refuses what the loader would refuse
// or misread: a version text that does not parse, a date that is no valid date and time,
// a text longer than its 16-bit length field, a payload above the block limit.
TPackResult PackImage(std::string_view versionText, const std::optional<std::string>& buildDate,
                      const std::vector<std::uint8_t>& payload);

// parts × 512 bytes that look like Cortex-M code: a vector table, then functions of
// Thumb instructions, each followed by a literal pool. The same seed gives the same bytes
// on every build and platform.
std::vector<std::uint8_t> GenerateCodePayload(std::uint32_t parts, std::uint32_t seed);

constexpr std::uint32_t kDefaultPayloadSeed = 0x2012C0DE;
