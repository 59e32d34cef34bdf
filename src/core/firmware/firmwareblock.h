#pragma once
#include <cstdint>
#include <memory>
#include <stdexcept>
#include <vector>

// The one error that crosses a layer as an exception: a block above the size limit. Its
// text is shown to the user when a load started from the window ends on it.
class TBlockSizeError : public std::runtime_error {
public:
  TBlockSizeError();
};

// A run of image bytes and the flash address where its first byte belongs. The block owns
// a copy of its bytes.
class TFirmwareBlock {
public:
  static constexpr std::uint32_t kMaxSize = 2097152;  // 2 MiB

  // Throws TBlockSizeError, before allocating anything, when size read as an unsigned
  // 32-bit number exceeds kMaxSize (so a negative size is refused too).
  TFirmwareBlock(const std::uint8_t* source, std::int32_t size, std::int32_t address);

  std::int32_t Address;  // negative: at the first sector the write may touch
  std::int32_t Size;
  std::vector<std::uint8_t> Data;  // exactly Size bytes
};

// The list owns its blocks; emptying it destroys them.
using TFirmwareBlockList = std::vector<std::unique_ptr<TFirmwareBlock>>;

// Destroys the blocks from the first to the last and leaves the list empty for reuse.
void FreeBlocks(TFirmwareBlockList& blocks);
