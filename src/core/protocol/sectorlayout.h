#pragma once
#include <cstdint>
#include <string_view>
#include <vector>

// The flash sectors of a device, chosen by its processor identifier and, for processors
// outside the known list, by the suffix of its boot-loader version. Sectors below
// FirstSector hold the boot loader and are never erased or written; they stand in the
// table so that offsets count from the start of flash.
struct TFlashSector {
  std::uint32_t Offset;  // also the sector's flash address
  std::uint16_t Size;
};

struct TSectorLayout {
  std::vector<TFlashSector> Sectors;
  std::int32_t FirstSector = -1;
  std::int32_t LastSector = -1;
  std::uint32_t FlashSize() const;  // end of the last sector
};

TSectorLayout SectorLayoutFor(std::uint32_t processorId, std::string_view loaderSuffix);

// The eleven processors of the fixed table; they take erase and write codes 6 and 7.
bool IsListedProcessor(std::uint32_t processorId);
