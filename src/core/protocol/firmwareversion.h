#pragma once
#include <cstdint>
#include <string>
#include <string_view>

// A version as devices and image files state it, e.g. "VLQN-2.3b": family code, dash,
// major.minor, optional suffix. Family code and suffix keep the 8-bit (Windows-1251)
// bytes they were read from, so comparisons are byte-exact; the display texts are UTF-8.
class TFirmwareVersion {
public:
  std::string FamilyCode;            // "unk" for a device that reported "Unknown"
  std::string Suffix;                // trimmed; empty when nothing follows the numbers
  double BuildDate = 0;              // days since 30.12.1899; set only from image files
  std::uint16_t VersionNumber = 0;   // major * 100 + minor, reduced to 16 bits; 0 = none read

  // Parses text up to its first zero byte. On failure the record may be partly changed:
  // the family code is stored before the numbers are read.
  bool Parse(std::string_view text);

  std::string VersionText() const;    // "Empty", "?????" or e.g. "VLQN-2.3b"
  std::string BuildDateText() const;  // "неизвестна" or "DD-MM-YYYY HH:NN:SS"
};
