// Buffered line reader shared by every input file of the tool.
// Files are read in large binary blocks and split into lines here, so the
// same rules hold on every platform: a line ends at a line feed, one carriage
// return right before it is not part of the line, a NUL ends the line's text,
// and a line longer than the reader's limit is cut there (the rest of that
// physical line is dropped and reading goes on with the next line).
#pragma once

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "text/input_source.h"

class line_reader {
 public:
  /// max_length: characters of text a line keeps (511 or 2047 in this tool).
  explicit line_reader(std::size_t max_length);
  ~line_reader();
  line_reader(const line_reader&) = delete;
  line_reader& operator=(const line_reader&) = delete;

  /// Opens a file, or a text in memory, for reading; anything opened earlier
  /// is closed first. A directory counts as a file that cannot be opened; a
  /// text always opens. A text is read through the same block as a file, so
  /// its lines are exactly the lines of a file holding the same bytes.
  bool open(const input_source& source);
  /// Opens only the bytes [begin, end) of a file or text, as if they were all
  /// of it. Lines are the file's own when begin is the start of one.
  bool open(const input_source& source, std::uint64_t begin, std::uint64_t end);
  void close();
  bool is_open() const { return m_file != nullptr || m_text_open; }

  /// The next line of the file. Returns false when no line is left: after
  /// the last line feed only bytes that are there form one more line, so a
  /// file ending in a line feed has no empty line after it. The view stays
  /// valid until the next call.
  bool next(std::string_view& line);

  /// Whether the line last returned by next() was ended by a line feed.
  bool last_line_terminated() const { return m_terminated; }
  /// Whether the line last returned by next() was longer than the limit and
  /// cut there (the line's own length, without a CR before its line feed).
  bool last_line_cut() const { return m_cut; }

  /// True once every byte of the file has been consumed.
  bool at_end();

  /// How many lines next() has returned since the file was opened: the
  /// 1-based number of the last one, counted from the start of the opened
  /// bytes.
  std::uint64_t line_number() const { return m_line_number; }

  /// Offset in the file of the first byte that no returned line has used.
  std::uint64_t position() const { return m_block_offset + m_begin; }

 private:
  bool fill();
  /// Up to want bytes of the open file or text into into; 0 at its end.
  std::size_t read_bytes(char* into, std::size_t want);
  bool next_across_blocks(std::string_view& line);
  void keep(std::string_view raw);
  bool deliver(std::string_view raw, bool spilled, std::string_view& line);

  std::size_t m_max_length;
  std::FILE* m_file = nullptr;
  /// A text in memory read instead of a file: its bytes from m_text_next on
  /// are what fread would give next.
  bool m_text_open = false;
  std::string_view m_text;
  std::size_t m_text_next = 0;
  std::unique_ptr<char[]> m_block;  ///< k_block_size bytes once a file was opened
  std::size_t m_block_size = 0;
  std::uint64_t m_block_offset = 0;  ///< offset in the file of the block's first byte
  std::uint64_t m_unread = 0;        ///< bytes of the file (or stretch) not yet in the block
  std::size_t m_begin = 0;
  std::size_t m_end = 0;
  bool m_eof = false;
  bool m_terminated = false;
  bool m_cut = false;
  std::uint64_t m_line_number = 0;
  bool m_may_hold_nul = true;  ///< whether the buffered bytes contain a NUL
  std::string m_long_line;
};

/// The next line of a text held in memory, split by the rules of line_reader
/// (line feed, one carriage return before it, the cut at max_length, NUL), so
/// that text a caller already holds reads as the same file would. False when
/// no line is left; pos moves past the line and its line feed.
bool next_text_line(std::string_view text, std::size_t& pos, std::size_t max_length,
                    std::string_view& line);
