#include "report/result_file_writer.h"

#include <filesystem>
#include <system_error>
#include <utility>

namespace {
/// Blocks that may wait for the writer before the caller waits in turn: the
/// memory they take stays bounded however fast the lines come.
constexpr std::size_t k_max_waiting = 4;
}  // namespace

result_file_writer::result_file_writer(std::string path, std::vector<std::string> inputs,
                                       bool own_thread)
    : m_path(std::move(path)), m_inputs(std::move(inputs)), m_own_thread(own_thread) {}

result_file_writer::~result_file_writer() { finish(); }

void result_file_writer::add(std::string& block) {
  if (!m_own_thread) {
    write(block);
    block.clear();
    return;
  }
  std::unique_lock<std::mutex> lock(m_mutex);
  if (!m_thread.joinable()) {
    try {
      m_thread = std::thread(&result_file_writer::run, this);
    } catch (const std::system_error&) {
      m_own_thread = false;  // no thread to be had: write here
      lock.unlock();
      write(block);
      block.clear();
      return;
    }
  }
  m_changed.wait(lock, [this] { return m_waiting.size() < k_max_waiting; });
  m_waiting.push_back(std::move(block));
  block = std::string();
  if (!m_spare.empty()) {
    block = std::move(m_spare.back());
    m_spare.pop_back();
  }
  m_changed.notify_all();
}

bool result_file_writer::finish() {
  if (m_finished) {
    return !m_failed && m_opened;
  }
  m_finished = true;
  if (m_thread.joinable()) {
    {
      const std::lock_guard<std::mutex> lock(m_mutex);
      m_closing = true;
    }
    m_changed.notify_all();
    m_thread.join();
  }
  if (!m_opened || m_failed) {
    return false;
  }
  // In text mode a line end may take two bytes: the length is where the
  // writing ended, not the characters written. Characters still buffered
  // would be counted once each, so they go to the file first.
  m_file.flush();
  const std::streamoff length = m_file.tellp();
  m_file.close();
  if (m_file.fail() || length < 0) {
    m_failed = true;
    return false;
  }
  std::error_code error;
  std::filesystem::resize_file(m_path, static_cast<std::uintmax_t>(length), error);
  m_failed = static_cast<bool>(error);
  return !m_failed;
}

bool result_file_writer::open() {
  for (const std::string& input : m_inputs) {
    std::error_code error;
    if (std::filesystem::equivalent(m_path, input, error)) {
      return false;
    }
  }
  // A result file from an earlier run is written over in place and cut to
  // its new length at the end. Cutting a large file to nothing first costs
  // more than writing it: the file system frees every block, allocates them
  // anew, and some (ext4) then write the new contents out to disk when the
  // file is closed, to protect them from a crash.
  std::error_code error;
  if (std::filesystem::is_regular_file(m_path, error)) {
    m_file.open(m_path, std::ios::in | std::ios::out);
  }
  if (!m_file.is_open()) {
    m_file.open(m_path, std::ios::out | std::ios::trunc);
  }
  return m_file.is_open();
}

void result_file_writer::write(const std::string& block) {
  if (m_failed) {
    return;
  }
  if (!m_opened) {
    m_opened = true;
    if (!open()) {
      m_failed = true;
      return;
    }
  }
  m_file.write(block.data(), static_cast<std::streamsize>(block.size()));
  m_failed = m_file.fail();
}

void result_file_writer::run() {
  std::unique_lock<std::mutex> lock(m_mutex);
  for (;;) {
    m_changed.wait(lock, [this] { return !m_waiting.empty() || m_closing; });
    if (m_waiting.empty()) {
      return;  // closing, and everything is written
    }
    std::string block = std::move(m_waiting.front());
    m_waiting.pop_front();
    m_changed.notify_all();
    lock.unlock();
    write(block);
    lock.lock();
    m_spare.push_back(std::move(block));
  }
}
