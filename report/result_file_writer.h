// Writes the ambiguous search result file from blocks of lines. A listing
// with hundreds of thousands of sections of a few names makes a result file
// of tens of megabytes; with a thread of its own the writer puts each block
// into the file while the records are still being accounted.
#pragma once

#include <condition_variable>
#include <cstddef>
#include <deque>
#include <fstream>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

class result_file_writer {
 public:
  /// inputs: files that must never be overwritten, whatever their names.
  /// The file is only opened with the first block.
  result_file_writer(std::string path, std::vector<std::string> inputs, bool own_thread);
  ~result_file_writer();
  result_file_writer(const result_file_writer&) = delete;
  result_file_writer& operator=(const result_file_writer&) = delete;

  /// Adds the next block of lines. Afterwards block may be a block written
  /// earlier, old characters and all, to be filled again: its memory is used
  /// once more. With its own thread the writer takes the block over and the
  /// caller goes on; it waits only while several blocks are still waiting to
  /// be written.
  void add(std::string& block);

  /// Writes what is left and closes the file. True when every block was
  /// written; false when the path names an input, or the file could not be
  /// opened, written or cut to its length.
  bool finish();

 private:
  bool open();
  void write(const std::string& block);
  void run();

  std::string m_path;
  std::vector<std::string> m_inputs;
  bool m_own_thread;
  bool m_opened = false;
  bool m_failed = false;
  bool m_finished = false;
  std::fstream m_file;

  std::thread m_thread;
  std::mutex m_mutex;
  std::condition_variable m_changed;
  std::deque<std::string> m_waiting;  ///< blocks not yet written, oldest first
  /// Written blocks, emptied: their memory is used again rather than new
  /// memory, whose every page costs a trap into the kernel when first used.
  std::vector<std::string> m_spare;
  bool m_closing = false;  ///< no block comes any more
};
