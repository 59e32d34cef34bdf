#include "protocol/sectorlayout.h"

#include <algorithm>
#include <array>

namespace {

void AddSectors(TSectorLayout& layout, int count, std::uint32_t firstOffset,
                std::uint16_t size) {
  for (int i = 0; i < count; ++i)
    layout.Sectors.push_back({firstOffset + static_cast<std::uint32_t>(i) * size, size});
}

constexpr std::array<std::uint32_t, 3> kSmallFlash = {0x25011723, 0x26013733, 0x26013F33};
constexpr std::array<std::uint32_t, 6> kLargeFlash = {0x25013F37, 0x25113737, 0x26012837,
                                                      0x26013F37, 0x26113F37, 0x27193F47};
constexpr std::uint32_t kUniformFlash = 0x10040204;
constexpr std::uint32_t kSmallSectorFlash = 0x400FE000;

bool Contains(const auto& ids, std::uint32_t id) {
  return std::find(ids.begin(), ids.end(), id) != ids.end();
}

}  // namespace

std::uint32_t TSectorLayout::FlashSize() const {
  return Sectors.empty() ? 0 : Sectors.back().Offset + Sectors.back().Size;
}

bool IsListedProcessor(std::uint32_t id) {
  return id == kUniformFlash || id == kSmallSectorFlash || Contains(kSmallFlash, id) ||
         Contains(kLargeFlash, id);
}

TSectorLayout SectorLayoutFor(std::uint32_t id, std::string_view loaderSuffix) {
  TSectorLayout layout;
  if (id == kUniformFlash) {
    AddSectors(layout, 64, 0, 0x1000);
    layout.FirstSector = 4;
    layout.LastSector = 63;
  } else if (Contains(kSmallFlash, id) || Contains(kLargeFlash, id)) {
    const int large = Contains(kSmallFlash, id) ? 6 : 14;
    AddSectors(layout, 16, 0, 0x1000);
    AddSectors(layout, large, 0x10000, 0x8000);
    layout.FirstSector = 10;
    layout.LastSector = 15 + large;
  } else if (id == kSmallSectorFlash) {
    AddSectors(layout, 256, 0x4400, 0x200);
    layout.FirstSector = 0;
    layout.LastSector = 255;
  } else {
    AddSectors(layout, 8, 0, 0x1000);
    AddSectors(layout, 14, 0x8000, 0x8000);
    AddSectors(layout, 5, 0x78000, 0x1000);
    if (loaderSuffix != "TR" && loaderSuffix != "PP") AddSectors(layout, 1, 0x7D000, 0x1000);
    layout.FirstSector = 4;
    layout.LastSector = static_cast<std::int32_t>(layout.Sectors.size()) - 1;
  }
  return layout;
}
