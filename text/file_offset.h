// Positions beyond 2 GiB in an open file: the standard fseek takes a long,
// which holds only 32 bits on 64-bit Windows. One sibling source per
// platform, like the program's other system services.
#pragma once

#include <cstdint>
#include <cstdio>

/// Moves the file's read position to offset bytes from its beginning.
bool seek_file(std::FILE* file, std::uint64_t offset);
