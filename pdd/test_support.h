// Helpers of the PDD library's tests: a fixture that restores the library's
// process-wide state, captured outputs and temporary files.
#pragma once

#include <fcntl.h>
#include <gtest/gtest.h>
#include <stdlib.h>
#include <unistd.h>

#include <cstdio>
#include <filesystem>
#include <string>

#include "common/debug_trace.h"
#include "pdd/definitions.h"
#include "pdd/library.h"

namespace pddtest {

// Everything in the file behind `fd`, from its start.
inline std::string read_all(int fd) {
  std::string text;
  char buffer[4096];
  off_t offset = 0;
  for (;;) {
    ssize_t n = pread(fd, buffer, sizeof buffer, offset);
    if (n <= 0) break;
    text.append(buffer, static_cast<size_t>(n));
    offset += n;
  }
  return text;
}

// An anonymous temporary file, open for reading and writing.
inline int temp_fd() {
  char name[] = "/tmp/pdd_test_XXXXXX";
  int fd = mkstemp(name);
  if (fd >= 0) unlink(name);
  return fd;
}

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

// Collects what is written to standard error.
class StderrCapture {
 public:
  StderrCapture() : fd_(temp_fd()), saved_(dup(2)) { dup2(fd_, 2); }
  ~StderrCapture() {
    dup2(saved_, 2);
    close(saved_);
    close(fd_);
  }
  StderrCapture(const StderrCapture&) = delete;
  StderrCapture& operator=(const StderrCapture&) = delete;
  std::string text() const { return read_all(fd_); }

 private:
  int fd_;
  int saved_;
};

// Points the debug trace at a temporary file with the given debug number.
class DebugCapture {
 public:
  explicit DebugCapture(int level) : file_(std::tmpfile()), saved_(debug_trace()) {
    debug_trace().level = level;
    debug_trace().file = file_;
  }
  ~DebugCapture() {
    debug_trace() = saved_;
    std::fclose(file_);
  }
  DebugCapture(const DebugCapture&) = delete;
  DebugCapture& operator=(const DebugCapture&) = delete;
  std::string text() const {
    std::fflush(file_);
    return read_all(fileno(file_));
  }

 private:
  FILE* file_;
  DebugTrace saved_;
};

// A temporary directory, removed with its contents.
class TempDir {
 public:
  TempDir() {
    char name[] = "/tmp/pdd_test_dir_XXXXXX";
    path_ = mkdtemp(name) ? name : "";
  }
  ~TempDir() {
    std::error_code ignored;
    std::filesystem::remove_all(path_, ignored);
  }
  TempDir(const TempDir&) = delete;
  TempDir& operator=(const TempDir&) = delete;
  std::string path(const std::string& name) const { return path_ + "/" + name; }

 private:
  std::string path_;
};

}  // namespace pddtest
