#include "model/deventry.h"

#include <gtest/gtest.h>

TEST(SerialNumberFromText, DecimalWithOptionalSignElseMinusOne) {
  const struct {
    const char* text;
    std::int32_t expected;
  } cases[] = {
      {"5500250", 5500250}, {"0", 0},          {"-17", -17},       {"+42", 42},
      {"007", 7},           {"", -1},          {"12a", -1},        {"abc", -1},
      {"+-1", -1},          {"--1", -1},       {" 12", -1},        {"12 ", -1},
      {"2147483647", 2147483647},              {"2147483648", -1}, {"-2147483648", INT32_MIN},
      {"0x10", -1},
  };
  for (const auto& c : cases) EXPECT_EQ(SerialNumberFromText(c.text), c.expected) << c.text;
}

TEST(DevEntry, ConstructionSetsKeyAndLeavesIdentityEmpty) {
  TDevEntry ftdi("123", 0xFFFF, TAdapterKind::Ftdi);
  EXPECT_EQ(ftdi.SerialNumber, 123);
  EXPECT_EQ(ftdi.DeviceCode, 0xFFFF);
  EXPECT_EQ(ftdi.AdapterKind, TAdapterKind::Ftdi);
  EXPECT_EQ(ftdi.ProcessorId, 0u);
  EXPECT_FALSE(ftdi.BootMode || ftdi.BootStarted);
  EXPECT_EQ(ftdi.FirmwareVersion.VersionText(), "?????");

  TDevEntry qn("x1", 0x1234, TAdapterKind::Qn);
  EXPECT_EQ(qn.SerialNumber, -1);
  EXPECT_EQ(qn.DeviceCode, 0x1234);
  EXPECT_EQ(qn.AdapterKind, TAdapterKind::Qn);
}

