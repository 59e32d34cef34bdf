#include "protocol/sectorlayout.h"

#include <gtest/gtest.h>

TEST(SectorLayout, TableByProcessorAndSuffix) {
  const struct {
    std::uint32_t id;
    const char* suffix;
    std::size_t sectors;
    int first, last;
    std::uint32_t flashSize;
    bool listed;
  } cases[] = {
      {0x10040204, "", 64, 4, 63, 0x40000, true},
      {0x25011723, "", 22, 10, 21, 0x40000, true},
      {0x26013733, "", 22, 10, 21, 0x40000, true},
      {0x26013F33, "", 22, 10, 21, 0x40000, true},
      {0x25013F37, "", 30, 10, 29, 0x80000, true},
      {0x25113737, "", 30, 10, 29, 0x80000, true},
      {0x26012837, "", 30, 10, 29, 0x80000, true},
      {0x26013F37, "", 30, 10, 29, 0x80000, true},
      {0x26113F37, "", 30, 10, 29, 0x80000, true},
      {0x27193F47, "", 30, 10, 29, 0x80000, true},
      {0x400FE000, "", 256, 0, 255, 0x24400, true},
      {0x12345678, "PP", 27, 4, 26, 0x7D000, false},
      {0x12345678, "TR", 27, 4, 26, 0x7D000, false},
      {0x12345678, "b", 28, 4, 27, 0x7E000, false},
      {0, "pp", 28, 4, 27, 0x7E000, false},
  };
  for (const auto& c : cases) {
    const TSectorLayout layout = SectorLayoutFor(c.id, c.suffix);
    EXPECT_EQ(layout.Sectors.size(), c.sectors) << std::hex << c.id;
    EXPECT_EQ(layout.FirstSector, c.first) << std::hex << c.id;
    EXPECT_EQ(layout.LastSector, c.last) << std::hex << c.id;
    EXPECT_EQ(layout.FlashSize(), c.flashSize) << std::hex << c.id;
    EXPECT_EQ(IsListedProcessor(c.id), c.listed) << std::hex << c.id;
    // Contiguous, ascending sectors.
    for (std::size_t i = 1; i < layout.Sectors.size(); ++i)
      EXPECT_EQ(layout.Sectors[i].Offset,
                layout.Sectors[i - 1].Offset + layout.Sectors[i - 1].Size);
  }
}

TEST(SectorLayout, OffsetsOfMixedLayouts) {
  const TSectorLayout large = SectorLayoutFor(0x25013F37, "");
  EXPECT_EQ(large.Sectors[16].Offset, 0x10000u);
  EXPECT_EQ(large.Sectors[16].Size, 0x8000);
  const TSectorLayout other = SectorLayoutFor(1, "");
  EXPECT_EQ(other.Sectors[8].Offset, 0x8000u);
  EXPECT_EQ(other.Sectors[22].Offset, 0x78000u);
  EXPECT_EQ(other.Sectors[22].Size, 0x1000);
  const TSectorLayout small = SectorLayoutFor(0x400FE000, "");
  EXPECT_EQ(small.Sectors[0].Offset, 0x4400u);
  EXPECT_EQ(small.Sectors[255].Offset, 0x4400u + 255 * 0x200);
}
