#include "compare/report_diff.h"

#include <algorithm>
#include <cmath>
#include <map>
#include <string_view>
#include <tuple>
#include <utility>

std::string_view diff_status_keyword(diff_status status) {
  switch (status) {
    case diff_status::changed:
      return "changed";
    case diff_status::unchanged:
      return "unchanged";
    case diff_status::added:
      return "added";
    case diff_status::removed:
      return "removed";
    case diff_status::moved:
      return "moved";
    case diff_status::fate_changed:
      return "fate_changed";
  }
  return "changed";
}

diff_amount make_diff_amount(double base, double current) {
  diff_amount amount{base, current, current - base, std::nullopt};
  if (base != 0) {
    amount.delta_pct = amount.delta * 100.0 / base;
  } else if (amount.delta == 0) {
    amount.delta_pct = 0.0;
  }
  return amount;
}

bool diff_row_shown(diff_status status, double delta, const diff_view& view) {
  if (status == diff_status::unchanged) {
    return view.show_unchanged;
  }
  return status != diff_status::changed || std::fabs(delta) >= view.min_delta;
}

bool diff_section_shown(const section_diff& row, const diff_view& view) {
  if (row.dropped_in_both()) {
    return view.show_dropped;
  }
  return diff_row_shown(row.status, row.bytes.delta, view);
}

