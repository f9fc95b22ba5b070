#pragma once

// Twin of ulvo/engine/replace_file.h: the programs share no code, so the durable replace of a
// user's file is kept alike in both by hand. A change to one belongs in the other too.

#include <filesystem>
#include <functional>
#include <string>
#include <string_view>

namespace kavex {

// Every write of a user's file goes through here, so that neither a crash, a power cut nor a
// second writer can leave the file damaged or empty. The bytes go to a temporary file beside
// the target ("NAME.tmp~", then "NAME.tmp~2", ...; made new, never through a link, locked while
// in use), which is synced, given the old file's mode (and owner and group where permitted),
// renamed over the target, and the folder synced. A symbolic link is written through to the
// file it names. A read-only file, a folder, a pipe or a disk device is refused before
// anything is written; a character device (/dev/null) takes the bytes as they come. Temporary files
// of a write that was killed are removed by the next write of the same target.
//
// Twin: ulvo/engine/replace_file.h does the same for ULVO; the two programs share no code.
class ReplacingFile {
 public:
  explicit ReplacingFile(std::filesystem::path target);
  // Removes the temporary file unless Commit succeeded.
  ~ReplacingFile();
  ReplacingFile(const ReplacingFile&) = delete;
  ReplacingFile& operator=(const ReplacingFile&) = delete;

  // Makes the temporary file. False, with the operating system's reason in why, when the
  // target cannot be replaced.
  bool Open(std::string& why);
  // Appends bytes; a failure is kept for Commit to report.
  void Write(std::string_view bytes);
  // Puts the file in place. With keepAs, an existing target is kept under that name (an
  // older one replaced) once the new bytes are on disk, by a second link to it (or a copy
  // where the file system has no links), so the target's name never stands empty. On
  // failure the target (and keepAs) are as they were and why says why.
  bool Commit(std::string& why, const std::filesystem::path& keepAs = {});
  // Drops what was written.
  void Discard();

  // The file replaced: the target, or the file a link there names.
  const std::filesystem::path& Target() const { return target_; }

 private:
  std::filesystem::path target_;
  std::filesystem::path temp_;
  int fd_ = -1;
  int error_ = 0;
};

// Replaces path with bytes; empty on success, else the operating system's reason (path and
// keepAs then hold what they held).
std::string ReplaceFileWith(const std::filesystem::path& path, std::string_view bytes,
                            const std::filesystem::path& keepAs = {});

// Why path cannot be replaced (the operating system's words, or "not a regular file"), or
// empty when it can. Asking leaves nothing behind.
std::string ReplaceProblem(const std::filesystem::path& path);

// The text for a target that is neither missing nor a regular file.
inline constexpr std::string_view kNotARegularFile = "not a regular file";

// The steps of a replacing write that reach the disk, in the order they are taken.
enum class ReplaceStep { Write, Sync, Keep, Rename, SyncFolder };
// Tests watch the steps, or fail one as the system would by returning its errno (0: go on).
using ReplaceStepHook = std::function<int(ReplaceStep step, const std::filesystem::path& path)>;
void SetReplaceStepHook(ReplaceStepHook hook);

}  // namespace kavex
