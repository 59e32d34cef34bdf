#pragma once
#include <cstdint>

// The clock the channel and enumeration wait by. Normally the system's tick count and
// sleep; a test swaps in a scripted clock to see every pause and to run the 5 s
// enumeration retry without waiting for it.
struct TLinkTime {
  std::uint32_t (*Now)();
  void (*Sleep)(std::uint32_t ms);
};

TLinkTime& LinkTime();
