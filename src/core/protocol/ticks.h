#pragma once
#include <cstdint>

// The system's millisecond tick count, wrapping at 32 bits; differences of two ticks taken
// as unsigned stay right across the wrap.
std::uint32_t TickCount();

// Sleeps about the given milliseconds. On Windows a 1 ms sleep lasts 1 ms only while the
// timer resolution is raised (see the platform file of the scan and write).
void SleepMs(std::uint32_t ms);
