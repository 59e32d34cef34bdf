#include "protocol/scanformat.h"

#include <gtest/gtest.h>

#include <string>

// The behaviour of the C library's sscanf that version and date texts rely on.
TEST(ScanFormat, BehavesLikeSscanfForIntegersAndLiterals) {
  const struct {
    std::string text;
    const char* pattern;
    int count;
    std::int32_t first, last;
  } cases[] = {
      {"29.12.2012 11:05:35", "%d.%d.%d %d:%d:%d", 6, 29, 35},
      {" 29.12.2012\t\n11:05:35", "%d.%d.%d %d:%d:%d", 6, 29, 35},
      {"29.12.2012  11:05:35", "%d.%d.%d %d:%d:%d", 6, 29, 35},
      {"1.2.3 4 : 5:6", "%d.%d.%d %d:%d:%d", 4, 1, 4},  // ':' does not skip blanks
      {"29 .12.2012 11:05:35", "%d.%d.%d %d:%d:%d", 1, 29, 29},
      {"29.12.2012 11:05", "%d.%d.%d %d:%d:%d", 5, 29, 5},
      {"-3.+4", "%d.%d", 2, -3, 4},
      {"2. 3", "%d.%d", 2, 2, 3},
      {"+.3", "%d.%d", 0, 0, 0},
      {"", "%d.%d", 0, 0, 0},
      {"4294967298.1", "%d.%d", 2, 2, 1},  // wraps like a 32-bit register, no UB
  };
  for (const auto& c : cases) {
    std::int32_t v[6] = {};
    ASSERT_EQ(ScanFormat(c.text, c.pattern, v, 6), c.count) << c.text;
    if (c.count > 0) {
      EXPECT_EQ(v[0], c.first) << c.text;
      EXPECT_EQ(v[c.count - 1], c.last) << c.text;
    }
  }
}

TEST(ScanFormat, StopsAtMaxValues) {
  std::int32_t v[2] = {};
  EXPECT_EQ(ScanFormat("1.2.3", "%d.%d.%d", v, 2), 2);
}

TEST(ScanFormat, NeverReadsPastTheView) {
  const std::string text = "12.345";
  std::int32_t v[2] = {};
  EXPECT_EQ(ScanFormat(std::string_view(text).substr(0, 4), "%d.%d", v, 2), 2);
  EXPECT_EQ(v[1], 3);
}
