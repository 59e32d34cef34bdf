#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <vector>

#include "fuzzentries.h"
#include "shellentries.h"

// Replays the kept inputs of the fuzz targets for the settings file, the command line and
// the identity query: seeds, and inputs that once broke something, kept by name.
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

TEST(FuzzCorpus, IdentityQuery) { ReplayDirectory("identity_query", FuzzIdentityQuery); }
TEST(FuzzCorpus, SettingsFile) { ReplayDirectory("settings_file", FuzzSettingsFile); }
TEST(FuzzCorpus, CommandLine) { ReplayDirectory("command_line", FuzzCommandLine); }
