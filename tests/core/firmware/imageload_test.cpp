#include "firmware/imageload.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "containerbytes.h"
#include "support/recordinglog.h"

namespace {

namespace fs = std::filesystem;
using TEntry = TRecordingLog::TEntry;

const std::string kLoadError = "Ошибка загрузки прошивки";

std::vector<std::uint8_t> GoodImage() {
  return ContainerBytes("VLQN-2.3b", "29.12.2012 11:05:35", std::vector<std::uint8_t>(600, 0x5A));
}

class LoadImageTest : public ::testing::Test {
protected:
  void SetUp() override {
    Dir = fs::temp_directory_path() /
          ("vl_imageload_" + std::to_string(::testing::UnitTest::GetInstance()->random_seed()) +
           "_" + ::testing::UnitTest::GetInstance()->current_test_info()->name());
    fs::remove_all(Dir);
    fs::create_directories(Dir);
  }
  void TearDown() override { fs::remove_all(Dir); }

  std::string WriteFile(const std::string& name, const std::vector<std::uint8_t>& bytes) {
    const fs::path path = Dir / fs::path(std::u8string(name.begin(), name.end()));
    std::ofstream out(path, std::ios::binary);
    out.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
    const std::u8string utf8 = path.u8string();
    return std::string(utf8.begin(), utf8.end());
  }

  TImageLoadResult LoadFile(const std::string& path) {
    TImageSource source;
    source.ExternalFirmware = true;
    source.FilePath = path;
    return LoadImage(source, Blocks, Version, Log);
  }

  TImageLoadResult LoadBuiltIn(std::optional<std::vector<std::uint8_t>> bytes) {
    TImageSource source;
    source.ReadBuiltIn = [bytes] { return bytes; };
    return LoadImage(source, Blocks, Version, Log);
  }

  fs::path Dir;
  TFirmwareBlockList Blocks;
  TFirmwareVersion Version;
  TRecordingLog Log;
};

}  // namespace

TEST_F(LoadImageTest, FileLoadReportsSourceVersionAndDate) {
  const std::string path = WriteFile("прошивка.eraw", GoodImage());
  const TImageLoadResult result = LoadFile(path);
  EXPECT_TRUE(result.Success);
  EXPECT_FALSE(result.BuiltInLoaded.has_value());
  EXPECT_TRUE(result.BlockSizeError.empty());
  const std::vector<TEntry> expected = {
      {llInfo, 0, "Загружена прошивка из файла \"" + path + "\""},
      {llInfo, 0, "Версия прошивки \"VLQN-2.3b\""},
      {llInfo, 0, "Дата компиляции \"29-12-2012 11:05:35\""},
  };
  EXPECT_EQ(Log.Entries, expected);
  ASSERT_EQ(Blocks.size(), 1u);
  EXPECT_EQ(Blocks[0]->Size, 600);
}

TEST_F(LoadImageTest, AnyFileNameIsReadAsAContainer) {
  EXPECT_TRUE(LoadFile(WriteFile("image.raw", GoodImage())).Success);
  EXPECT_TRUE(LoadFile(WriteFile("image.bin", GoodImage())).Success);
}

TEST_F(LoadImageTest, LoadEmptiesTheListFirst) {
  const std::string path = WriteFile("a.eraw", GoodImage());
  ASSERT_TRUE(LoadFile(path).Success);
  ASSERT_TRUE(LoadFile(path).Success);
  EXPECT_EQ(Blocks.size(), 1u);
}

TEST_F(LoadImageTest, MissingFileAndDirectory) {
  for (const std::string& path : {(Dir / "nothing.eraw").string(), Dir.string(), std::string()}) {
    Log.Entries.clear();
    const TImageLoadResult result = LoadFile(path);
    EXPECT_FALSE(result.Success) << path;
    const std::vector<TEntry> expected = {
        {llError, 0, "Загрузка прошивки: Файл " + path + " не найден"},
        {llError, 0, kLoadError},
    };
    EXPECT_EQ(Log.Entries, expected) << path;
  }
}

