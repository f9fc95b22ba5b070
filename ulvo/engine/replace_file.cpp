#include "ulvo/engine/replace_file.h"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <system_error>

namespace fs = std::filesystem;

namespace ulvo {
namespace {

constexpr std::string_view kTemporaryMark = ".ulvo-tmp";

std::string ErrnoText() {
  return std::strerror(errno != 0 ? errno : EIO);
}

// Opens path in mode only to find out whether that works; the file is closed again at once.
bool CanOpen(const fs::path& path, const char* mode) {
  errno = 0;
  std::FILE* file = std::fopen(path.string().c_str(), mode);
  if (!file) return false;
  std::fclose(file);
  return true;
}

}  // namespace

ReplacingWrite::ReplacingWrite(fs::path destination) : destination_(std::move(destination)) {
  std::error_code ec;
  if (destination_.empty()) {
    problem_ = std::strerror(ENOENT);
    return;
  }
  const fs::file_status status = fs::status(destination_, ec);
  if (fs::is_directory(status)) {
    problem_ = std::strerror(EISDIR);
    return;
  }
  if (fs::exists(status) && !fs::is_regular_file(status)) {
    // A device or a pipe cannot be renamed over; it takes the bytes as they come.
    inPlace_ = true;
    path_ = destination_;
    if (!CanOpen(path_, "ab")) problem_ = ErrnoText();
    return;
  }
  if (fs::is_symlink(fs::symlink_status(destination_, ec))) {
    const fs::path target = fs::weakly_canonical(destination_, ec);
    if (!ec) destination_ = target;
  }
  // A file the user made read-only stays; appending nothing leaves a writable one untouched.
  if (fs::exists(status) && !CanOpen(destination_, "ab")) {
    problem_ = ErrnoText();
    return;
  }
  const fs::path folder = destination_.parent_path();
  const std::string name = destination_.filename().string() + std::string(kTemporaryMark);
  for (int n = 1; n <= 100; ++n) {
    const fs::path candidate = folder / (n == 1 ? name : name + std::to_string(n));
    // "x": never take over a file that is already there.
    if (CanOpen(candidate, "wbx")) {
      path_ = candidate;
      open_ = true;
      return;
    }
    if (errno != EEXIST) break;
  }
  problem_ = ErrnoText();
}

ReplacingWrite::~ReplacingWrite() {
  Discard();
}

std::string ReplacingWrite::Commit() {
  if (!problem_.empty()) return problem_;
  if (inPlace_) return {};
  if (!open_) return std::strerror(ENOENT);
  std::error_code ec;
  const fs::file_status old = fs::status(destination_, ec);
  if (fs::is_regular_file(old)) fs::permissions(path_, old.permissions(), ec);
  fs::rename(path_, destination_, ec);
  if (ec) {
    Discard();
    return ec.message();
  }
  open_ = false;
  return {};
}

void ReplacingWrite::Discard() {
  if (!open_) return;
  std::error_code ec;
  fs::remove(path_, ec);
  open_ = false;
}

namespace {

bool WriteAll(std::FILE* file, std::string_view bytes) {
  while (!bytes.empty()) {
    const size_t written = std::fwrite(bytes.data(), 1, bytes.size(), file);
    if (written == 0) return false;
    bytes.remove_prefix(written);
  }
  return true;
}

std::string Replace(const fs::path& path, std::string_view bytes, const ChunkWriter& write) {
  ReplacingWrite replacing(path);
  if (!replacing.Problem().empty()) return replacing.Problem();
  errno = 0;
  std::FILE* file = std::fopen(replacing.Path().string().c_str(), "wb");
  if (!file) return ErrnoText();
  errno = 0;
  const bool written = write ? write(file, bytes) : WriteAll(file, bytes);
  std::string why = written ? std::string() : ErrnoText();
  errno = 0;
  if (std::fflush(file) != 0 && why.empty()) why = ErrnoText();
  errno = 0;
  if (std::fclose(file) != 0 && why.empty()) why = ErrnoText();
  if (!why.empty()) return why;
  return replacing.Commit();
}

}  // namespace

std::string ReplaceFileWith(const fs::path& path, std::string_view bytes) {
  return Replace(path, bytes, {});
}

bool ReplaceFile(const fs::path& path, std::string_view bytes, std::string* reason,
                 const ChunkWriter& write) {
  std::string why = Replace(path, bytes, write);
  if (why.empty()) return true;
  if (reason) *reason = std::move(why);
  return false;
}

bool IsReplaceTemporary(const fs::path& entry) {
  // "<name>.ulvo-tmp", then "<name>.ulvo-tmp2", "<name>.ulvo-tmp3", ...
  const std::string name = entry.filename().string();
  const size_t at = name.rfind(kTemporaryMark);
  if (at == std::string::npos || at == 0) return false;
  for (size_t i = at + kTemporaryMark.size(); i < name.size(); ++i) {
    if (name[i] < '0' || name[i] > '9') return false;
  }
  return true;
}

std::string ReplacementProblem(const fs::path& path) {
  return ReplacingWrite(path).Problem();
}

}  // namespace ulvo
