#include <fstream>
#include <new>

#include "firmware/exclusivefile_p.h"

// POSIX has no share modes: the file is read as it stands.
std::optional<std::vector<std::uint8_t>> ReadFileExclusive(const std::filesystem::path& path) {
  std::ifstream file(path, std::ios::binary);
  if (!file) return std::nullopt;
  file.seekg(0, std::ios::end);
  const std::streamoff size = file.tellg();
  if (size < 0) return std::nullopt;
  file.seekg(0, std::ios::beg);
  try {
    std::vector<std::uint8_t> bytes(static_cast<std::size_t>(size));
    if (size > 0 && !file.read(reinterpret_cast<char*>(bytes.data()), size))
      return std::nullopt;
    return bytes;
  } catch (const std::bad_alloc&) {
    return std::nullopt;
  }
}
