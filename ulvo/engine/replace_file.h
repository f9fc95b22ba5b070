#pragma once

// Twin of kavex/formats/replace_file.h: the programs share no code, so the durable replace of a
// user's file is kept alike in both by hand. A change to one belongs in the other too.

#include <cstdio>
#include <filesystem>
#include <functional>
#include <string>
#include <string_view>

namespace ulvo {

// A file the user owns, written beside itself and put in its place only once complete and on
// disk, so that neither a full disk, a crash, a power cut nor a second writer leaves a damaged
// or empty file where the user's was.
//
// The bytes go to a new file in the destination's folder ("name.ulvo-tmp-<process>", made new,
// never through a link, locked while in use); Commit syncs it, gives it the old file's
// permissions (and owner and group where permitted), renames it over the destination and
// syncs the folder. A symbolic link is followed: the file it names is replaced, the link
// stays. A read-only file, a pipe or a disk device is refused before anything is read or
// sent; a character device (/dev/null, /dev/full) takes the bytes as they come. Temporary
// files of an earlier write of this form that was killed are removed by the next write.
//
// Twin: kavex/formats/replace_file.h does the same for Kavex; the two programs share no code.
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
  // Where the bytes go: the temporary file, or the device itself.
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
  int fd_ = -1;  // the temporary file, held open and locked until it is put in place
  bool inPlace_ = false;
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

// The text for a destination that is neither missing, a regular file nor a character device.
inline constexpr std::string_view kNotARegularFile = "not a regular file";

// The steps of a replacing write that reach the disk, in the order they are taken.
enum class ReplaceStep { Sync, Rename, SyncFolder };
// Tests watch the steps, or fail one as the system would by returning its errno (0: go on).
using ReplaceStepHook = std::function<int(ReplaceStep step, const std::filesystem::path& path)>;
void SetReplaceStepHook(ReplaceStepHook hook);

}  // namespace ulvo
