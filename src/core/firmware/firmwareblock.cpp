#include "firmware/firmwareblock.h"

TBlockSizeError::TBlockSizeError()
    : std::runtime_error("Слишком большой размер блока прошивки") {}

namespace {

// Runs before the data member is built, so an oversized block allocates nothing.
std::int32_t CheckedSize(std::int32_t size) {
  if (static_cast<std::uint32_t>(size) > TFirmwareBlock::kMaxSize) throw TBlockSizeError();
  return size;
}

}  // namespace

TFirmwareBlock::TFirmwareBlock(const std::uint8_t* source, std::int32_t size,
                               std::int32_t address)
    : Address(address), Size(CheckedSize(size)), Data(source, source + Size) {}

void FreeBlocks(TFirmwareBlockList& blocks) {
  for (auto& block : blocks) block.reset();
  blocks.clear();
}
