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

/// Puts the records in start order, newest first among equal starts: a
/// stable radix sort by start over the records taken newest first. The first
/// `sorted` records are older than the rest and already in order, so among
/// them an earlier one is the newer. Records move as a whole, each pass reads
/// them in sequence: no lookups through an index.
void sort_by_start(std::vector<section_record>& records, std::size_t sorted) {
  const std::size_t n = records.size();
  if (n < 2048) {
    // Too few for the bucket tables to pay off: the same order by a merge.
    const auto tail = records.begin() + static_cast<std::ptrdiff_t>(sorted);
    std::reverse(tail, records.end());
    std::rotate(records.begin(), tail, records.end());
    std::stable_sort(
        records.begin(), records.end(),
        [](const section_record& a, const section_record& b) { return a.start < b.start; });
    return;
  }
  // Digits of 9 bits: three passes for the 26-bit addresses of most listings.
  // The 512 places each pass writes to stay in the fastest cache, which more
  // than makes up for the third pass.
  constexpr unsigned k_digit_bits = 9;
  constexpr std::size_t k_buckets = std::size_t{1} << k_digit_bits;
  constexpr unsigned k_digits = (32 + k_digit_bits - 1) / k_digit_bits;
  const auto digit = [](std::uint32_t start, unsigned d) {
    return (start >> (d * k_digit_bits)) & (k_buckets - 1);
  };
  std::vector<std::size_t> count(k_digits * k_buckets);
  for (const section_record& record : records) {
    for (unsigned d = 0; d < k_digits; ++d) {
      ++count[d * k_buckets + digit(record.start, d)];
    }
  }
  std::vector<unsigned> passes;
  for (unsigned d = 0; d < k_digits; ++d) {
    // A digit that all starts share leaves the order as it is.
    if (count[d * k_buckets + digit(records[0].start, d)] != n) {
      passes.push_back(d);
    }
  }
  // Turns the counts of one digit into the first place of each bucket.
  const auto places = [&count](unsigned d) {
    std::size_t* place = &count[d * k_buckets];
    std::size_t next = 0;
    for (std::size_t b = 0; b < k_buckets; ++b) {
      const std::size_t here = place[b];
      place[b] = next;
      next += here;
    }
    return place;
  };
  std::vector<section_record> scratch(n);
  // The first pass takes the records newest first; it runs even when no
  // digit differs, to put equal starts in that order.
  const unsigned first = passes.empty() ? 0 : passes[0];
  std::size_t* place = places(first);
  for (std::size_t i = n; i-- > sorted;) {
    scratch[place[digit(records[i].start, first)]++] = records[i];
  }
  for (std::size_t i = 0; i < sorted; ++i) {
    scratch[place[digit(records[i].start, first)]++] = records[i];
  }
  records.swap(scratch);
  for (std::size_t p = 1; p < passes.size(); ++p) {
    place = places(passes[p]);
    for (const section_record& record : records) {
      scratch[place[digit(record.start, passes[p])]++] = record;
    }
    records.swap(scratch);
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
  if (m_sorted_count != m_records.size()) {
    sort_by_start(m_records, m_sorted_count);
    m_sorted_count = m_records.size();
  }
  return m_records;
}