namespace {
area_diff area(const model_area& base, const model_area& current) {
  area_diff out;
  out.used = make_diff_amount(base.used, current.used);
  out.status = out.used.delta != 0 ? diff_status::changed : diff_status::unchanged;
  out.base_total = base.total;
  out.current_total = current.total;
  out.base_used_pct = base.used_pct;
  out.current_used_pct = current.used_pct;
  return out;
}

/// Largest |delta| first, ties by name; stable, so equal rows keep report order.
template <typename row_type>
void sort_by_delta(std::vector<row_type>& rows, std::string row_type::*name,
                   diff_amount row_type::*amount) {
  std::stable_sort(rows.begin(), rows.end(), [&](const row_type& a, const row_type& b) {
    const double left = std::fabs((a.*amount).delta);
    const double right = std::fabs((b.*amount).delta);
    if (left != right) {
      return left > right;
    }
    return a.*name < b.*name;
  });
}

std::vector<range_diff> ranges(const report_model& base, const report_model& current) {
  std::vector<range_diff> rows;
  const auto fill_base = [](range_diff& row, const model_range& range) {
    row.in_base = true;
    row.base_start = range.start;
    row.base_size = range.size;
    row.base_used_pct = range.used_pct;
  };
  for (const model_range& range : current.ranges) {
    range_diff row;
    row.id = range.id;
    row.label = range.label;
    row.in_current = true;
    row.current_start = range.start;
    row.current_size = range.size;
    row.current_used_pct = range.used_pct;
    row.current_free = range.free;
    const model_range* before = base.find_range(range.id);
    if (before != nullptr) {
      fill_base(row, *before);
    }
    row.used = make_diff_amount(before != nullptr ? static_cast<double>(before->used) : 0.0,
                                static_cast<double>(range.used));
    row.status = before == nullptr                             ? diff_status::added
                 : row.bounds_changed() || row.used.delta != 0 ? diff_status::changed
                                                               : diff_status::unchanged;
    rows.push_back(std::move(row));
  }
  for (const model_range& range : base.ranges) {
    if (current.find_range(range.id) != nullptr) {
      continue;
    }
    range_diff row;
    row.id = range.id;
    row.label = range.label;
    fill_base(row, range);
    row.used = make_diff_amount(static_cast<double>(range.used), 0.0);
    row.status = diff_status::removed;
    rows.push_back(std::move(row));
  }
  sort_by_delta(rows, &range_diff::id, &range_diff::used);
  return rows;
}

std::vector<group_diff> groups(const report_model& base, const report_model& current) {
  // Two SEARCH lines of the same text pair in their order.
  std::vector<bool> paired(base.groups.size(), false);
  std::vector<group_diff> rows;
  for (const model_group& group : current.groups) {
    std::optional<std::size_t> match;
    for (std::size_t i = 0; i < base.groups.size() && !match; ++i) {
      if (!paired[i] && base.groups[i].search == group.search) {
        match = i;
      }
    }
    group_diff row;
    row.search = group.search;
    if (match) {
      paired[*match] = true;
      row.bytes = make_diff_amount(static_cast<double>(base.groups[*match].bytes),
                                   static_cast<double>(group.bytes));
      row.status = row.bytes.delta != 0 ? diff_status::changed : diff_status::unchanged;
    } else {
      row.bytes = make_diff_amount(0, static_cast<double>(group.bytes));
      row.status = diff_status::added;
    }
    rows.push_back(std::move(row));
  }
  for (std::size_t i = 0; i < base.groups.size(); ++i) {
    if (!paired[i]) {
      group_diff row;
      row.search = base.groups[i].search;
      row.bytes = make_diff_amount(static_cast<double>(base.groups[i].bytes), 0);
      row.status = diff_status::removed;
      rows.push_back(std::move(row));
    }
  }
  sort_by_delta(rows, &group_diff::search, &group_diff::bytes);
  return rows;
}

double used_bytes(const model_section& section) { return section.counted ? section.bytes : 0.0; }

/// The place of a section for the first pairing: its range, or dropped.
std::string_view place_of(const model_section& section) {
  return section.counted ? std::string_view(section.range) : std::string_view("\n dropped");
}

constexpr std::size_t k_unpaired = static_cast<std::size_t>(-1);

/// Pairs each unpaired current item with the next unpaired base item of the same key, both
/// taken in the order order(base_side, k) gives, with key(base_side, item): linear in the items
/// (and the map's logarithm), whatever the number of items of one key.
template <typename item, typename order_of, typename key_of>
void pair_in_order(const std::vector<item>& base, const std::vector<item>& current,
                   const order_of& order, std::vector<std::size_t>& partner,
                   std::vector<bool>& base_paired, const key_of& key) {
  if (base.empty()) {
    return;
  }
  using key_type = decltype(key(true, base.front()));
  std::map<key_type, std::vector<std::size_t>> waiting;
  for (std::size_t k = 0; k < base.size(); ++k) {
    const std::size_t b = order(true, k);
    if (!base_paired[b]) {
      waiting[key(true, base[b])].push_back(b);
    }
  }
  std::map<key_type, std::size_t> next;
  for (std::size_t k = 0; k < current.size(); ++k) {
    const std::size_t c = order(false, k);
    if (partner[c] != k_unpaired) {
      continue;
    }
    const auto found = waiting.find(key(false, current[c]));
    if (found == waiting.end()) {
      continue;
    }
    std::size_t& taken = next[found->first];
    if (taken < found->second.size()) {
      const std::size_t b = found->second[taken++];
      partner[c] = b;
      base_paired[b] = true;
    }
  }
}

/// Sections pair in map order.
std::size_t map_order(bool /*base_side*/, std::size_t k) { return k; }

section_diff pair_row(const model_section* before, const model_section* now) {
  section_diff row;
  row.name = now != nullptr ? now->name : before->name;
  if (before != nullptr) {
    row.in_base = true;
    row.base_range = before->range;
    row.base_reason = before->reason;
  }
  if (now != nullptr) {
    row.in_current = true;
    row.current_range = now->range;
    row.current_reason = now->reason;
  }
  row.bytes = make_diff_amount(before != nullptr ? used_bytes(*before) : 0.0,
                               now != nullptr ? used_bytes(*now) : 0.0);
  if (before == nullptr) {
    row.status = diff_status::added;
  } else if (now == nullptr) {
    row.status = diff_status::removed;
  } else if (before->counted != now->counted || (!now->counted && before->reason != now->reason)) {
    row.status = diff_status::fate_changed;
  } else if (before->range != now->range) {
    row.status = diff_status::moved;
  } else if (now->counted && before->bytes != now->bytes) {
    // Dropped both times, a section counts nothing either way: a new size of it
    // is no change of the build's use, and was listed as "changed 0 0 0".
    row.status = diff_status::changed;
  } else {
    row.status = diff_status::unchanged;
  }
  return row;
}

std::vector<section_diff> sections(const report_model& base, const report_model& current) {
  std::vector<std::size_t> partner(current.sections.size(), k_unpaired);
  std::vector<bool> base_paired(base.sections.size(), false);
  // First within the same place, then whatever is left of a name.
  pair_in_order(base.sections, current.sections, map_order, partner, base_paired,
                [](bool /*base_side*/, const model_section& section) {
                  return std::make_pair(std::string_view(section.name), place_of(section));
                });
  pair_in_order(base.sections, current.sections, map_order, partner, base_paired,
                [](bool /*base_side*/, const model_section& section) {
                  return std::string_view(section.name);
                });
  std::vector<section_diff> rows;
  rows.reserve(current.sections.size());
  for (std::size_t c = 0; c < current.sections.size(); ++c) {
    rows.push_back(pair_row(partner[c] == k_unpaired ? nullptr : &base.sections[partner[c]],
                            &current.sections[c]));
  }
  for (std::size_t b = 0; b < base.sections.size(); ++b) {
    if (!base_paired[b]) {
      rows.push_back(pair_row(&base.sections[b], nullptr));
    }
  }
  sort_by_delta(rows, &section_diff::name, &section_diff::bytes);
  return rows;
}

/// The symbols of a build in address order (the report lists them by section), ties in report
/// order.
std::vector<std::size_t> address_order(const std::vector<model_symbol>& symbols) {
  std::vector<std::size_t> order(symbols.size());
  for (std::size_t i = 0; i < order.size(); ++i) {
    order[i] = i;
  }
  std::stable_sort(order.begin(), order.end(), [&](std::size_t a, std::size_t b) {
    return symbols[a].address < symbols[b].address;
  });
  return order;
}

symbol_place place_in(const report_model& model, const model_symbol& symbol) {
  const model_section& section = model.sections[symbol.section];
  symbol_place place{section.name, section.range, "", symbol.address, symbol.size};
  if (section.group && *section.group < model.groups.size()) {
    place.group = model.groups[*section.group].search;
  }
  return place;
}

symbol_diff symbol_row(const report_model& base, const model_symbol* before,
                       const report_model& current, const model_symbol* now) {
  const model_symbol& named = now != nullptr ? *now : *before;
  symbol_diff row;
  row.key = named.key;
  row.display = named.display;
  row.file = named.file;
  if (before != nullptr) {
    row.in_base = true;
    row.base = place_in(base, *before);
  }
  if (now != nullptr) {
    row.in_current = true;
    row.current = place_in(current, *now);
  }
  row.bytes = make_diff_amount(before != nullptr ? static_cast<double>(before->bytes) : 0.0,
                               now != nullptr ? static_cast<double>(now->bytes) : 0.0);
  if (before == nullptr) {
    row.status = symbol_status::added;
  } else if (now == nullptr) {
    row.status = symbol_status::removed;
  } else if (row.base.section != row.current.section || row.base.range != row.current.range) {
    row.status = symbol_status::moved;
  } else if (row.bytes.delta > 0) {
    row.status = symbol_status::grown;
  } else if (row.bytes.delta < 0) {
    row.status = symbol_status::shrunk;
  } else {
    row.status = symbol_status::unchanged;
  }
  return row;
}

/// Sums of the rows by a name each side gives them; names in first-seen order, the current
/// side's first.
class symbol_sums {
 public:
  void add(const std::string& name, const symbol_diff& row, bool base_side) {
    if (name.empty()) {
      return;
    }
    auto [found, fresh] = m_index.emplace(name, m_sums.size());
    if (fresh) {
      m_sums.push_back({name, {}, 0, 0});
      m_base.push_back(0);
      m_current.push_back(0);
    }
    const std::size_t i = found->second;
    if (base_side) {
      m_base[i] += row.bytes.base;
    } else {
      m_current[i] += row.bytes.current;
      if (row.status == symbol_status::added) {
        m_sums[i].added_bytes += static_cast<std::uint64_t>(row.bytes.current);
      }
    }
  }
  void count_change(const std::string& name) {
    const auto found = m_index.find(name);
    if (found != m_index.end()) {
      ++m_sums[found->second].changed;
    }
  }
  std::vector<symbol_sum> take() {
    for (std::size_t i = 0; i < m_sums.size(); ++i) {
      m_sums[i].bytes = make_diff_amount(m_base[i], m_current[i]);
    }
    return std::move(m_sums);
  }

