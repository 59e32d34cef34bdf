#include "firmware/firmwareblock.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

TEST(FirmwareBlock, CopiesItsBytes) {
  std::vector<std::uint8_t> source = {1, 2, 3, 4, 5};
  TFirmwareBlock block(source.data(), 5, 0x1000);
  source[0] = 99;
  EXPECT_EQ(block.Address, 0x1000);
  EXPECT_EQ(block.Size, 5);
  EXPECT_EQ(block.Data, (std::vector<std::uint8_t>{1, 2, 3, 4, 5}));
}

TEST(FirmwareBlock, SizeLimit) {
  const std::vector<std::uint8_t> big(TFirmwareBlock::kMaxSize + 1, 0xA5);
  const TFirmwareBlock atLimit(big.data(), TFirmwareBlock::kMaxSize, -1);
  EXPECT_EQ(atLimit.Data.size(), TFirmwareBlock::kMaxSize);
  const TFirmwareBlock empty(nullptr, 0, -1);
  EXPECT_TRUE(empty.Data.empty());

  // The source is never touched for a refused size: a negative size is huge unsigned.
  for (const std::int32_t size : {static_cast<std::int32_t>(TFirmwareBlock::kMaxSize + 1), -1,
                                  INT32_MIN}) {
    try {
      TFirmwareBlock refused(nullptr, size, -1);
      ADD_FAILURE() << "size " << size << " was accepted";
    } catch (const TBlockSizeError& error) {
      EXPECT_STREQ(error.what(), "Слишком большой размер блока прошивки");
    }
  }
}

TEST(FirmwareBlock, FreeBlocksEmptiesTheListForReuse) {
  TFirmwareBlockList blocks;
  FreeBlocks(blocks);
  EXPECT_TRUE(blocks.empty());
  const std::uint8_t byte = 7;
  blocks.push_back(std::make_unique<TFirmwareBlock>(&byte, 1, 0));
  blocks.push_back(std::make_unique<TFirmwareBlock>(&byte, 1, 512));
  FreeBlocks(blocks);
  EXPECT_TRUE(blocks.empty());
  blocks.push_back(std::make_unique<TFirmwareBlock>(&byte, 1, 0));
  EXPECT_EQ(blocks.size(), 1u);
}
