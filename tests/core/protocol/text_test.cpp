#include <gtest/gtest.h>

#include <string>

#include "protocol/cp1251.h"
#include "protocol/datetime.h"
#include "protocol/textformat.h"

TEST(Cp1251, RoundTripsEveryAssignedByte) {
  std::string all;
  for (int b = 1; b < 256; ++b)
    if (b != 0x98) all += static_cast<char>(b);
  EXPECT_EQ(Utf8ToCp1251(Cp1251ToUtf8(all)), all);
  EXPECT_EQ(Cp1251ToUtf8("\xCF\xF0\xE8\xE1\xEE\xF0"), "Прибор");
  EXPECT_EQ(Cp1251ToUtf8("\xA8\xB8\xB9"), "Ёё№");
  EXPECT_EQ(Utf8ToCp1251("Ошибка ✓"), "\xCE\xF8\xE8\xE1\xEA\xE0 ?");
  EXPECT_EQ(Utf8ToCp1251("\xE2\x82"), "?");  // cut-off sequence
}

TEST(Cp1251, PrintableReplacesControlCharacters) {
  EXPECT_EQ(Cp1251ToPrintableUtf8("a\rb\nc\td\x7f"), "a?b?c\td?");
}

TEST(FormatText, GrowsToAnyLength) {
  const std::string big(100000, 'x');
  const std::string out = FormatText("[%s]%d", big.c_str(), 7);
  EXPECT_EQ(out.size(), big.size() + 3);
  EXPECT_EQ(out.substr(out.size() - 2), "]7");
  EXPECT_EQ(FormatText("(% 6d)", 125), "(   125)");
  EXPECT_EQ(FormatText("%s", ""), "");
}

TEST(DateTime, EncodeValidatesAndRoundTrips) {
  double value = 0;
  ASSERT_TRUE(TryEncodeDateTime({2012, 12, 29, 11, 5, 35, 0}, value));
  EXPECT_NEAR(value, 41272.46221, 1e-5);
  const TDateTimeParts back = DecodeDateTime(value);
  EXPECT_EQ(back.Year, 2012);
  EXPECT_EQ(back.Month, 12);
  EXPECT_EQ(back.Day, 29);
  EXPECT_EQ(back.Hour, 11);
  EXPECT_EQ(back.Minute, 5);
  EXPECT_EQ(back.Second, 35);
  EXPECT_FALSE(TryEncodeDateTime({2012, 2, 31, 10, 0, 0, 0}, value));
  EXPECT_TRUE(TryEncodeDateTime({2012, 2, 29, 10, 0, 0, 0}, value));
  EXPECT_FALSE(TryEncodeDateTime({2013, 2, 29, 10, 0, 0, 0}, value));
  EXPECT_FALSE(TryEncodeDateTime({2012, 1, 1, 24, 0, 0, 0}, value));
  EXPECT_FALSE(TryEncodeDateTime({0, 1, 1, 0, 0, 0, 0}, value));
}
