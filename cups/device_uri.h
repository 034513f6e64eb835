// Device URIs of the backend: quintaro:/QUEUE prints through the suite's queue QUEUE;
// quintaro://ADDRESS stands for a printer that discovery found but no queue serves yet.
#pragma once

#include <string>
#include <string_view>

inline constexpr std::string_view kScheme = "quintaro";

struct DeviceTarget {
  enum Kind {
    QUEUE,       // `name` is a queue name (checked as the administration scripts check it)
    DISCOVERED,  // `name` is the printer's address
    INVALID,     // not a URI of this backend, or a malformed one
  };
  Kind kind = INVALID;
  std::string name;
};

// Reads "quintaro:/QUEUE" (also "quintaro:///QUEUE") and "quintaro://ADDRESS[/]". The
// scheme is matched without regard to case; %XX escapes are decoded.
DeviceTarget parse_device_uri(std::string_view uri);

// Queue and device names of the suite: letters, digits, ".", "_" and "-", not starting
// with "." or "-", at most 64 characters.
bool valid_queue_name(std::string_view name);

std::string queue_uri(std::string_view queue);         // quintaro:/QUEUE
std::string discovered_uri(std::string_view address);  // quintaro://ADDRESS
