// The search list: ordering, overlap, network expansion and iteration.
#include "hostsweep/search_list.h"

#include <arpa/inet.h>

#include <algorithm>

#include "common/format.h"

namespace {

// Byte-wise comparison, most significant byte first: -1, 0 or 1.
int compare(const Address& a, const Address& b) {
  if (a < b) return -1;
  return a == b ? 0 : 1;
}

// Where `a` goes relative to `b`: before (-1), after (1), or overlapping (0).
int place(const SearchEntry& a, const SearchEntry& b) {
  bool a_host = a.kind == EntryKind::HOST, b_host = b.kind == EntryKind::HOST;
  if (a_host && b_host) return compare(a.start, b.start);
  if (a_host) {
    if (compare(a.start, b.start) < 0) return -1;
    return compare(a.start, b.end) <= 0 ? 0 : 1;
  }
  if (b_host) return -place(b, a);
  if (compare(a.end, b.start) < 0) return -1;
  if (compare(a.start, b.end) > 0) return 1;
  return 0;
}

// The next address in the counting order: the last byte goes up; a byte that passes
// 254 becomes 1 and carries into the one before it, up to the first byte.
Address increment(Address address) {
  for (int i = 3; i >= 0; --i) {
    if (address[i] < 254) {
      ++address[i];
      return address;
    }
    address[i] = 1;
  }
  return address;
}

bool inside(const Address& address, const SearchEntry& entry) {
  return place(SearchEntry{EntryKind::HOST, address, address}, entry) == 0;
}

}  // namespace

std::string dotted(const Address& a) { return strprintf("%d.%d.%d.%d", a[0], a[1], a[2], a[3]); }

std::optional<Address> parse_dotted(std::string_view text) {
  std::string copy(text);
  if (std::count(copy.begin(), copy.end(), '.') < 3) return std::nullopt;
  in_addr_t value = inet_addr(copy.c_str());
  if (value == INADDR_NONE) return std::nullopt;
  Address address;
  std::copy_n(reinterpret_cast<const uint8_t*>(&value), 4, address.begin());
  return address;
}

std::pair<Address, Address> expand_network(const Address& network) {
  Address start = network, end = network;
  for (int i = 3; i >= 0 && network[i] == 0; --i) {
    start[i] = 1;
    end[i] = 254;
  }
  return {start, end};
}

int SearchList::insert(const SearchEntry& entry) {
  // An entry after the last one goes to the end at once: a list built in ascending
  // order (the addresses a prescan found) takes no walk per entry.
  if (!entries_.empty() && place(entry, entries_.back()) > 0) {
    entries_.push_back(entry);
    return 0;
  }
  auto at = entries_.begin();
  for (; at != entries_.end(); ++at) {
    int where = place(entry, *at);
    if (where == 0) return -1;
    if (where < 0) break;
  }
  entries_.insert(at, entry);
  return 0;
}

int SearchList::add_host(const Address& address) {
  return insert({EntryKind::HOST, address, address});
}

int SearchList::add_network(const Address& network) {
  auto [start, end] = expand_network(network);
  return insert({EntryKind::NETWORK, start, end});
}

int SearchList::add_range(const Address& first, const Address& last) {
  return insert({EntryKind::RANGE, first, last});
}

int SearchList::next_address(std::string* text) {
  Address address;
  if (next_address(&address) != 0) return -1;
  *text = dotted(address);
  return 0;
}

int SearchList::next_address(Address* address) {
  saved_ = iterator_;
  Iterator& it = iterator_;
  if (entries_.empty() || !it.active) return -1;
  if (!it.started) {
    it.started = true;
    it.entry = 0;
    it.current = entries_[0].start;
  } else {
    Address next = increment(it.current);
    if (inside(next, entries_[it.entry])) {
      it.current = next;
    } else if (++it.entry < entries_.size()) {
      it.current = entries_[it.entry].start;
    } else {
      it.active = false;
      return -1;
    }
  }
  *address = it.current;
  return 0;
}

void SearchList::put_back() { iterator_ = saved_; }

namespace {

// How many addresses iterating `entry` yields, counting no further than `limit`: a
// run of last bytes is counted at once, so a /8 takes some 65,000 steps, not 16
// million.
size_t count_entry(const SearchEntry& entry, size_t limit) {
  Address current = entry.start;
  size_t count = 1;
  while (count < limit) {
    if (current[3] < 254) {
      Address run_end = current;
      run_end[3] = 254;
      if (compare(run_end, entry.end) > 0) {
        // The entry ends inside this run, which shares every byte but the last with it.
        if (entry.end[3] > current[3]) count += entry.end[3] - current[3];
        break;
      }
      count += 254 - current[3];
      current = run_end;
      continue;
    }
    Address next = increment(current);
    if (!inside(next, entry)) break;
    current = next;
    ++count;
  }
  return std::min(count, limit);
}

}  // namespace

size_t SearchList::count_up_to(size_t limit) const {
  size_t count = 0;
  for (const SearchEntry& entry : entries_) {
    if (count >= limit) break;
    count += count_entry(entry, limit - count);
  }
  return count;
}

size_t count_addresses_up_to(const SearchList& list, size_t limit) {
  return list.count_up_to(limit);
}
