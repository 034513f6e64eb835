// The retrying allocator.
#include "npa/ov_malloc.h"

#include <cstdarg>
#include <cstdlib>
#include <cstring>

void* OvMemory::allocate(size_t size) { return std::malloc(size); }

void* OvMemory::reallocate(void* block, size_t size) { return std::realloc(block, size); }

OvMallocSettings& ov_malloc_settings() {
  static OvMallocSettings settings;
  return settings;
}

namespace {

void trace(const char* format, ...) __attribute__((format(printf, 1, 2)));
void trace(const char* format, ...) {
  const OvMallocSettings& s = ov_malloc_settings();
  if ((s.debug_level & DEBUG_OV_MALLOC) == 0 || !s.debug_file) return;
  va_list args;
  va_start(args, format);
  std::vfprintf(s.debug_file, format, args);
  va_end(args);
  std::fflush(s.debug_file);
}

// Repeats `attempt` until it gives a block, sleeping between attempts.
template <typename Attempt>
void* retry(size_t size, Attempt attempt) {
  void* block = attempt();
  if (block) return block;
  OvMallocSettings& s = ov_malloc_settings();
  Sleeper& sleeper = s.sleeper ? *s.sleeper : real_sleeper();
  trace("| OV_MALLOC: Sleep for:(%d)       Allocating:( %d ) bytes \n",
        static_cast<int>(OV_MALLOC_SLEEP_SECONDS), static_cast<int>(size));
  int tries = 1;
  for (; !block; block = attempt()) {
    trace("|    malloc failed .. try #%d:Sleeping for %d seconds\n", tries,
          static_cast<int>(OV_MALLOC_SLEEP_SECONDS));
    sleeper.sleep_seconds(OV_MALLOC_SLEEP_SECONDS);
    ++tries;
  }
  trace("|    malloc succeeded in try # %d:\n", tries);
  return block;
}

OvMemory& memory() {
  static OvMemory real;
  OvMallocSettings& s = ov_malloc_settings();
  return s.memory ? *s.memory : real;
}

}  // namespace

void* ov_malloc(size_t size) {
  if (size == 0) size = 1;
  return retry(size, [size] { return memory().allocate(size); });
}

void* ov_realloc(void* block, size_t size) {
  if (size == 0) size = 1;
  return retry(size, [block, size] { return memory().reallocate(block, size); });
}

void* ov_calloc(size_t count, size_t size) {
  if (size != 0 && count > static_cast<size_t>(-1) / size) throw std::bad_array_new_length();
  size_t total = count * size;
  void* block = ov_malloc(total);
  std::memset(block, 0, total == 0 ? 1 : total);
  return block;
}
