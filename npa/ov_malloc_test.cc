// Tests of the retrying allocator: attempts, sleeps and traces while memory is short.
#include "npa/ov_malloc.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "tests/support/capture.h"

namespace {

// Memory that fails a given number of attempts before it gives blocks.
class ShortMemory : public OvMemory {
 public:
  int failures = 0;
  int attempts = 0;
  void* allocate(size_t size) override {
    ++attempts;
    if (failures > 0 && failures--) return nullptr;
    void* block = std::malloc(size);
    std::memset(block, 0xAA, size);  // ov_calloc must clear it
    return block;
  }
  void* reallocate(void* block, size_t size) override {
    ++attempts;
    if (failures > 0 && failures--) return nullptr;
    return std::realloc(block, size);
  }
};

class RecordingSleeper : public Sleeper {
 public:
  std::vector<unsigned> sleeps;
  void sleep_seconds(unsigned seconds) override { sleeps.push_back(seconds); }
};

class OvMallocTest : public ::testing::Test {
 protected:
  void SetUp() override { ov_malloc_settings() = {&memory, &sleeper, DEBUG_OV_MALLOC, debug}; }
  void TearDown() override {
    ov_malloc_settings() = {};
    std::fclose(debug);
  }
  std::string trace() {
    std::fflush(debug);
    return read_all(fileno(debug));
  }

  ShortMemory memory;
  RecordingSleeper sleeper;
  FILE* debug = std::tmpfile();
};

TEST_F(OvMallocTest, RetriesEveryFiveSecondsUntilItGetsABlock) {
  const struct {
    const char* what;
    int failures;
    size_t size;
    std::string trace;
  } cases[] = {
      {"at once", 0, 24, ""},
      {"a zero size", 0, 0, ""},
      {"third try", 2, 24,
       "| OV_MALLOC: Sleep for:(5)       Allocating:( 24 ) bytes \n"
       "|    malloc failed .. try #1:Sleeping for 5 seconds\n"
       "|    malloc failed .. try #2:Sleeping for 5 seconds\n"
       "|    malloc succeeded in try # 3:\n"},
  };
  for (const auto& c : cases) {
    for (int twin = 0; twin < 3; ++twin) {
      memory.attempts = 0;
      memory.failures = c.failures;
      sleeper.sleeps.clear();
      std::rewind(debug);
      ASSERT_EQ(ftruncate(fileno(debug), 0), 0);
      void* block = twin == 0   ? ov_malloc(c.size)
                    : twin == 1 ? ov_realloc(nullptr, c.size)
                                : ov_calloc(1, c.size);
      ASSERT_NE(block, nullptr) << c.what;
      if (twin == 2 && c.size > 0) {
        EXPECT_EQ(static_cast<unsigned char*>(block)[c.size - 1], 0);
      }
      std::free(block);
      EXPECT_EQ(memory.attempts, c.failures + 1) << c.what << " " << twin;
      EXPECT_EQ(sleeper.sleeps, std::vector<unsigned>(c.failures, 5)) << c.what;
      EXPECT_EQ(trace(), c.trace) << c.what << " " << twin;
    }
  }
}

}  // namespace
