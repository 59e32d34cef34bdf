#pragma once
// The floor of a write: the same frames with the same pauses, through the same channel
// and stand-in library as the loader, on the calling thread, with no hand-over, log or
// window. What the loader takes beyond this is its own work.
#include <cstdint>
#include <vector>

#include "model/deventry.h"
#include "protocol/sectorlayout.h"

// The built-in image laid into the flash of a device with this layout, 0xFF elsewhere.
std::vector<std::uint8_t> BuiltInFlashImage(const TSectorLayout& layout);

// Erases and writes every non-empty sector of the layout's range, then sends the closing
// frame and closes the channel. The milliseconds from open to close; negative when the
// device refused the channel or a frame went unanswered.
double BareWriteMs(TDevEntry& device, const TSectorLayout& layout,
                   const std::vector<std::uint8_t>& flash);
