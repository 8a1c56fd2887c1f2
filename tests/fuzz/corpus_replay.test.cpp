// Every input of the fuzz corpus, replayed as a regular test.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <vector>

#include "tests/fuzz/task_on_script.h"

TEST(TaskFuzzCorpus, EveryInputRunsToItsTerminationLine) {
  const std::filesystem::path corpus = ZEDAZI_FUZZ_CORPUS;
  int replayed = 0;
  for (const auto& entry : std::filesystem::directory_iterator(corpus)) {
    std::ifstream in(entry.path(), std::ios::binary);
    const std::vector<uint8_t> data{std::istreambuf_iterator<char>(in), {}};
    SCOPED_TRACE(entry.path().filename().string());
    RunTaskOnScript(data.data(), data.size());
    ++replayed;
  }
  EXPECT_GT(replayed, 0);
}
