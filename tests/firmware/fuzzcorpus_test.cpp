#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "fuzzentries.h"

// Replays every kept fuzz input, seeds and former crashes alike, through the entry points
// of the fuzz targets. An input that breaks a parser again aborts this test.
namespace {

namespace fs = std::filesystem;

void ReplayDirectory(const char* name, void (*entry)(const std::uint8_t*, std::size_t)) {
  const fs::path dir = fs::path(VL_FUZZ_CORPUS_DIR) / name;
  ASSERT_TRUE(fs::is_directory(dir)) << dir;
  int replayed = 0;
  for (const auto& file : fs::directory_iterator(dir)) {
    if (!file.is_regular_file()) continue;
    std::ifstream in(file.path(), std::ios::binary);
    const std::vector<std::uint8_t> bytes((std::istreambuf_iterator<char>(in)),
                                          std::istreambuf_iterator<char>());
    SCOPED_TRACE(file.path().string());
    entry(bytes.data(), bytes.size());
    ++replayed;
  }
  EXPECT_GT(replayed, 0) << "no inputs in " << dir;
}

}  // namespace

TEST(FuzzCorpus, ParseImage) { ReplayDirectory("parse_image", FuzzParseImage); }
TEST(FuzzCorpus, ReplyChecks) { ReplayDirectory("reply_checks", FuzzReplyChecks); }
TEST(FuzzCorpus, VersionParse) { ReplayDirectory("version_parse", FuzzVersionParse); }
