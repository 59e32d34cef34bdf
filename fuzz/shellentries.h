#pragma once
#include <cstddef>
#include <cstdint>

// Fuzz entries for what the application shell reads from outside: the settings file and
// the command line. Kept apart from fuzzentries.h because they need Qt Core.

void FuzzSettingsFile(const std::uint8_t* data, std::size_t size);  // VLFWLoader.ini
// Arguments separated by line feeds, read in a directory with a few files in it.
void FuzzCommandLine(const std::uint8_t* data, std::size_t size);
