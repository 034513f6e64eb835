// Copying a job or a banner file to standard output in blocks of 8192 bytes, with
// plain reads and writes and nothing buffered in between.
#pragma once

#include <string>

inline constexpr size_t COPY_BLOCK = 8192;

enum class CopyResult { DONE, READ_FAILED, WRITE_FAILED };

// Copies `fd` to standard output until its end. On failure `error` holds errno.
CopyResult copy_to_stdout(int fd, int* error);

// Reports a failed copy on standard error and in the debug listing; `invocation`
// names the program and `source` what was read ("the print job").
void report_copy_failure(CopyResult result, int error, const std::string& invocation,
                         const char* source);
