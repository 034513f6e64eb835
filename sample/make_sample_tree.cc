// make_sample_tree ROOT: writes the sample queues and PDD below ROOT.
#include <cstdio>

#include "sample/sample_tree.h"

int main(int argc, char** argv) {
  if (argc != 2) {
    std::fprintf(stderr, "usage: %s ROOT\n", argv[0]);
    return 2;
  }
  return write_sample_tree(argv[1]) ? 0 : 1;
}
