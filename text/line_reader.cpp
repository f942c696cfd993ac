#include "text/line_reader.h"

#include <cstring>
#include <filesystem>

#include "text/byte_word.h"
#include "text/file_system.h"

#if defined(__SSE2__) || defined(_M_X64)
#include <emmintrin.h>
#define VEMORA_LINE_READER_SSE2 1
#endif

namespace {
constexpr std::size_t k_block_size = 1 << 20;

/// The first line feed of the n bytes from p on, or nullptr. Most lines of a
/// listing are short: their end is looked for sixteen bytes at a time right
/// here, and only a longer line goes to memchr.
const char* find_line_feed(const char* p, std::size_t n) {
#if defined(VEMORA_LINE_READER_SSE2)
  const __m128i feed = _mm_set1_epi8('\n');
  std::size_t i = 0;
  for (; i + 16 <= n && i < 128; i += 16) {
    const __m128i bytes = _mm_loadu_si128(reinterpret_cast<const __m128i*>(p + i));
    const auto marks = static_cast<unsigned>(_mm_movemask_epi8(_mm_cmpeq_epi8(bytes, feed)));
    if (marks != 0) {
      return p + i + byte_word::lowest_bit(marks);
    }
  }
  return static_cast<const char*>(std::memchr(p + i, '\n', n - i));
#else
  return static_cast<const char*>(std::memchr(p, '\n', n));
#endif
}

// A CR belongs to the line end only when a line feed follows it.
std::string_view finish_line(std::string_view raw, std::size_t max_length, bool may_hold_nul,
                             bool terminated, bool& cut) {
  if (terminated && !raw.empty() && raw.back() == '\r') {
    raw.remove_suffix(1);
  }
  cut = raw.size() > max_length;
  if (cut) {
    raw = raw.substr(0, max_length);
  }
  if (may_hold_nul) {
    const void* nul = std::memchr(raw.data(), '\0', raw.size());
    if (nul != nullptr) {
      raw = raw.substr(0, static_cast<std::size_t>(static_cast<const char*>(nul) - raw.data()));
    }
  }
  return raw;
}
}  // namespace

line_reader::line_reader(std::size_t max_length) : m_max_length(max_length) {}

line_reader::~line_reader() { close(); }

bool line_reader::open(const input_source& source) {
  close();
  if (source.text) {
    m_text = *source.text;
    m_text_next = 0;
    m_text_open = true;
  } else {
    std::error_code ec;
    if (source.path.empty() || std::filesystem::is_directory(source.path, ec)) {
      return false;
    }
    m_file = std::fopen(source.path.c_str(), "rb");
    if (m_file == nullptr) {
      return false;
    }
  }
  if (!m_block) {
    m_block.reset(new char[k_block_size]);  // no need to clear what fread fills
    m_block_size = k_block_size;
  }
  m_begin = m_end = 0;
  m_block_offset = 0;
  m_unread = UINT64_MAX;
  m_eof = false;
  m_terminated = false;
  m_cut = false;
  m_line_number = 0;
  return true;
}

bool line_reader::open(const input_source& source, std::uint64_t begin, std::uint64_t end) {
  if (!open(source)) {
    return false;
  }
  if (m_text_open) {
    // Past the end a text reads as empty, as a file does past its end.
    m_text_next = static_cast<std::size_t>(std::min<std::uint64_t>(begin, m_text.size()));
  } else if (!seek_file(m_file, begin)) {
    close();
    return false;
  }
  m_block_offset = begin;
  m_unread = end > begin ? end - begin : 0;
  return true;
}

void line_reader::close() {
  if (m_file != nullptr) {
    std::fclose(m_file);
    m_file = nullptr;
  }
  m_text_open = false;
  m_text = {};
  m_begin = m_end = 0;
  m_eof = true;
}

std::size_t line_reader::read_bytes(char* into, std::size_t want) {
  if (m_file != nullptr) {
    return std::fread(into, 1, want, m_file);
  }
  const std::size_t got = std::min(want, m_text.size() - m_text_next);
  if (got != 0) {
    std::memcpy(into, m_text.data() + m_text_next, got);
  }
  m_text_next += got;
  return got;
}

