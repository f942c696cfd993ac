#include "mapfile/section_list.h"

#include <algorithm>
#include <type_traits>

static_assert(std::is_trivially_copyable_v<section_record>,
              "records are moved around as plain bytes while they are ordered");

namespace {
/// Length of the ascending run at the front: appending keeps such a run in
/// order as long as each start is greater than the one before.
std::size_t ascending_prefix(const std::vector<section_record>& records) {
  std::size_t n = records.empty() ? 0 : 1;
  while (n < records.size() && records[n - 1].start < records[n].start) {
    ++n;
  }
  return n;
}

/// The order of the records by start, newest first among equal starts: a
/// stable radix sort by start over the records taken newest first. The first
/// `sorted` records are older than the rest and already in order, so among
/// them an earlier one is the newer. Returns, for each place in the result,
/// the index of the record that belongs there.
std::vector<std::uint64_t> start_order(const std::vector<section_record>& records,
                                       std::size_t sorted) {
  const std::size_t n = records.size();
  const std::size_t appended = n - sorted;
  const auto index_of = [&](std::size_t rank) {
    return rank < appended ? n - 1 - rank : rank - appended;
  };
  // Start in the high half, rank from the newest in the low half.
  std::vector<std::uint64_t> keys(n);
  for (std::size_t rank = 0; rank < n; ++rank) {
    keys[rank] = (std::uint64_t{records[index_of(rank)].start} << 32) | rank;
  }
  if (n < 256) {
    std::sort(keys.begin(), keys.end());  // keys are unique
  } else {
    // Digits of 13 bits: two passes for the 26-bit addresses of most
    // listings; a pass over a digit that all starts share is left out.
    constexpr unsigned k_digit_bits = 13;
    constexpr std::size_t k_buckets = std::size_t{1} << k_digit_bits;
    std::vector<std::uint32_t> count(k_buckets);
    std::vector<std::uint64_t> scratch(n);
    for (unsigned shift = 32; shift < 64; shift += k_digit_bits) {
      std::fill(count.begin(), count.end(), 0);
      for (const std::uint64_t key : keys) {
        ++count[(key >> shift) & (k_buckets - 1)];
      }
      if (count[(keys[0] >> shift) & (k_buckets - 1)] == n) {
        continue;
      }
      std::uint32_t next = 0;
      for (std::uint32_t& c : count) {
        const std::uint32_t here = c;
        c = next;
        next += here;
      }
      for (const std::uint64_t key : keys) {
        scratch[count[(key >> shift) & (k_buckets - 1)]++] = key;
      }
      keys.swap(scratch);
    }
  }
  for (std::uint64_t& key : keys) {
    key = index_of(key & 0xFFFFFFFFu);
  }
  return keys;
}

/// Moves each record to its place in place, one cycle of the permutation at a
/// time; order[place] names the record that belongs there.
void apply_order(std::vector<section_record>& records, std::vector<std::uint64_t>& order) {
  for (std::size_t place = 0; place < order.size(); ++place) {
    if (order[place] == place) {
      continue;
    }
    const section_record first = records[place];
    std::size_t here = place;
    for (;;) {
      const std::size_t from = order[here];
      order[here] = here;  // done
      if (from == place) {
        records[here] = first;
        break;
      }
      records[here] = records[from];
      here = from;
    }
  }
}
}  // namespace

void section_list::insert(const section_record& record) {
  // Appending after a smaller last start keeps the whole list in order.
  const bool in_order = m_sorted_count == m_records.size() &&
                        (m_records.empty() || m_records.back().start < record.start);
  m_records.push_back(record);
  if (in_order) {
    m_sorted_count = m_records.size();
  }
}

void section_list::insert_all(std::vector<section_record>&& records) {
  if (!m_records.empty()) {
    for (const section_record& record : records) {
      insert(record);
    }
    return;
  }
  m_records = std::move(records);
  m_sorted_count = ascending_prefix(m_records);
}

const std::vector<section_record>& section_list::ordered() const {
  if (m_sorted_count == m_records.size()) {
    return m_records;
  }
  if (m_records.size() < 0xFFFFFFFFu) {
    std::vector<std::uint64_t> order = start_order(m_records, m_sorted_count);
    apply_order(m_records, order);
  } else {
    // Too many records for 32-bit positions: newest first, then stably by
    // start. The ordered front is older than the rest, newest first already.
    std::reverse(m_records.begin() + static_cast<std::ptrdiff_t>(m_sorted_count), m_records.end());
    std::rotate(m_records.begin(), m_records.begin() + static_cast<std::ptrdiff_t>(m_sorted_count),
                m_records.end());
    std::stable_sort(
        m_records.begin(), m_records.end(),
        [](const section_record& a, const section_record& b) { return a.start < b.start; });
  }
  m_sorted_count = m_records.size();
  return m_records;
}
