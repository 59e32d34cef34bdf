#pragma once
#include <cstdint>
#include <optional>
#include <string_view>
#include <vector>

// The one writer of the image container (layout in imagecontainer.h). It lays out what it
// is given without judging it: the packer refuses beforehand what the loader would
// refuse, and tests make the broken containers the packer never makes.

// Header, version text, the build date when given, payload; the size word (with the date
// flag) and the checksum set.
std::vector<std::uint8_t> WriteImageContainer(std::string_view versionText,
                                              std::optional<std::string_view> buildDate,
                                              const std::vector<std::uint8_t>& payload);

// Sets the checksum field to what the bytes need; bytes too short to hold it stay as they are.
void SetContainerChecksum(std::vector<std::uint8_t>& bytes);

// Sets the size word to the bytes' count, keeping the date flag, then the checksum; each
// field only where the bytes hold it, so any bytes may be given.
void SetContainerSizeAndChecksum(std::vector<std::uint8_t>& bytes);