TEST_F(LoadImageTest, FailureTableOfTheFileSource) {
  auto wrongSize = GoodImage();
  wrongSize.pop_back();
  auto badChecksum = GoodImage();
  badChecksum[20] ^= 1;
  const struct {
    const char* what;
    std::vector<std::uint8_t> bytes;
    std::vector<std::string> log;
  } cases[] = {
      {"empty file", {}, {"Не верный размер файла прошивки", kLoadError}},
      {"wrong size", wrongSize, {"Не верный размер файла прошивки", kLoadError}},
      {"checksum", badChecksum, {"Ошибка контрольной суммы файла прошивки", kLoadError}},
      {"version", ContainerBytes("VLQN-x", std::nullopt, {1}), {kLoadError}},
  };
  for (const auto& c : cases) {
    Log.Entries.clear();
    Blocks.push_back(std::make_unique<TFirmwareBlock>(nullptr, 0, 0));  // from an earlier load
    EXPECT_FALSE(LoadFile(WriteFile("bad.eraw", c.bytes)).Success) << c.what;
    EXPECT_EQ(Log.Texts(), c.log) << c.what;
    EXPECT_TRUE(Blocks.empty()) << c.what;
  }
}

TEST_F(LoadImageTest, BadBuildDateStillLoads) {
  const TImageLoadResult result =
      LoadFile(WriteFile("a.eraw", ContainerBytes("VLQN-2.3b", "31.02.2012 10:00:00", {1, 2})));
  EXPECT_TRUE(result.Success);
  const std::vector<std::string> expected = {
      "Ошибка декодирования времени компиляции прошивки",
      "Загружена прошивка из файла \"" + (Dir / "a.eraw").string() + "\"",
      "Версия прошивки \"VLQN-2.3b\"",
      "Дата компиляции \"неизвестна\"",
  };
  EXPECT_EQ(Log.Texts(), expected);
}

TEST_F(LoadImageTest, BuiltInSource) {
  TImageLoadResult result = LoadBuiltIn(GoodImage());
  EXPECT_TRUE(result.Success);
  EXPECT_EQ(result.BuiltInLoaded, std::optional<bool>(true));
  EXPECT_EQ(Log.Texts().at(0), "Загружена прошивка из ресурсов");

  for (const auto& missing : {std::optional<std::vector<std::uint8_t>>(),
                              std::optional<std::vector<std::uint8_t>>(std::vector<std::uint8_t>{})}) {
    Log.Entries.clear();
    result = LoadBuiltIn(missing);
    EXPECT_FALSE(result.Success);
    EXPECT_EQ(result.BuiltInLoaded, std::optional<bool>(false));
    EXPECT_EQ(Log.Texts(), std::vector<std::string>{kLoadError});
  }

  Log.Entries.clear();
  TImageSource noReader;  // a front end that carries no built-in image at all
  EXPECT_FALSE(LoadImage(noReader, Blocks, Version, Log).Success);
  EXPECT_EQ(Log.Texts(), std::vector<std::string>{kLoadError});
}

TEST_F(LoadImageTest, BlockLimitEndsTheLoadWithItsTextAndNoReport) {
  const auto big = ContainerBytes("VLQN-2.3b", std::nullopt,
                                  std::vector<std::uint8_t>(TFirmwareBlock::kMaxSize + 1, 0));
  for (const bool fromFile : {true, false}) {
    Log.Entries.clear();
    Blocks.push_back(std::make_unique<TFirmwareBlock>(nullptr, 0, 0));
    const TImageLoadResult result = fromFile ? LoadFile(WriteFile("big.eraw", big)) : LoadBuiltIn(big);
    EXPECT_FALSE(result.Success);
    EXPECT_EQ(result.BlockSizeError, "Слишком большой размер блока прошивки");
    EXPECT_FALSE(result.BuiltInLoaded.has_value());
    EXPECT_TRUE(Log.Entries.empty());
    EXPECT_TRUE(Blocks.empty());
  }
}

TEST_F(LoadImageTest, VersionBytesFromTheContainerAreLoggedAsUtf8) {
  const auto bytes = ContainerBytes("VLQN-2.3\xE1\xE5\xF2\xE0", std::nullopt, {1});  // "бета"
  ASSERT_TRUE(LoadBuiltIn(bytes).Success);
  EXPECT_EQ(Version.Suffix, "\xE1\xE5\xF2\xE0");  // the record keeps the bytes it was given
  EXPECT_EQ(Log.Texts().at(1), "Версия прошивки \"VLQN-2.3бета\"");
}
