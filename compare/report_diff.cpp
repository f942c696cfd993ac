#include "compare/report_diff.h"

#include <algorithm>
#include <cmath>
#include <map>
#include <string_view>
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

/// Pairs each unpaired current section with the next unpaired base section
/// of the same key, both in map order: linear, whatever the number of
/// sections of one name.
template <typename key_of>
void pair_in_order(const report_model& base, const report_model& current,
                   std::vector<const model_section*>& partner, std::vector<bool>& base_paired,
                   const key_of& key) {
  using key_type = decltype(key(base.sections.front()));
  std::map<key_type, std::vector<std::size_t>> waiting;
  for (std::size_t b = 0; b < base.sections.size(); ++b) {
    if (!base_paired[b]) {
      waiting[key(base.sections[b])].push_back(b);
    }
  }
  std::map<key_type, std::size_t> next;
  for (std::size_t c = 0; c < current.sections.size(); ++c) {
    if (partner[c] != nullptr) {
      continue;
    }
    const auto found = waiting.find(key(current.sections[c]));
    if (found == waiting.end()) {
      continue;
    }
    std::size_t& taken = next[found->first];
    if (taken < found->second.size()) {
      const std::size_t b = found->second[taken++];
      partner[c] = &base.sections[b];
      base_paired[b] = true;
    }
  }
}

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
  std::vector<const model_section*> partner(current.sections.size(), nullptr);
  std::vector<bool> base_paired(base.sections.size(), false);
  if (!base.sections.empty()) {
    // First within the same place, then whatever is left of a name.
    pair_in_order(base, current, partner, base_paired, [](const model_section& section) {
      return std::make_pair(std::string_view(section.name), place_of(section));
    });
    pair_in_order(base, current, partner, base_paired,
                  [](const model_section& section) { return std::string_view(section.name); });
  }
  std::vector<section_diff> rows;
  rows.reserve(current.sections.size());
  for (std::size_t c = 0; c < current.sections.size(); ++c) {
    rows.push_back(pair_row(partner[c], &current.sections[c]));
  }
  for (std::size_t b = 0; b < base.sections.size(); ++b) {
    if (!base_paired[b]) {
      rows.push_back(pair_row(&base.sections[b], nullptr));
    }
  }
  sort_by_delta(rows, &section_diff::name, &section_diff::bytes);
  return rows;
}
}  // namespace

report_diff compute_diff(const report_model& base, const report_model& current) {
  report_diff diff;
  diff.program = area(base.program, current.program);
  diff.memory = area(base.memory, current.memory);
  diff.ranges = ranges(base, current);
  diff.groups = groups(base, current);
  diff.sections = sections(base, current);
  return diff;
}
