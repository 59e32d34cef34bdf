#include "sim/busfile.h"

#include <gtest/gtest.h>

TEST(BusFile, EveryFieldSurvivesTheRoundTrip) {
  TSimDeviceConfig config;
  config.Name = "qn_2";
  config.Adapter = saQn;
  config.Serial = "00 7";
  config.DeviceCode = 0xBEEF;
  config.Description = "Velmarkon 100% = #1\t\xC2\xE5";  // spaces, markers, Windows-1251
  config.BootMode = false;
  config.BootOnNextPlug = true;
  config.ProcessorId = 0x400FE000;
  config.FirmwareVersion = "VLQN-2.3 rc";
  config.LoaderVersion = "";
  config.Plugged = false;
  config.Silent = config.Locked = config.RefuseOpen = true;
  config.ProtectedSectors = {10, 12};
  config.WrongSectorReplies = 1;
  config.WrongAddressReplies = 2;
  config.ShortReplies = 3;
  config.MissingReplies = -1;
  config.SplitReplies = 5;
  config.ReplyDelayMs = 6;
  config.UnplugAfterFrames = 7;
  config.EmptyDescriptionListings = 8;
  config.ListingErrors = 9;
  config.EraseMsPerSector = 11;
  config.WriteMsPerPart = 12;
  config.LatencyMs = 13;
  config.SplitGapMs = 14;
  const std::string line = FormatDeviceLine(config);
  EXPECT_EQ(line.find('\n'), std::string::npos);
  std::string error;
  const auto parsed = ParseDeviceLine(line, &error);
  ASSERT_TRUE(parsed) << error;
  EXPECT_TRUE(*parsed == config) << line;
}

TEST(BusFile, BadValuesAreRefusedAndLeaveTheFieldAlone) {
  const std::vector<std::pair<const char*, const char*>> bad = {
      {"cpu", "zz"},        {"mode", "sleep"},    {"name", "a/b"},     {"short", "x"},
      {"nokey", "1"},       {"protected", "1,x"}, {"code", "0x10000"}, {"plugged", "2"},
      {"desc", "broken%4"}, {"adapter", "usb"},
  };
  for (const auto& [key, value] : bad) {
    TSimDeviceConfig config;
    config.Name = "dev";
    EXPECT_FALSE(SetSimField(config, key, value)) << key << "=" << value;
    EXPECT_TRUE(config == TSimDeviceConfig{.Name = "dev"}) << key;
  }
}

TEST(BusFile, ReadsDeviceLinesAndReportsTheBadOnes) {
  const std::string text =
      "# a comment\n"
      "\n"
      "device name=a serial=1\n"
      "device serial=2\n"
      "device name=b adapter=qn code=0x0102 serial=3 plugged=0\n"
      "device name=a serial=4\n"
      "gadget name=c\n";
  std::vector<std::string> errors;
  const std::vector<TSimDeviceConfig> devices = ParseBusText(text, &errors);
  ASSERT_EQ(devices.size(), 2u);
  EXPECT_EQ(devices[0].Serial, "1");
  EXPECT_EQ(devices[0].Description, "Velmarkon");  // unnamed fields keep their defaults
  EXPECT_EQ(devices[1].Adapter, saQn);
  EXPECT_EQ(devices[1].DeviceCode, 0x0102);
  EXPECT_FALSE(devices[1].Plugged);
  ASSERT_EQ(errors.size(), 3u);
  EXPECT_EQ(errors[0].rfind("line 4:", 0), 0u);
  EXPECT_EQ(errors[1].rfind("line 6:", 0), 0u);
  EXPECT_EQ(errors[2].rfind("line 7:", 0), 0u);
  EXPECT_EQ(ParseBusText(FormatBusText(devices)), devices);
}
