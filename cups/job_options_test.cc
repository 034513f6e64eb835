// CUPS's option text as the backend reads it.
#include "cups/job_options.h"

#include <gtest/gtest.h>

namespace {

TEST(JobOptionsTest, ReadsCupsOptionText) {
  const struct {
    const char* text;
    std::vector<std::pair<std::string, std::string>> options;
  } cases[] = {
      {"", {}},
      {"orientation=landscape job-uuid=urn:uuid:1 copies=2",
       {{"orientation", "landscape"}, {"job-uuid", "urn:uuid:1"}, {"copies", "2"}}},
      {"title='a b' x=\"c\\\"d\" y=e\\ f", {{"title", "a b"}, {"x", "c\"d"}, {"y", "e f"}}},
      {"media-col={media-size={x-dimension=1 y-dimension=2}} n=1",
       {{"media-col", "{media-size={x-dimension=1 y-dimension=2}}"}, {"n", "1"}}},
      {"collate nocollate fit-to-page", {{"collate", "false"}, {"fit-to-page", "true"}}},
      {"a=1 a=2", {{"a", "2"}}},
      {"empty= next=x", {{"empty", ""}, {"next", "x"}}},
  };
  for (const auto& c : cases) {
    std::vector<std::pair<std::string, std::string>> got;
    for (const JobOption& option : parse_job_options(c.text)) {
      got.emplace_back(option.name, option.value);
    }
    EXPECT_EQ(got, c.options) << c.text;
  }
  std::vector<JobOption> options = parse_job_options("job-originating-host-name=10.0.0.1");
  ASSERT_NE(find_option(options, "job-originating-host-name"), nullptr);
  EXPECT_EQ(*find_option(options, "job-originating-host-name"), "10.0.0.1");
  EXPECT_EQ(find_option(options, "title"), nullptr);
}

}  // namespace