bool line_reader::fill() {
  if (!is_open() || m_eof) {
    return false;
  }
  if (m_begin > 0) {
    std::memmove(m_block.get(), m_block.get() + m_begin, m_end - m_begin);
    m_end -= m_begin;
    m_block_offset += m_begin;
    m_begin = 0;
  }
  const std::size_t room = m_block_size - m_end;
  const std::size_t want = m_unread < room ? static_cast<std::size_t>(m_unread) : room;
  const std::size_t got = want == 0 ? 0 : read_bytes(m_block.get() + m_end, want);
  if (got == 0) {
    m_eof = true;
    return false;
  }
  m_unread -= got;
  m_end += got;
  // One look over the block spares every line its own search for a NUL.
  m_may_hold_nul = std::memchr(m_block.get(), '\0', m_end) != nullptr;
  return true;
}

bool line_reader::at_end() { return m_begin == m_end && !fill(); }

void line_reader::keep(std::string_view raw) {
  // One byte beyond the limit is kept so that a CR ending the line is seen.
  if (m_long_line.size() <= m_max_length) {
    m_long_line.append(raw.substr(0, m_max_length + 1 - m_long_line.size()));
  }
}

bool line_reader::next(std::string_view& line) {
  // The common case: the whole line is in the buffer.
  const std::size_t avail = m_end - m_begin;
  if (avail != 0) {
    const char* start = m_block.get() + m_begin;
    const char* lf = find_line_feed(start, avail);
    if (lf != nullptr) {
      const auto len = static_cast<std::size_t>(lf - start);
      m_begin += len + 1;
      m_terminated = true;
      ++m_line_number;
      line = finish_line(std::string_view(start, len), m_max_length, m_may_hold_nul, true, m_cut);
      return true;
    }
  }
  return next_across_blocks(line);
}

bool line_reader::next_across_blocks(std::string_view& line) {
  // A line longer than a whole block is gathered in m_long_line, keeping only
  // its head; the rest of it is skipped block by block.
  bool spilled = false;
  m_long_line.clear();
  for (;;) {
    const char* start = m_block.get() + m_begin;
    const std::size_t avail = m_end - m_begin;
    const void* lf = avail == 0 ? nullptr : std::memchr(start, '\n', avail);
    if (lf != nullptr) {
      const std::size_t len = static_cast<std::size_t>(static_cast<const char*>(lf) - start);
      m_begin += len + 1;
      m_terminated = true;
      return deliver(std::string_view(start, len), spilled, line);
    }
    if (avail != 0 && avail == m_block_size) {  // no buffer yet: nothing was ever opened
      keep(std::string_view(start, avail));
      spilled = true;
      m_block_offset += avail;
      m_begin = m_end = 0;
    }
    if (!fill()) {
      const std::size_t rest = m_end - m_begin;
      if (rest == 0 && !spilled) {
        return false;
      }
      m_terminated = false;
      const std::string_view raw(m_block.get() + m_begin, rest);
      m_begin = m_end;
      return deliver(raw, spilled, line);
    }
  }
}

bool line_reader::deliver(std::string_view raw, bool spilled, std::string_view& line) {
  ++m_line_number;
  if (spilled) {
    keep(raw);
    line = finish_line(m_long_line, m_max_length, true, m_terminated, m_cut);
  } else {
    line = finish_line(raw, m_max_length, m_may_hold_nul, m_terminated, m_cut);
  }
  return true;
}

bool next_text_line(std::string_view text, std::size_t& pos, std::size_t max_length,
                    std::string_view& line) {
  if (pos >= text.size()) {
    return false;
  }
  const std::string_view rest = text.substr(pos);
  const std::size_t lf = rest.find('\n');
  const bool terminated = lf != std::string_view::npos;
  const std::string_view raw = terminated ? rest.substr(0, lf) : rest;
  pos += terminated ? lf + 1 : rest.size();
  bool cut = false;
  line = finish_line(raw, max_length, true, terminated, cut);
  return true;
}
