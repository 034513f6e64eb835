// The search list of discovery: the hosts, networks and ranges given on the command
// line, kept in ascending address order without overlaps, and the iterator that
// hands the probe engine one dotted address at a time.
#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

// An IPv4 address as its four bytes, most significant first (network byte order).
using Address = std::array<uint8_t, 4>;

enum class EntryKind : uint8_t { HOST = 1, NETWORK = 2, RANGE = 3 };

struct SearchEntry {
  EntryKind kind;
  Address start;
  Address end;  // the same as start for a host
};

// "%d.%d.%d.%d".
std::string dotted(const Address& address);

// A plain dotted address as -n and -r take it: it converts with inet_addr, holds at
// least three "." and is not 255.255.255.255 (inet_addr's failure value).
std::optional<Address> parse_dotted(std::string_view text);

// The addresses a network stands for: from the last byte towards the first, every
// zero byte up to the first non-zero one becomes 1 in the start and 254 in the end
// (192.168.1.0 gives 192.168.1.1 to 192.168.1.254).
std::pair<Address, Address> expand_network(const Address& network);

class SearchList {
 public:
  // Insert an entry in address order; 0, or -1 when it overlaps an entry already in
  // the list (which is left as it was).
  int add_host(const Address& address);
  int add_network(const Address& network);  // expanded as expand_network says
  int add_range(const Address& first, const Address& last);

  // 0 and the next address as dotted text, or -1 when the list is empty or
  // exhausted (and from then on). Every byte reached by counting runs 1 to 254: a
  // byte that passes 254 becomes 1 and carries into the byte before it, so a range
  // skips the addresses whose bytes would be 0 or 255 once a carry occurs.
  int next_address(std::string* text);
  // The same, giving the address itself.
  int next_address(Address* address);
  // Restores the iterator to where it was before the last next_address, so that the
  // next call yields the same address again.
  void put_back();
  // How many addresses the iteration yields from its start, counting no further than
  // `limit`; the iterator is left as it is.
  size_t count_up_to(size_t limit) const;

  const std::vector<SearchEntry>& entries() const { return entries_; }

 private:
  struct Iterator {
    bool started = false;
    bool active = true;
    size_t entry = 0;
    Address current{};
  };

  int insert(const SearchEntry& entry);

  std::vector<SearchEntry> entries_;  // ascending, no two overlapping
  Iterator iterator_, saved_;
};

// How many addresses iterating `list` yields, counting no further than `limit`.
size_t count_addresses_up_to(const SearchList& list, size_t limit);
