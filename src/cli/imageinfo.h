#pragma once
#include <string>

#include "cli/stationoutput.h"

// "vlfwflash info FILE": loads the container as a write would and prints its version,
// build date and size, or the loader's own failure texts. Returns the exit code: 0, or 2
// when the file does not load.
int PrintImageInfo(const std::string& path, TStationOutput& output);
