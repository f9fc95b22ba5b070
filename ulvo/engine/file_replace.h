#pragma once

#include <cstdio>
#include <filesystem>
#include <functional>
#include <string>
#include <string_view>

namespace ulvo {

// Writes bytes to an open file; false with errno set when the system refused them. Tests
// put a writer that fails on demand in its place.
using ChunkWriter = std::function<bool(std::FILE* file, std::string_view bytes)>;

// Replaces the file at path (a symbolic link: the file it names) with bytes. They go to a new
// temporary file beside it, which is renamed over it only once complete, so a failure (a full
// disk, a folder that cannot be written) leaves the old file exactly as it was. The new file
// keeps the old one's permissions; a file that may not be written is not replaced. On
// failure reason (when given) is the system's reason and no temporary file is left.
bool ReplaceFile(const std::filesystem::path& path, std::string_view bytes, std::string* reason,
                 const ChunkWriter& write = {});

// Whether a folder entry is a temporary file ReplaceFile leaves behind only when the program
// stops half way; such files are never taken for the user's own.
bool IsReplaceTemporary(const std::filesystem::path& entry);

}  // namespace ulvo