 private:
  std::map<std::string, std::size_t> m_index;
  std::vector<symbol_sum> m_sums;
  std::vector<double> m_base;
  std::vector<double> m_current;
};

/// Each row into the sums of its range, group and file, on each side it has.
void sum_rows(const std::vector<symbol_diff>& rows, const report_model& current,
              symbol_changes& out) {
  symbol_sums ranges;
  symbol_sums groups;
  symbol_sums files;
  // The current build's ranges and groups lead, in report order, even those no symbol holds.
  const symbol_diff none;
  for (const model_range& range : current.ranges) {
    ranges.add(range.id, none, false);
  }
  for (const model_group& group : current.groups) {
    groups.add(group.search, none, false);
  }
  files.add(k_global_file, none, false);
  const std::string global = k_global_file;
  for (const symbol_diff& row : rows) {
    const std::string& file = row.file.empty() ? global : row.file;
    if (row.in_base) {
      ranges.add(row.base.range, row, true);
      groups.add(row.base.group, row, true);
      files.add(file, row, true);
    }
    if (row.in_current) {
      ranges.add(row.current.range, row, false);
      groups.add(row.current.group, row, false);
      files.add(file, row, false);
    }
    if (row.status != symbol_status::unchanged) {
      // A change counts once in each range and group it touches.
      const auto count = [&](symbol_sums& sums, const std::string& before, const std::string& now) {
        if (row.in_current) {
          sums.count_change(now);
        }
        if (row.in_base && (!row.in_current || before != now)) {
          sums.count_change(before);
        }
      };
      count(ranges, row.base.range, row.current.range);
      count(groups, row.base.group, row.current.group);
      files.count_change(file);
    }
    if (row.status == symbol_status::added) {
      out.added_bytes += static_cast<std::uint64_t>(row.bytes.current);
    }
  }
  out.ranges = ranges.take();
  out.groups = groups.take();
  out.files = files.take();
  std::stable_sort(out.files.begin(), out.files.end(),
                   [](const symbol_sum& a, const symbol_sum& b) {
                     if ((a.name == k_global_file) != (b.name == k_global_file)) {
                       return a.name == k_global_file;
                     }
                     return a.name < b.name;
                   });
}
}  // namespace

