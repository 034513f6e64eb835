// Descriptor I/O that survives short counts and interrupted calls.
#pragma once

#include <sys/types.h>

#include <cstddef>
#include <string>
#include <string_view>

// Writes all `size` bytes to `fd`, looping on short writes and EINTR. Returns
// false (with errno set) when a write fails.
bool write_all(int fd, const void* data, size_t size);
inline bool write_all(int fd, std::string_view text) {
  return write_all(fd, text.data(), text.size());
}

// Replaces the file `path` with `bytes` through the temporary file `path` +
// `temp_suffix` beside it, renamed into place only when every byte was written and
// closed, so that a failed run leaves neither a partial file nor the temporary one.
// Returns false with errno set.
bool replace_file(const std::string& path, std::string_view bytes, std::string_view temp_suffix);

// One read(2), repeated while it is interrupted. Returns what read(2) returns.
ssize_t read_retry(int fd, void* buffer, size_t size);
