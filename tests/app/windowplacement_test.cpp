#include "app/windowplacement.h"

#include <gtest/gtest.h>

namespace {

TEST(WindowPlacement, Parsing) {
  struct Case {
    const char* Text;
    int Found;
    std::array<int, 7> Values;
  };
  const Case cases[] = {
      {"10,20,800,600", 4, {10, 20, 800, 600, -1, -1, -1}},
      {"10,20,800", 3, {10, 20, 800, -1, -1, -1, -1}},
      {"-5,20,800,600,1,200,1", 7, {-5, 20, 800, 600, 1, 200, 1}},
      {"1,2,3,4,5,6,7,8,9", 7, {1, 2, 3, 4, 5, 6, 7}},
      {" 1,  2,\t3, +4", 4, {1, 2, 3, 4, -1, -1, -1}},
      // A blank before a comma, two commas, a letter: reading stops there.
      {"1 ,2,3,4", 1, {1, -1, -1, -1, -1, -1, -1}},
      {"1,2,,3,4", 2, {1, 2, -1, -1, -1, -1, -1}},
      {"1,2,3,4x,5", 4, {1, 2, 3, 4, -1, -1, -1}},
      {"", 0, {-1, -1, -1, -1, -1, -1, -1}},
      {"garbage", 0, {-1, -1, -1, -1, -1, -1, -1}},
      {"\x01\xff\xfe,,,", 0, {-1, -1, -1, -1, -1, -1, -1}},
      {"-,1,2,3", 0, {-1, -1, -1, -1, -1, -1, -1}},
      // Numbers beyond int do not fit; the edges of int do.
      {"1,2,99999999999999999999999,4,5", 2, {1, 2, -1, -1, -1, -1, -1}},
      {"1,2,2147483648,4", 2, {1, 2, -1, -1, -1, -1, -1}},
      {"2147483647,-2147483648,0,0", 4, {2147483647, -2147483647 - 1, 0, 0, -1, -1, -1}},
  };
  for (const Case& c : cases) {
    const TWindowPlacement setting = ParseWindowPlacement(QString::fromLatin1(c.Text));
    EXPECT_EQ(setting.Found, c.Found) << c.Text;
    EXPECT_EQ(setting.Values, c.Values) << c.Text;
    EXPECT_EQ(setting.Usable(), c.Found >= 4) << c.Text;
  }
}

TEST(WindowPlacement, FormatReadsBack) {
  const std::array<int, 7> values = {-32000, 5, 680, 456, 1, 165, 0};
  const QString text = FormatWindowPlacement(values);
  EXPECT_EQ(text, QStringLiteral("-32000,5,680,456,1,165,0"));
  EXPECT_EQ(ParseWindowPlacement(text).Values, values);
}

}  // namespace
