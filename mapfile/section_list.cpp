#include "mapfile/section_list.h"

#include <algorithm>
#include <type_traits>
#include <utility>

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

/// Records kept in several pieces: the storage the records came in, used
/// again as the second buffer of the sort once the first pass has read them.
/// A fresh buffer would cost a trap into the kernel for every page.
using pieces = std::vector<std::pair<section_record*, std::size_t>>;

/// Writes records bucket after bucket into pieces: each bucket's cursor
/// starts at the bucket's first place and moves on to the next piece when it
/// reaches the end of one.
class piece_writer {
 public:
  piece_writer(const pieces& storage, const std::size_t* place, std::size_t buckets)
      : m_storage(storage), m_cursors(buckets) {
    std::size_t piece = 0;
    std::size_t piece_begin = 0;
    for (std::size_t b = 0; b < buckets; ++b) {
      while (piece < storage.size() && place[b] >= piece_begin + storage[piece].second) {
        piece_begin += storage[piece].second;
        ++piece;
      }
      cursor& c = m_cursors[b];
      c.piece = piece;
      if (piece < storage.size()) {
        c.next = storage[piece].first + (place[b] - piece_begin);
        c.end = storage[piece].first + storage[piece].second;
      }
    }
  }

  void put(std::size_t bucket, const section_record& record) {
    cursor& c = m_cursors[bucket];
    while (c.next == c.end) {  // only at the end of a piece; empty pieces are skipped
      ++c.piece;
      c.next = m_storage[c.piece].first;
      c.end = c.next + m_storage[c.piece].second;
    }
    *c.next++ = record;
  }

 private:
  struct cursor {
    section_record* next = nullptr;
    section_record* end = nullptr;
    std::size_t piece = 0;
  };
  const pieces& m_storage;
  std::vector<cursor> m_cursors;
};

/// Puts n records in start order, newest first among equal starts, into
/// result: a stable radix sort by start over the records as
/// visit_newest_first hands them out (it calls its argument for every record,
/// the newest first). storage holds the records to begin with (n in all) and
/// is overwritten. Records move as a whole, each pass reads them in sequence:
/// no lookups through an index.
template <typename Visit>
void radix_sort(std::size_t n, const Visit& visit_newest_first, const pieces& storage,
                std::vector<section_record>& result) {
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
  std::uint32_t first_start = 0;
  bool any = false;
  visit_newest_first([&](const section_record& record) {
    for (unsigned d = 0; d < k_digits; ++d) {
      ++count[d * k_buckets + digit(record.start, d)];
    }
    first_start = any ? first_start : record.start;
    any = true;
  });
  std::vector<unsigned> passes;
  for (unsigned d = 0; d < k_digits; ++d) {
    // A digit that all starts share leaves the order as it is.
    if (count[d * k_buckets + digit(first_start, d)] != n) {
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
  std::vector<section_record> sorted(n);
  // The first pass takes the records newest first; it runs even when no
  // digit differs, to put equal starts in that order.
  const unsigned first = passes.empty() ? 0 : passes[0];
  std::size_t* place = places(first);
  visit_newest_first(
      [&](const section_record& record) { sorted[place[digit(record.start, first)]++] = record; });
  // The further passes go to the storage and back.
  bool in_storage = false;
  for (std::size_t p = 1; p < passes.size(); ++p) {
    const unsigned d = passes[p];
    place = places(d);
    if (in_storage) {
      for (const auto& [records, size] : storage) {
        for (std::size_t i = 0; i < size; ++i) {
          sorted[place[digit(records[i].start, d)]++] = records[i];
        }
      }
    } else {
      piece_writer writer(storage, place, k_buckets);
      for (const section_record& record : sorted) {
        writer.put(digit(record.start, d), record);
      }
    }
    in_storage = !in_storage;
  }
  if (in_storage) {
    std::size_t at = 0;
    for (const auto& [records, size] : storage) {
      std::copy(records, records + size, sorted.begin() + static_cast<std::ptrdiff_t>(at));
      at += size;
    }
  }
  result.swap(sorted);
}

/// Puts the records in start order, newest first among equal starts. The
/// first `sorted` records are older than the rest and already in order, so
/// among them an earlier one is the newer.
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
  radix_sort(
      n,
      [&records, sorted](const auto& take) {
        for (std::size_t i = records.size(); i-- > sorted;) {
          take(records[i]);
        }
        for (std::size_t i = 0; i < sorted; ++i) {
          take(records[i]);
        }
      },
      pieces{{records.data(), records.size()}}, records);
}
}  // namespace

void section_list::insert(const section_record& record) {
  gather_parts();
  // Appending after a smaller last start keeps the whole list in order.
  const bool in_order = m_sorted_count == m_records.size() &&
                        (m_records.empty() || m_records.back().start < record.start);
  m_records.push_back(record);
  if (in_order) {
    m_sorted_count = m_records.size();
  }
}

void section_list::insert_all(std::vector<section_record>&& records) {
  gather_parts();
  if (!m_records.empty()) {
    for (const section_record& record : records) {
      insert(record);
    }
    return;
  }
  m_records = std::move(records);
  m_sorted_count = ascending_prefix(m_records);
}

void section_list::insert_parts(std::vector<std::vector<section_record>>&& parts) {
  if (!m_records.empty() || !m_parts.empty()) {
    for (std::vector<section_record>& part : parts) {
      insert_all(std::move(part));
    }
    return;
  }
  for (std::vector<section_record>& part : parts) {
    if (!part.empty()) {
      m_parted_count += part.size();
      m_parts.push_back(std::move(part));
    }
  }
}

std::vector<section_record> join_parts(std::vector<std::vector<section_record>>&& parts) {
  if (parts.size() == 1) {
    return std::move(parts.front());
  }
  std::size_t total = 0;
  for (const std::vector<section_record>& part : parts) {
    total += part.size();
  }
  std::vector<section_record> records;
  records.reserve(total);
  for (const std::vector<section_record>& part : parts) {
    records.insert(records.end(), part.begin(), part.end());
  }
  return records;
}

void section_list::gather_parts() const {
  if (m_parts.empty()) {
    return;
  }
  m_records = join_parts(std::move(m_parts));
  m_parts.clear();
  m_parted_count = 0;
  m_sorted_count = ascending_prefix(m_records);
}

const std::vector<section_record>& section_list::in_any_order() const {
  gather_parts();
  return m_records;
}

const std::vector<section_record>& section_list::ordered() const {
  if (m_parted_count >= 2048) {
    pieces storage;
    for (std::vector<section_record>& part : m_parts) {
      storage.emplace_back(part.data(), part.size());
    }
    // The first pass of the sort gathers the parts: they are never copied
    // into one list of their own.
    radix_sort(
        m_parted_count,
        [this](const auto& take) {
          for (std::size_t p = m_parts.size(); p-- > 0;) {
            const std::vector<section_record>& part = m_parts[p];
            for (std::size_t i = part.size(); i-- > 0;) {
              take(part[i]);
            }
          }
        },
        storage, m_records);
    m_parts.clear();
    m_parted_count = 0;
    m_sorted_count = m_records.size();
  }
  gather_parts();
  if (m_sorted_count != m_records.size()) {
    sort_by_start(m_records, m_sorted_count);
    m_sorted_count = m_records.size();
  }
  return m_records;
}
