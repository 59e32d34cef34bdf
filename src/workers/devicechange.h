#pragma once

// The device-change notification that makes the program look for devices again: the
// system's DBT_DEVNODES_CHANGED, and what the Linux and simulated watches send for it.
inline constexpr int kDevNodesChanged = 7;
