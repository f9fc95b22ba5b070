#include "ulvo/engine/replace_file.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <system_error>

namespace fs = std::filesystem;

namespace ulvo {
namespace {

constexpr std::string_view kTemporaryMark = ".ulvo-tmp";

ReplaceStepHook& Hook() {
  static ReplaceStepHook hook;
  return hook;
}

// A failure a test asked for, else 0.
int Injected(ReplaceStep step, const fs::path& path) {
  return Hook() ? Hook()(step, path) : 0;
}

std::string Reason(int error) {
  return std::strerror(error != 0 ? error : EIO);
}

// Removes path when it is what a write that no longer runs left behind: a regular file
// nobody holds locked.
void RemoveStale(const fs::path& path) {
  const int fd = ::open(path.c_str(), O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC);
  if (fd < 0) return;
  struct stat held {};
  struct stat there {};
  if (::fstat(fd, &held) == 0 && S_ISREG(held.st_mode) && ::flock(fd, LOCK_EX | LOCK_NB) == 0 &&
      ::lstat(path.c_str(), &there) == 0 && there.st_ino == held.st_ino &&
      there.st_dev == held.st_dev) {
    ::unlink(path.c_str());
  }
  ::close(fd);
}

// The temporary files of this form ("name.ulvo-tmp-<process>[-<n>]") that writes of the
// same destination left when they were killed. Older forms are left alone: they may be
// anyone's.
void RemoveStaleTemporaries(const fs::path& folder, const std::string& prefix) {
  std::error_code ec;
  for (fs::directory_iterator it(folder.empty() ? fs::path(".") : folder, ec), end;
       !ec && it != end; it.increment(ec)) {
    const std::string name = it->path().filename().string();
    if (name.size() > prefix.size() && name.compare(0, prefix.size(), prefix) == 0 &&
        name.find_first_not_of("0123456789-", prefix.size()) == std::string::npos)
      RemoveStale(it->path());
  }
}

// A new file at path, locked while this write holds it; -1 with errno set when it cannot be
// made.
int CreateLocked(const fs::path& path) {
  const int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0666);
  if (fd < 0) return -1;
  // A file system without locks still gets its file, only without that guard.
  while (::flock(fd, LOCK_EX) != 0 && errno == EINTR) {
  }
  struct stat st {};
  if (::fstat(fd, &st) == 0 && st.st_nlink > 0) return fd;
  // Taken for stale between the open and the lock.
  ::close(fd);
  errno = EEXIST;
  return -1;
}

void SyncFolder(const fs::path& folder) {
  const int fd = ::open(folder.empty() ? "." : folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (fd < 0) return;
  if (Injected(ReplaceStep::SyncFolder, folder) == 0) {
    while (::fsync(fd) != 0 && errno == EINTR) {
    }
  }
  ::close(fd);
}

}  // namespace

void SetReplaceStepHook(ReplaceStepHook hook) {
  Hook() = std::move(hook);
}

ReplacingWrite::ReplacingWrite(fs::path destination) : destination_(std::move(destination)) {
  std::error_code ec;
  if (destination_.empty()) {
    problem_ = Reason(ENOENT);
    return;
  }
  if (fs::is_symlink(fs::symlink_status(destination_, ec))) {
    const fs::path target = fs::weakly_canonical(destination_, ec);
    if (!ec) destination_ = target;
  }
  struct stat st {};
  const bool exists = ::stat(destination_.c_str(), &st) == 0;
  if (exists && S_ISDIR(st.st_mode)) {
    problem_ = Reason(EISDIR);
    return;
  }
  if (exists && S_ISCHR(st.st_mode)) {
    // A character device cannot be renamed over; it takes the bytes as they come.
    inPlace_ = true;
    path_ = destination_;
    const int fd = ::open(path_.c_str(), O_WRONLY | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0)
      problem_ = Reason(errno);
    else
      ::close(fd);
    return;
  }
  // A pipe would hold the program until someone reads it; a disk is no file to replace.
  if (exists && !S_ISREG(st.st_mode)) {
    problem_ = std::string(kNotARegularFile);
    return;
  }
  // A file the user made read-only stays so, whoever runs the program.
  if (exists && ::access(destination_.c_str(), W_OK) != 0) {
    problem_ = Reason(errno);
    return;
  }
  if (exists && (st.st_mode & (S_IWUSR | S_IWGRP | S_IWOTH)) == 0) {
    problem_ = Reason(EACCES);
    return;
  }
  const fs::path folder = destination_.parent_path();
  const std::string prefix = destination_.filename().string() + std::string(kTemporaryMark) + "-";
  RemoveStaleTemporaries(folder, prefix);
  const std::string name = prefix + std::to_string(::getpid());
  for (int n = 1; n <= 100; ++n) {
    const fs::path candidate = folder / (n == 1 ? name : name + "-" + std::to_string(n));
    fd_ = CreateLocked(candidate);
    if (fd_ >= 0) {
      path_ = candidate;
      return;
    }
    if (errno != EEXIST) break;
  }
  problem_ = Reason(errno);
}

ReplacingWrite::~ReplacingWrite() {
  Discard();
}

std::string ReplacingWrite::Commit() {
  if (!problem_.empty()) return problem_;
  if (inPlace_) return {};
  if (fd_ < 0) return Reason(ENOENT);
  int error = 0;
  // The bytes were written through the temporary file's name: it must still be ours.
  struct stat held {};
  struct stat there {};
  if (::fstat(fd_, &held) != 0 || ::lstat(path_.c_str(), &there) != 0 ||
      held.st_ino != there.st_ino || held.st_dev != there.st_dev)
    error = ENOENT;
  struct stat old {};
  if (error == 0 && ::stat(destination_.c_str(), &old) == 0 && S_ISREG(old.st_mode)) {
    // The file keeps who may read it; its owner and group only where the system lets us.
    if (::fchown(fd_, ::geteuid() == 0 ? old.st_uid : static_cast<uid_t>(-1), old.st_gid) != 0) {
    }
    ::fchmod(fd_, old.st_mode & 07777);
  }
  if (error == 0) error = Injected(ReplaceStep::Sync, path_);
  if (error == 0) {
    while (::fsync(fd_) != 0) {
      if (errno == EINTR) continue;
      error = errno;
      break;
    }
  }
  if (error == 0) error = Injected(ReplaceStep::Rename, destination_);
  if (error == 0 && ::rename(path_.c_str(), destination_.c_str()) != 0) error = errno;
  if (error != 0) {
    Discard();
    return Reason(error);
  }
  ::close(fd_);
  fd_ = -1;
  SyncFolder(destination_.parent_path());
  return {};
}

void ReplacingWrite::Discard() {
  if (fd_ < 0) return;
  // Still locked: nobody took the name from us.
  ::unlink(path_.c_str());
  ::close(fd_);
  fd_ = -1;
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

std::string ErrnoText() {
  return Reason(errno);
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
  // "<name>.ulvo-tmp", "<name>.ulvo-tmp2", ... (earlier versions), "<name>.ulvo-tmp-<process>"
  // and "<name>.ulvo-tmp-<process>-<n>".
  const std::string name = entry.filename().string();
  const size_t at = name.rfind(kTemporaryMark);
  if (at == std::string::npos || at == 0) return false;
  size_t i = at + kTemporaryMark.size();
  if (i < name.size() && name[i] == '-') {
    if (i + 1 == name.size()) return false;
    return name.find_first_not_of("0123456789-", i + 1) == std::string::npos;
  }
  for (; i < name.size(); ++i) {
    if (name[i] < '0' || name[i] > '9') return false;
  }
  return true;
}

std::string ReplacementProblem(const fs::path& path) {
  return ReplacingWrite(path).Problem();
}

}  // namespace ulvo
