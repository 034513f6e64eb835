// Helpers of the PDD library's tests: a fixture that restores the library's
// process-wide state, and the library's own output collected.
#pragma once

#include <fcntl.h>
#include <gtest/gtest.h>
#include <stdlib.h>
#include <unistd.h>

#include <cstdio>
#include <string>

#include "common/debug_trace.h"
#include "pdd/definitions.h"
#include "pdd/library.h"
#include "tests/support/capture.h"
#include "tests/support/program.h"

namespace pddtest {

// Saves the debug settings, the library settings and the definition table at the
// start of each test and restores them at its end.
class PddTest : public ::testing::Test {
 protected:
  void SetUp() override {
    saved_trace_ = debug_trace();
    saved_library_ = pdd_library();
  }
  void TearDown() override {
    debug_trace() = saved_trace_;
    pdd_library() = saved_library_;
    clear_definitions();
  }

 private:
  DebugTrace saved_trace_;
  PddLibrary saved_library_;
};

// A memory source that calls a function, for tests whose fakes are plain functions.
class MemoryFunction : public MemorySource {
 public:
  explicit MemoryFunction(void* (*allocate)(size_t)) : allocate_(allocate) {}
  void* allocate(size_t size) override { return allocate_(size); }

 private:
  void* (*allocate_)(size_t);
};

// Collects what the library writes through pdd_message.
class LibraryOutput {
 public:
  LibraryOutput() : fd_(temp_fd()), saved_(pdd_library().output_fd) {
    pdd_library().output_fd = fd_;
  }
  ~LibraryOutput() {
    pdd_library().output_fd = saved_;
    close(fd_);
  }
  LibraryOutput(const LibraryOutput&) = delete;
  LibraryOutput& operator=(const LibraryOutput&) = delete;
  std::string text() const { return read_all(fd_); }

 private:
  int fd_;
  int saved_;
};

}  // namespace pddtest
