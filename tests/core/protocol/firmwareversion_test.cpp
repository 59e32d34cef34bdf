#include "protocol/firmwareversion.h"

#include <gtest/gtest.h>

#include <string>

TEST(FirmwareVersion, ParseTable) {
  const struct {
    std::string text;
    bool ok;
    const char* family;
    unsigned number;
    const char* suffix;
    const char* shown;
  } cases[] = {
      {"Unknown", true, "unk", 1, "", "Empty"},
      {"VLQN-2.3b", true, "VLQN", 203, "b", "VLQN-2.3b"},
      {"VLQN-1.05", true, "VLQN", 105, "", "VLQN-1.5"},
      {"VLQN-1.50", true, "VLQN", 150, "", "VLQN-1.50"},
      {"VLQN-1.123", true, "VLQN", 223, "", "VLQN-2.23"},
      {"VLQN-2.3.1 rc", true, "VLQN", 203, "rc", "VLQN-2.3rc"},
      {"VLQN-1.2 beta ", true, "VLQN", 102, "beta", "VLQN-1.2beta"},
      {"VLQN", false, "", 0, "", "?????"},
      {"-1.2", false, "", 0, "", "?????"},
      {"VLQN-x", false, "VLQN", 0, "", "?????"},
      {"Unknown ", false, "", 0, "", "?????"},
      {"VLQN-2.4\r\n", true, "VLQN", 204, "", "VLQN-2.4"},
      {std::string("VLQN-3.1\0junk", 13), true, "VLQN", 301, "", "VLQN-3.1"},
      {"VLQN-2. 3", true, "VLQN", 203, "3", "VLQN-2.33"},
      {"VLQN-2 .3", false, "VLQN", 0, "", "?????"},
      {"VLQN-655.36", true, "VLQN", 0, "", "?????"},  // 65536 reduced to 16 bits
  };
  for (const auto& c : cases) {
    TFirmwareVersion v;
    EXPECT_EQ(v.Parse(c.text), c.ok) << c.text;
    EXPECT_EQ(v.FamilyCode, c.family) << c.text;
    EXPECT_EQ(v.VersionNumber, c.number) << c.text;
    EXPECT_EQ(v.Suffix, c.suffix) << c.text;
    EXPECT_EQ(v.VersionText(), c.shown) << c.text;
  }
}

TEST(FirmwareVersion, FailedParseKeepsNumberAndSuffixButTakesFamily) {
  TFirmwareVersion v;
  ASSERT_TRUE(v.Parse("VLQN-2.3b"));
  EXPECT_FALSE(v.Parse("ZEPH-x"));
  EXPECT_EQ(v.FamilyCode, "ZEPH");
  EXPECT_EQ(v.VersionNumber, 203);
  EXPECT_EQ(v.Suffix, "b");
  ASSERT_TRUE(v.Parse("VLQN-2.4"));
  EXPECT_EQ(v.VersionText(), "VLQN-2.4");
}

TEST(FirmwareVersion, UnknownFamilyShownAsEmptyWhateverItsNumber) {
  TFirmwareVersion v;
  v.FamilyCode = "unk";
  v.VersionNumber = 305;
  EXPECT_EQ(v.VersionText(), "Empty");
}

TEST(FirmwareVersion, BuildDateText) {
  TFirmwareVersion v;
  EXPECT_EQ(v.BuildDateText(), "неизвестна");
  v.BuildDate = 0.5;
  EXPECT_EQ(v.BuildDateText(), "неизвестна");
  v.BuildDate = -0.75;
  EXPECT_EQ(v.BuildDateText(), "неизвестна");
  v.BuildDate = 41272 + (11 * 3600 + 5 * 60 + 35) / 86400.0;  // 29.12.2012 11:05:35
  EXPECT_EQ(v.BuildDateText(), "29-12-2012 11:05:35");
}

TEST(FirmwareVersion, SuffixBytesAreShownAsCyrillic) {
  TFirmwareVersion v;
  ASSERT_TRUE(v.Parse("VLQN-2.3\xE1\xE5\xF2\xE0"));  // "бета" in Windows-1251
  EXPECT_EQ(v.VersionText(), "VLQN-2.3бета");
}
