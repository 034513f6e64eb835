// Fixed places of the suite on disk, optionally moved below QUINTARO_ROOT.
#include "common/paths.h"

#include <stdlib.h>

namespace paths {

std::string root() {
  const char* value = secure_getenv("QUINTARO_ROOT");
  return value ? std::string(value) : std::string();
}

std::string rooted(std::string_view absolute_path) {
  std::string result = root();
  result.append(absolute_path);
  return result;
}

}  // namespace paths
