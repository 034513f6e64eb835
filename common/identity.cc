// Swapping between the invoking user's and the recorded privileged identity.
#include "common/identity.h"

#include <unistd.h>

// Failures are ignored throughout: without privileges the swaps change nothing.
void Identity::record_and_swap() {
  real_uid_ = getuid();
  effective_uid_ = geteuid();
  real_gid_ = getgid();
  effective_gid_ = getegid();
  recorded_ = true;
  // Groups first, while the effective user may still be privileged.
  (void)!setregid(effective_gid_, real_gid_);
  (void)!setreuid(effective_uid_, real_uid_);
}

Identity::Privileged::Privileged(const Identity& identity) : identity_(identity) {
  if (!identity_.recorded_) return;
  (void)!setreuid(identity_.real_uid_, identity_.effective_uid_);
  (void)!setregid(identity_.real_gid_, identity_.effective_gid_);
}

Identity::Privileged::~Privileged() {
  if (!identity_.recorded_) return;
  (void)!setregid(identity_.effective_gid_, identity_.real_gid_);
  (void)!setreuid(identity_.effective_uid_, identity_.real_uid_);
}
