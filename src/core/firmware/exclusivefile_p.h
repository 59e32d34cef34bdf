#pragma once
#include <cstdint>
#include <filesystem>
#include <optional>
#include <vector>

// Reads an existing file whole while no other program may open it, so that an image is
// never read half-written. Nullopt when it cannot be opened, or is read short, or does
// not fit in memory.
std::optional<std::vector<std::uint8_t>> ReadFileExclusive(const std::filesystem::path& path);
