// Collecting standard error and the debug file in tests.
#include "tests/support/capture.h"

#include <stdlib.h>
#include <unistd.h>

std::string read_all(int fd) {
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

int temp_fd() {
  char name[] = "/tmp/quintaro_test_XXXXXX";
  int fd = mkstemp(name);
  if (fd >= 0) unlink(name);
  return fd;
}

StderrCapture::StderrCapture() : fd_(temp_fd()) {
  std::fflush(stderr);
  saved_ = dup(2);
  dup2(fd_, 2);
}

StderrCapture::~StderrCapture() {
  restore();
  close(fd_);
}

void StderrCapture::restore() {
  if (saved_ < 0) return;
  std::fflush(stderr);
  dup2(saved_, 2);
  close(saved_);
  saved_ = -1;
}

std::string StderrCapture::text() {
  restore();
  return read_all(fd_);
}

DebugCapture::DebugCapture(int level) : file_(std::tmpfile()), saved_(debug_trace()) {
  debug_trace().level = level;
  debug_trace().file = file_;
}

DebugCapture::~DebugCapture() {
  debug_trace() = saved_;
  std::fclose(file_);
}

std::string DebugCapture::text() const {
  std::fflush(file_);
  return read_all(fileno(file_));
}