report_diff compute_diff(const report_model& base, const report_model& current) {
  report_diff diff;
  diff.program = area(base.program, current.program);
  diff.memory = area(base.memory, current.memory);
  diff.ranges = ranges(base, current);
  diff.groups = groups(base, current);
  diff.sections = sections(base, current);
  diff.symbols = compare_symbols(base, current);
  if (base.has_symbols && current.has_symbols) {
    for (range_diff& row : diff.ranges) {
      const model_range* before = base.find_range(row.id);
      const model_range* now = current.find_range(row.id);
      const auto unattributed = [](const model_range* range) {
        return range != nullptr ? static_cast<double>(range->unattributed.value_or(0)) : 0.0;
      };
      row.unattributed = make_diff_amount(unattributed(before), unattributed(now));
    }
  }
  return diff;
}

std::string_view symbol_status_keyword(symbol_status status) {
  switch (status) {
    case symbol_status::grown:
      return "grown";
    case symbol_status::shrunk:
      return "shrunk";
    case symbol_status::unchanged:
      return "unchanged";
    case symbol_status::added:
      return "added";
    case symbol_status::removed:
      return "removed";
    case symbol_status::moved:
      return "moved";
  }
  return "moved";
}

symbol_changes compare_symbols(const report_model& base, const report_model& current) {
  symbol_changes out;
  out.sides = base.has_symbols && current.has_symbols ? symbol_sides::both
              : base.has_symbols                      ? symbol_sides::base_only
              : current.has_symbols                   ? symbol_sides::current_only
                                                      : symbol_sides::neither;
  if (out.sides != symbol_sides::both) {
    return out;
  }
  const std::vector<std::size_t> base_order = address_order(base.symbols);
  const std::vector<std::size_t> current_order = address_order(current.symbols);
  const auto order = [&](bool base_side, std::size_t k) {
    return base_side ? base_order[k] : current_order[k];
  };
  const auto section_of = [&](bool base_side, const model_symbol& symbol) {
    return std::string_view((base_side ? base : current).sections[symbol.section].name);
  };
  std::vector<std::size_t> partner(current.symbols.size(), k_unpaired);
  std::vector<bool> base_paired(base.symbols.size(), false);
  // Each pass takes only what the earlier ones left.
  pair_in_order(base.symbols, current.symbols, order, partner, base_paired,
                [&](bool base_side, const model_symbol& symbol) {
                  return std::make_tuple(std::string_view(symbol.key),
                                         section_of(base_side, symbol), symbol.size);
                });
  pair_in_order(base.symbols, current.symbols, order, partner, base_paired,
                [&](bool base_side, const model_symbol& symbol) {
                  return std::make_pair(std::string_view(symbol.key),
                                        section_of(base_side, symbol));
                });
  pair_in_order(
      base.symbols, current.symbols, order, partner, base_paired,
      [](bool /*base_side*/, const model_symbol& symbol) { return std::string_view(symbol.key); });
  pair_in_order(base.symbols, current.symbols, order, partner, base_paired,
                [](bool /*base_side*/, const model_symbol& symbol) {
                  return std::string_view(symbol.display);
                });
  out.rows.reserve(current.symbols.size());
  for (const std::size_t c : current_order) {
    out.rows.push_back(symbol_row(base,
                                  partner[c] == k_unpaired ? nullptr : &base.symbols[partner[c]],
                                  current, &current.symbols[c]));
  }
  for (const std::size_t b : base_order) {
    if (!base_paired[b]) {
      out.rows.push_back(symbol_row(base, &base.symbols[b], current, nullptr));
    }
  }
  sum_rows(out.rows, current, out);
  std::stable_sort(out.rows.begin(), out.rows.end(),
                   [](const symbol_diff& a, const symbol_diff& b) {
                     const double left = std::fabs(a.bytes.delta);
                     const double right = std::fabs(b.bytes.delta);
                     if (left != right) {
                       return left > right;
                     }
                     if (a.key != b.key) {
                       return a.key < b.key;
                     }
                     if (a.display != b.display) {
                       return a.display < b.display;
                     }
                     return a.current.address < b.current.address;
                   });
  return out;
}
