// The identity service of a program installed with a privileged owner: it runs as the
// invoking user (real and effective ids swapped at start) and takes the recorded
// privileged identity back only within a Privileged scope.
#pragma once

#include <sys/types.h>

class Identity {
 public:
  // Records the real and effective user and group ids and swaps each pair.
  void record_and_swap();

  // Holds the recorded (privileged) identity while it exists.
  class Privileged {
   public:
    explicit Privileged(const Identity& identity);
    ~Privileged();
    Privileged(const Privileged&) = delete;
    Privileged& operator=(const Privileged&) = delete;

   private:
    const Identity& identity_;
  };

 private:
  bool recorded_ = false;
  uid_t real_uid_ = 0, effective_uid_ = 0;
  gid_t real_gid_ = 0, effective_gid_ = 0;
};
