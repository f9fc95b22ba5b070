#include "ulvo/engine/replace_file.h"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <system_error>

namespace fs = std::filesystem;

namespace ulvo {
namespace {

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
  const std::string name = destination_.filename().string() + ".ulvo-tmp";
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

std::string ReplaceFileWith(const fs::path& path, std::string_view bytes) {
  ReplacingWrite write(path);
  if (!write.Problem().empty()) return write.Problem();
  errno = 0;
  std::FILE* file = std::fopen(write.Path().string().c_str(), "wb");
  if (!file) return ErrnoText();
  const bool written = std::fwrite(bytes.data(), 1, bytes.size(), file) == bytes.size();
  std::string why = written ? std::string() : ErrnoText();
  errno = 0;
  if (std::fclose(file) != 0 && why.empty()) why = ErrnoText();
  if (!why.empty()) return why;
  return write.Commit();
}

std::string ReplacementProblem(const fs::path& path) {
  return ReplacingWrite(path).Problem();
}

}  // namespace ulvo
