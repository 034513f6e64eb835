// What the fuzz targets share: a command line cut from the input, and the input as a
// regular file in memory for readers that take a path.
#pragma once

#include <sys/mman.h>
#include <unistd.h>

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

// The input's zero-separated pieces as argv, after `program` as argv[0]; at most
// `limit` arguments. Each argument is a separate allocation, so that a parser
// reading past one is caught.
class FuzzArguments {
 public:
  FuzzArguments(std::string_view program, std::string_view input, size_t limit = 64) {
    add(program);
    while (!input.empty() && strings_.size() <= limit) {
      size_t end = input.find('\0');
      add(input.substr(0, end));
      input.remove_prefix(end == std::string_view::npos ? input.size() : end + 1);
    }
  }
  FuzzArguments(const FuzzArguments& other) : strings_(other.strings_) {}
  FuzzArguments& operator=(const FuzzArguments&) = delete;

  int argc() const { return static_cast<int>(strings_.size()); }
  // Pointers that parsers may reorder (getopt does); valid while this object lives.
  char** argv() {
    pointers_.clear();
    for (std::string& s : strings_) pointers_.push_back(s.data());
    pointers_.push_back(nullptr);
    return pointers_.data();
  }
  std::vector<std::string>& strings() { return strings_; }

 private:
  void add(std::string_view text) { strings_.emplace_back(text); }

  std::vector<std::string> strings_;
  std::vector<char*> pointers_;
};

// The input as a regular file in memory (memfd), named by a /proc/self/fd path.
class FuzzMemoryFile {
 public:
  FuzzMemoryFile(const uint8_t* data, size_t size) : fd_(memfd_create("fuzz", MFD_CLOEXEC)) {
    if (fd_ < 0) __builtin_trap();
    for (size_t done = 0; done < size;) {
      ssize_t n = write(fd_, data + done, size - done);
      if (n <= 0) __builtin_trap();
      done += static_cast<size_t>(n);
    }
    path_ = "/proc/self/fd/" + std::to_string(fd_);
  }
  ~FuzzMemoryFile() { close(fd_); }
  FuzzMemoryFile(const FuzzMemoryFile&) = delete;
  FuzzMemoryFile& operator=(const FuzzMemoryFile&) = delete;

  const std::string& path() const { return path_; }

 private:
  int fd_;
  std::string path_;
};
