// The file-system services the standard library leaves to each platform:
// positions beyond 2 GiB in an open file (the standard fseek takes a long,
// which holds only 32 bits on 64-bit Windows) and replacing a file by
// another in one step. One sibling source per platform.
#pragma once

#include <cstdint>
#include <cstdio>
#include <string>

/// Moves the file's read position to offset bytes from its beginning.
bool seek_file(std::FILE* file, std::uint64_t offset);

/// Renames from to to, replacing a file of that name in one step: a reader
/// of to sees the old file whole or the new one, never a mix.
bool replace_file(const std::string& from, const std::string& to);
