// Discovery's retrying allocator: an allocation that fails is tried again, 5 seconds
// later, until it succeeds, so callers never see an empty result.
//
// ov_malloc, ov_realloc and ov_calloc behave like malloc, realloc and calloc except
// that they never give nullptr: a request for 0 bytes gets a 1-byte block, and a
// failed attempt is followed by a sleep of OV_MALLOC_SLEEP_SECONDS and another
// attempt, for as long as it takes. Blocks are released with free(). With debug bit
// DEBUG_OV_MALLOC the retries are traced on the debug stream:
//   "| OV_MALLOC: Sleep for:(%d)       Allocating:( %d ) bytes \n"   at the first failure
//   "|    malloc failed .. try #%d:Sleeping for %d seconds\n"        after each failure
//   "|    malloc succeeded in try # %d:\n"                            when a retry succeeds
// (tries count from 1, the first attempt included). An allocation that succeeds at
// once writes nothing.
//
// OvAllocator puts standard containers on the same policy (OvVector, OvList, ...).
#pragma once

#include <cstddef>
#include <cstdio>
#include <cstdlib>
#include <deque>
#include <list>
#include <map>
#include <new>
#include <vector>

#include "common/clock.h"

inline constexpr int DEBUG_OV_MALLOC = 0x20000;
inline constexpr unsigned OV_MALLOC_SLEEP_SECONDS = 5;

// Where the blocks come from; tests put a failing one in place of the real one.
class OvMemory {
 public:
  virtual ~OvMemory() = default;
  // A block of `size` bytes (at least 1), or nullptr.
  virtual void* allocate(size_t size);
  // `block` resized to `size` bytes (at least 1), or nullptr with `block` untouched.
  virtual void* reallocate(void* block, size_t size);
};

// The allocator's process-wide settings.
struct OvMallocSettings {
  OvMemory* memory = nullptr;  // nullptr: malloc and realloc
  Sleeper* sleeper = nullptr;  // nullptr: the real sleeper
  int debug_level = 0;         // the program's debug bit mask
  FILE* debug_file = nullptr;  // the debug stream, owned by the program
};
OvMallocSettings& ov_malloc_settings();

void* ov_malloc(size_t size);
void* ov_realloc(void* block, size_t size);
// `count` blocks of `size` bytes, cleared; a product that overflows throws
// std::bad_array_new_length.
void* ov_calloc(size_t count, size_t size);

template <typename T>
struct OvAllocator {
  using value_type = T;
  OvAllocator() = default;
  template <typename U>
  OvAllocator(const OvAllocator<U>&) noexcept {}
  T* allocate(size_t n) {
    if (n > static_cast<size_t>(-1) / sizeof(T)) throw std::bad_array_new_length();
    return static_cast<T*>(ov_malloc(n * sizeof(T)));
  }
  void deallocate(T* block, size_t) noexcept { std::free(block); }
  template <typename U>
  bool operator==(const OvAllocator<U>&) const noexcept {
    return true;
  }
};

template <typename T>
using OvVector = std::vector<T, OvAllocator<T>>;
template <typename T>
using OvList = std::list<T, OvAllocator<T>>;
template <typename T>
using OvDeque = std::deque<T, OvAllocator<T>>;
template <typename K, typename V, typename Less = std::less<K>>
using OvMap = std::map<K, V, Less, OvAllocator<std::pair<const K, V>>>;
