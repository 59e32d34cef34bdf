#pragma once
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "firmware/imageload.h"

// The image container built into the program (resource "FRMV" of type "RC_DATA");
// nullopt when the program carries none.
std::optional<std::vector<std::uint8_t>> ReadBuiltInImageBytes();

// Loads the image a front end has chosen, the file at filePath when externalFirmware and
// the built-in image otherwise, and logs every outcome, the block limit's text included.
// builtInLoaded, when given, takes the outcome of a load of the built-in image that ran
// to its end.
TFirmwareImage LoadChosenImage(bool externalFirmware, const std::string& filePath, TLogSink& log,
                               std::optional<bool>* builtInLoaded = nullptr);
