#pragma once
#include "model/deventry.h"
#include "protocol/firmwareversion.h"

// Whether the image may be written into the device, judged by the device's firmware
// family and boot-loader version number against the image's family and version number.
// A pure decision: changes nothing, logs nothing.
bool IsCompatible(const TFirmwareVersion& image, const TDevEntry& device);
