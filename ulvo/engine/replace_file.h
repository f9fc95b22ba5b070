#pragma once

#include <cstdio>
#include <filesystem>
#include <functional>
#include <string>
#include <string_view>

namespace ulvo {

// A file the user owns, written beside itself and put in its place only once complete, so a
// full disk or a failed run never leaves a damaged file where the user's was.
//
// The bytes go to a new file in the destination's folder ("name.ulvo-tmp", numbered when that
// is taken); Commit renames it over the destination, giving it the old file's permissions. A
// destination that exists but is not a regular file (a device, a pipe) cannot be replaced and
// is written in place. A symbolic link is followed: the file it names is replaced, the link
// stays.
class ReplacingWrite {
 public:
  explicit ReplacingWrite(std::filesystem::path destination);
  // Removes the temporary file unless Commit succeeded.
  ~ReplacingWrite();
  ReplacingWrite(const ReplacingWrite&) = delete;
  ReplacingWrite& operator=(const ReplacingWrite&) = delete;

  // Why there is nothing to write to (the operating system's words); empty when Path() is
  // ready.
  const std::string& Problem() const { return problem_; }
  // Where the bytes go: the temporary file, or the destination itself when written in place.
  const std::filesystem::path& Path() const { return path_; }
  bool InPlace() const { return inPlace_; }

  // Puts the written file in the destination's place; the operating system's reason when
  // that failed (the destination is then as it was), else empty.
  std::string Commit();
  // Drops what was written; the destination stays as it was.
  void Discard();

 private:
  std::filesystem::path destination_;
  std::filesystem::path path_;
  std::string problem_;
  bool inPlace_ = false;
  bool open_ = false;
};

// Replaces path with bytes through a ReplacingWrite; the operating system's reason on
// failure (path then holds what it held before), else empty.
std::string ReplaceFileWith(const std::filesystem::path& path, std::string_view bytes);

// Writes bytes to an open file; false with errno set when the system refused them. Tests
// put a writer that fails on demand in its place.
using ChunkWriter = std::function<bool(std::FILE* file, std::string_view bytes)>;

// ReplaceFileWith with a say in how the bytes are written; false with the system's reason in
// reason (when given) on failure.
bool ReplaceFile(const std::filesystem::path& path, std::string_view bytes, std::string* reason,
                 const ChunkWriter& write = {});

// Whether a folder entry is a temporary file of a ReplacingWrite, left behind only when the
// program stopped half way; such files are never taken for the user's own.
bool IsReplaceTemporary(const std::filesystem::path& entry);

// Why a file could not be written to path through a ReplacingWrite, or empty when it can. An
// existing file must itself be writable: a file the user made read-only is not replaced.
std::string ReplacementProblem(const std::filesystem::path& path);

}  // namespace ulvo
