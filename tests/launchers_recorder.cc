// Stands in for a launcher's script in the tests: writes its argument vector, real
// and effective user ids and sorted environment to standard output or, when
// LAUNCH_RECORD names a file, there together with what descriptors 0 to 2 are.
#include <unistd.h>

#include <algorithm>
#include <fstream>
#include <iostream>
#include <string>
#include <vector>

int main(int argc, char** argv) {
  std::string record = "argv:";
  for (int i = 0; i < argc; ++i) record += (i ? "|" : " ") + std::string(argv[i]);
  record += "\nids: " + std::to_string(getuid()) + " " + std::to_string(geteuid()) + "\nenv:";
  std::vector<std::string> env;
  const char* file = nullptr;
  for (char** entry = environ; *entry; ++entry) {
    std::string text = *entry;
    if (text.starts_with("LAUNCH_RECORD=")) file = *entry + 14;
    // Leave out the test harness's own variables; QUINTARO_ROOT only as whether it came.
    if (text.starts_with("QUINTARO_ROOT=")) {
      env.push_back("QUINTARO_ROOT=ROOT");
    } else if (text.find("SAN_OPTIONS=") == std::string::npos &&
               !text.starts_with("LAUNCH_RECORD=")) {
      env.push_back(text);
    }
  }
  std::sort(env.begin(), env.end());
  for (size_t i = 0; i < env.size(); ++i) record += (i ? "|" : " ") + env[i];
  if (!file) {
    std::cout << record << "\n";
    return 0;
  }
  record += "\nfds:";
  for (int fd = 0; fd <= 2; ++fd) {
    char target[256] = "closed";
    ssize_t n = readlink(("/proc/self/fd/" + std::to_string(fd)).c_str(), target, 255);
    if (n > 0) target[n] = '\0';
    record += std::string(" ") + target;
  }
  std::ofstream(file) << record << "\n";
  return 0;
}
