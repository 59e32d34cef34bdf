#include "resources/builtinimage.h"

#include <gtest/gtest.h>

#include "firmware/imageload.h"
#include "support/recordinglog.h"

// The image the program ships: 221,222 bytes, version VLQN-2.3b built 29.12.2012 11:05:35,
// and 432 parts of payload in one block at the first writable sector.
TEST(BuiltInImage, LoadsAsShipped) {
  const auto bytes = ReadBuiltInImageBytes();
  ASSERT_TRUE(bytes.has_value());
  ASSERT_EQ(bytes->size(), 221222u);
  EXPECT_EQ((*bytes)[3] & 0x80, 0x80);  // build-date flag

  TImageSource source;
  source.ReadBuiltIn = ReadBuiltInImageBytes;
  TFirmwareBlockList blocks;
  TFirmwareVersion version;
  TRecordingLog log;
  const TImageLoadResult result = LoadImage(source, blocks, version, log);
  ASSERT_TRUE(result.Success);
  EXPECT_EQ(result.BuiltInLoaded, std::optional<bool>(true));
  EXPECT_EQ(version.FamilyCode, "VLQN");
  EXPECT_EQ(version.VersionNumber, 203);
  EXPECT_EQ(version.Suffix, "b");
  EXPECT_EQ(version.BuildDateText(), "29-12-2012 11:05:35");
  ASSERT_EQ(blocks.size(), 1u);
  EXPECT_EQ(blocks[0]->Address, -1);
  EXPECT_EQ(blocks[0]->Size, 221184);
  const std::vector<std::string> expected = {"Загружена прошивка из ресурсов",
                                             "Версия прошивки \"VLQN-2.3b\"",
                                             "Дата компиляции \"29-12-2012 11:05:35\""};
  EXPECT_EQ(log.Texts(), expected);
}
