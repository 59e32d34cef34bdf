#pragma once
#include <gtest/gtest.h>

#include <cstdint>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <vector>

// Replays every kept input of one fuzz target (seeds and inputs that once broke
// something, kept by name) through the target's entry point; an input that breaks a
// parser again aborts the test. The corpus lives in VL_FUZZ_CORPUS_DIR/<name>.
inline void ReplayCorpus(const char* name, void (*entry)(const std::uint8_t*, std::size_t)) {
  namespace fs = std::filesystem;
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
