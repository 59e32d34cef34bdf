#pragma once
#include <cstdint>
#include <optional>
#include <vector>

// The image container built into the program (resource "FRMV" of type "RC_DATA");
// nullopt when the program carries none. Pass it as TImageSource::ReadBuiltIn.
std::optional<std::vector<std::uint8_t>> ReadBuiltInImageBytes();
