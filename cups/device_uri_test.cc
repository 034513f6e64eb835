// The backend's device URIs.
#include "cups/device_uri.h"

#include <gtest/gtest.h>

namespace {

TEST(DeviceUriTest, NamesAQueueOrAFoundPrinter) {
  const struct {
    const char* uri;
    DeviceTarget::Kind kind;
    const char* name;
  } cases[] = {
      {"quintaro:/q1", DeviceTarget::QUEUE, "q1"},
      {"QUINTARO:///office.2", DeviceTarget::QUEUE, "office.2"},
      {"quintaro:/a%5Fb", DeviceTarget::QUEUE, "a_b"},
      {"quintaro://10.1.0.7", DeviceTarget::DISCOVERED, "10.1.0.7"},
      {"quintaro://10.1.0.7/", DeviceTarget::DISCOVERED, "10.1.0.7"},
      {"quintaro:/../etc", DeviceTarget::INVALID, ""},
      {"quintaro:/a%2Fb", DeviceTarget::INVALID, ""},
      {"quintaro:/-x", DeviceTarget::INVALID, ""},
      {"quintaro:/a%2", DeviceTarget::INVALID, ""},
      {"quintaro:/", DeviceTarget::INVALID, ""},
      {"quintaro:q1", DeviceTarget::INVALID, ""},
      {"socket://10.1.0.7", DeviceTarget::INVALID, ""},
      {"quintaro://h/q1", DeviceTarget::INVALID, ""},
  };
  for (const auto& c : cases) {
    DeviceTarget target = parse_device_uri(c.uri);
    EXPECT_EQ(target.kind, c.kind) << c.uri;
    EXPECT_EQ(target.name, c.name) << c.uri;
  }
  EXPECT_EQ(queue_uri("q1"), "quintaro:/q1");
}

}  // namespace
