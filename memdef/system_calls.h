// The operating-system services the readers need below the app's platform
// layer, one sibling source per platform: positions beyond 2 GiB in an open
// file (the standard fseek takes a long, which holds only 32 bits on 64-bit
// Windows) and a hint on how to back large buffers.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <vector>

/// Moves the file's read position to offset bytes from its beginning.
bool seek_file(std::FILE* file, std::uint64_t offset);

/// Asks the system to back a buffer with large pages where it can; called
/// before the buffer is first written. A listing of many sections fills tens
/// of megabytes of records, and every small page first written costs a trap
/// into the kernel. Only a hint: the contents stay as they are.
void prefer_large_pages(void* buffer, std::size_t bytes);

/// Reserves room for n elements; the room not yet used gets large pages
/// where the system has them.
template <typename T>
void reserve_with_large_pages(std::vector<T>& elements, std::size_t n) {
  if (n <= elements.capacity()) {
    return;
  }
  elements.reserve(n);
  prefer_large_pages(elements.data() + elements.size(),
                     (elements.capacity() - elements.size()) * sizeof(T));
}
