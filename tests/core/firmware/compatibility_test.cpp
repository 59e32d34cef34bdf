#include "firmware/compatibility.h"

#include <gtest/gtest.h>

#include <string>

TEST(Compatibility, Rules) {
  const struct {
    const char* deviceFamily;
    unsigned loaderNumber;
    const char* imageFamily;
    unsigned imageNumber;
    bool compatible;
  } cases[] = {
      {"VLQN", 103, "VLQN", 900, false},  // old boot loader, new image
      {"VLQN", 104, "VLQN", 899, false},  // new boot loader, old image
      {"VLQN", 104, "VLQN", 900, true},
      {"VLQN", 103, "VLQN", 899, true},
      {"ZEPH", 0, "VLQN", 900, false},    // boot loader never read counts as old
      {"ZEPH", 0, "VLQN", 850, true},
      {"VLQN", 120, "ZEPH", 950, true},
      {"ZEPH", 120, "MIRA", 950, false},  // no rule names the pair
      {"VLQN", 104, "MIRA", 310, false},  // refused before the families are looked at
      {"VLQN", 100, "", 100, false},
      {"MIRA", 0, "VLMR", 303, false},
      {"MIRA", 0, "VLMR", 304, true},
      {"MIRA", 0, "MIRA", 100, true},
      {"MIRA", 0, "MIRA", 950, true},
      {"VLMR", 0, "MIRA", 100, false},
      {"VLMR", 0, "MIRA", 999, false},
      {"VLMR", 0, "VLMR", 100, true},
      {"", 0, "MIRA", 5, true},
      {"", 200, "VLQN", 100, true},
      {"", 0, "", 0, true},
      {"unk", 0, "ZEPH", 950, true},
      {"unk", 0, "", 0, true},
      {"vlqn", 104, "VLQN", 900, false},  // family codes are compared case-sensitively
      {"VLQN", 104, "vlqn", 900, false},
  };
  for (const auto& c : cases) {
    TDevEntry device("123", 0, TAdapterKind::Ftdi);
    device.FirmwareVersion.FamilyCode = c.deviceFamily;
    device.LoaderVersion.VersionNumber = static_cast<std::uint16_t>(c.loaderNumber);
    TFirmwareVersion image;
    image.FamilyCode = c.imageFamily;
    image.VersionNumber = static_cast<std::uint16_t>(c.imageNumber);
    EXPECT_EQ(IsCompatible(image, device), c.compatible)
        << "device " << c.deviceFamily << " loader " << c.loaderNumber << ", image "
        << c.imageFamily << " " << c.imageNumber;
  }
}
