// The suite properties reader: which word names the directory of per-user queues.
#include "jobshaper/user_queue.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <fstream>
#include <optional>
#include <string>

#include "tests/support/program.h"

namespace {

TEST(SuiteProperties, TheFirstUniqueUserDirWordCounts) {
  TempTree tree;
  const std::string path = tree.path("quint.properties");
  const struct {
    const char* text;
    std::optional<std::string> unique_dir;
  } cases[] = {
      {"", std::nullopt},
      {"quint.unique.user.dir=mine", "mine"},
      {"a=b\tquint.unique.user.dir=one quint.unique.user.dir=two\n", "one"},
      {"quint.unique.user.dir.x=no quint.unique.user=no", std::nullopt},
      {"  quint.unique.user.dir=\n", ""},
      {"quint.unique.user.dir=with=equals", "with=equals"},
  };
  for (const auto& c : cases) {
    std::ofstream(path) << c.text;
    SuiteProperties properties = read_suite_properties(path);
    EXPECT_TRUE(properties.file_found) << c.text;
    EXPECT_EQ(properties.unique_user_dir, c.unique_dir) << c.text;
  }
  unlink(path.c_str());
  EXPECT_FALSE(read_suite_properties(path).file_found);
}

}  // namespace
