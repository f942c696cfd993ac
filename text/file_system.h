// The file-system services the standard library leaves to each platform:
// positions beyond 2 GiB in an open file (the standard fseek takes a long,
// which holds only 32 bits on 64-bit Windows) and replacing a file by
// another in one step. One sibling source per platform; write_whole_file,
// built on replace_file, is the same everywhere (file_system.cpp).
#pragma once

#include <cstdint>
#include <cstdio>
#include <functional>
#include <ostream>
#include <string>

/// Moves the file's read position to offset bytes from its beginning.
bool seek_file(std::FILE* file, std::uint64_t offset);

/// Renames from to to, replacing a file of that name in one step: a reader
/// of to sees the old file whole or the new one, never a mix.
bool replace_file(const std::string& from, const std::string& to);

/// How write_whole_file opens its stream: text (line ends as the system
/// writes them) or binary (bytes as they are given).
enum class file_mode { text, binary };

/// Makes path anew from what write puts into the stream it is given: the
/// text goes into a temporary file in path's folder (of the file a symbolic
/// link names, for a link), which replaces path only when write has returned
/// with the stream good and the file closed. False, with path as it was and
/// no temporary file left behind, when the temporary file cannot be made,
/// write throws or leaves the stream failed, or the rename fails (path is a
/// folder, say). The file keeps the permissions of the one it replaces.
bool write_whole_file(const std::string& path, const std::function<void(std::ostream&)>& write,
                      file_mode mode);
