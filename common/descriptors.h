// Descriptor settings every program needs: non-blocking mode, and the standard
// descriptors kept open.
#pragma once

// Sets O_NONBLOCK on `fd`.
void set_nonblocking(int fd);

// Opens /dev/null on each of descriptors 0 to 2 that is closed, so that nothing the
// program opens later takes one of their numbers and receives stray output or
// input. False when one could not be opened.
bool ensure_standard_descriptors();
