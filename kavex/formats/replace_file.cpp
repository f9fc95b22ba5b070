#include "kavex/formats/replace_file.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <system_error>
#include <utility>

namespace fs = std::filesystem;

namespace kavex {
namespace {

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

// The file that links at path lead to (a link to nothing leads to where it points).
fs::path Resolve(const fs::path& path) {
  fs::path p = path;
  std::error_code ec;
  for (int hops = 0; hops < 40 && fs::is_symlink(fs::symlink_status(p, ec)); ++hops) {
    const fs::path to = fs::read_symlink(p, ec);
    if (ec) break;
    p = to.is_absolute() ? to : p.parent_path() / to;
  }
  return p;
}

// Why target cannot be replaced, or empty.
std::string Problem(const fs::path& target) {
  if (target.empty()) return Reason(ENOENT);
  struct stat st {};
  if (::stat(target.c_str(), &st) == 0) {
    if (S_ISDIR(st.st_mode)) return Reason(EISDIR);
    if (S_ISCHR(st.st_mode)) return {};
    // A pipe would hold the writer until someone reads it; a disk is no file to replace.
    if (!S_ISREG(st.st_mode)) return std::string(kNotARegularFile);
    // A file the user made read-only stays so, whoever runs the program.
    if (::access(target.c_str(), W_OK) != 0) return Reason(errno);
    if ((st.st_mode & (S_IWUSR | S_IWGRP | S_IWOTH)) == 0) return Reason(EACCES);
    return {};
  }
  if (errno != ENOENT) return Reason(errno);
  const fs::path folder = target.parent_path().empty() ? fs::path(".") : target.parent_path();
  if (::stat(folder.c_str(), &st) != 0) return Reason(errno);
  if (!S_ISDIR(st.st_mode)) return Reason(ENOTDIR);
  return {};
}

// Removes path when it is what a write that no longer runs left behind: a regular file
// nobody holds locked. False when it is in use or something else.
bool RemoveStale(const fs::path& path) {
  const int fd = ::open(path.c_str(), O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC);
  if (fd < 0) return false;
  struct stat held {};
  struct stat there {};
  bool removed = false;
  if (::fstat(fd, &held) == 0 && S_ISREG(held.st_mode) && ::flock(fd, LOCK_EX | LOCK_NB) == 0 &&
      ::lstat(path.c_str(), &there) == 0 && there.st_ino == held.st_ino &&
      there.st_dev == held.st_dev) {
    removed = ::unlink(path.c_str()) == 0;
  }
  ::close(fd);
  return removed;
}

// A new file at path, locked while this write holds it. -1 with error set when it cannot be
// made (EEXIST: a live write or something not ours has the name).
int CreateLocked(const fs::path& path, int& error) {
  for (int attempt = 0; attempt < 3; ++attempt) {
    const int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0666);
    if (fd < 0) {
      error = errno;
      if (error != EEXIST || !RemoveStale(path)) return -1;
      continue;
    }
    // A file system without locks still gets its file, only without that guard.
    while (::flock(fd, LOCK_EX) != 0 && errno == EINTR) {
    }
    // Taken for stale between the open and the lock: made again.
    struct stat st {};
    if (::fstat(fd, &st) == 0 && st.st_nlink > 0) return fd;
    ::close(fd);
  }
  error = EEXIST;
  return -1;
}

fs::path Candidate(const fs::path& folder, const std::string& name, int n) {
  return folder / (n == 1 ? name : name + std::to_string(n));
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

// A durable copy of from at to, for file systems that cannot give a file a second name.
int CopyTo(const fs::path& from, const fs::path& to) {
  const int in = ::open(from.c_str(), O_RDONLY | O_CLOEXEC);
  if (in < 0) return errno;
  ReplacingFile copy(to);
  std::string why;
  int error = copy.Open(why) ? 0 : EIO;
  char buffer[65536];
  while (error == 0) {
    const ssize_t n = ::read(in, buffer, sizeof buffer);
    if (n < 0 && errno == EINTR) continue;
    if (n < 0) error = errno;
    if (n <= 0) break;
    copy.Write(std::string_view(buffer, static_cast<size_t>(n)));
  }
  ::close(in);
  if (error == 0 && !copy.Commit(why)) error = EIO;
  return error;
}

// Gives target's file the name keepAs as well, replacing an older keepAs in one step, so
// that target itself never moves.
int Keep(const fs::path& target, const fs::path& keepAs) {
  if (const int e = Injected(ReplaceStep::Keep, keepAs)) return e;
  const std::string name = keepAs.filename().string() + ".tmp~";
  for (int n = 1; n <= 100; ++n) {
    const fs::path spare = Candidate(keepAs.parent_path(), name, n);
    if (::link(target.c_str(), spare.c_str()) != 0) {
      if (errno == EEXIST) {
        if (RemoveStale(spare)) --n;
        continue;
      }
      if (errno == EPERM || errno == EOPNOTSUPP || errno == EMLINK || errno == EXDEV)
        return CopyTo(target, keepAs);
      return errno;
    }
    const int error = ::rename(spare.c_str(), keepAs.c_str()) == 0 ? 0 : errno;
    // A rename between two names of one file leaves both: the spare one goes.
    struct stat a {};
    struct stat b {};
    if (::lstat(spare.c_str(), &a) == 0 && ::stat(target.c_str(), &b) == 0 && a.st_ino == b.st_ino)
      ::unlink(spare.c_str());
    return error;
  }
  return EEXIST;
}

}  // namespace

void SetReplaceStepHook(ReplaceStepHook hook) {
  Hook() = std::move(hook);
}

ReplacingFile::ReplacingFile(fs::path target) : target_(Resolve(target)) {}

ReplacingFile::~ReplacingFile() {
  Discard();
}

bool ReplacingFile::Open(std::string& why) {
  Discard();
  error_ = 0;
  if (std::string problem = Problem(target_); !problem.empty()) {
    why = std::move(problem);
    return false;
  }
  struct stat st {};
  if (::stat(target_.c_str(), &st) == 0 && S_ISCHR(st.st_mode)) {
    // /dev/null, /dev/full: a device takes the bytes as they come.
    fd_ = ::open(target_.c_str(), O_WRONLY | O_NOCTTY | O_CLOEXEC);
    if (fd_ < 0) {
      why = Reason(errno);
      return false;
    }
    temp_.clear();
    return true;
  }
  const std::string name = target_.filename().string() + ".tmp~";
  int error = 0;
  for (int n = 1; n <= 100; ++n) {
    const fs::path candidate = Candidate(target_.parent_path(), name, n);
    fd_ = CreateLocked(candidate, error);
    if (fd_ >= 0) {
      temp_ = candidate;
      return true;
    }
    if (error != EEXIST) break;
  }
  why = Reason(error);
  return false;
}

void ReplacingFile::Write(std::string_view bytes) {
  if (fd_ < 0 || error_ != 0) return;
  if ((error_ = Injected(ReplaceStep::Write, temp_)) != 0) return;
  while (!bytes.empty()) {
    const ssize_t n = ::write(fd_, bytes.data(), bytes.size());
    if (n < 0) {
      if (errno == EINTR) continue;
      error_ = errno;
      return;
    }
    bytes.remove_prefix(static_cast<size_t>(n));
  }
}

bool ReplacingFile::Commit(std::string& why, const fs::path& keepAs) {
  if (fd_ < 0) {
    why = Reason(EBADF);
    return false;
  }
  int error = error_;
  if (temp_.empty()) {
    ::close(fd_);
    fd_ = -1;
    why = error != 0 ? Reason(error) : std::string();
    return error == 0;
  }
  struct stat old {};
  const bool existed = ::stat(target_.c_str(), &old) == 0 && S_ISREG(old.st_mode);
  if (error == 0 && existed) {
    // The file keeps who may read it; its owner and group only where the system lets us.
    if (::fchown(fd_, ::geteuid() == 0 ? old.st_uid : static_cast<uid_t>(-1), old.st_gid) != 0) {
    }
    ::fchmod(fd_, old.st_mode & 07777);
  }
  if (error == 0) error = Injected(ReplaceStep::Sync, temp_);
  if (error == 0) {
    while (::fsync(fd_) != 0) {
      if (errno == EINTR) continue;
      error = errno;
      break;
    }
  }
  // The backup is taken only once the new bytes are safe; failing that, the save goes on
  // without it, as it always has.
  if (error == 0 && existed && !keepAs.empty() && keepAs != target_) Keep(target_, keepAs);
  if (error == 0) error = Injected(ReplaceStep::Rename, target_);
  if (error == 0 && ::rename(temp_.c_str(), target_.c_str()) != 0) error = errno;
  if (error != 0) {
    Discard();
    why = Reason(error);
    return false;
  }
  ::close(fd_);
  fd_ = -1;
  SyncFolder(target_.parent_path());
  return true;
}

void ReplacingFile::Discard() {
  if (fd_ < 0) return;
  // Still locked: nobody took the name from us.
  if (!temp_.empty()) ::unlink(temp_.c_str());
  ::close(fd_);
  fd_ = -1;
}

std::string ReplaceFileWith(const fs::path& path, std::string_view bytes, const fs::path& keepAs) {
  ReplacingFile file(path);
  std::string why;
  if (!file.Open(why)) return why;
  file.Write(bytes);
  if (!file.Commit(why, keepAs)) return why;
  return {};
}

std::string ReplaceProblem(const fs::path& path) {
  ReplacingFile file(path);
  std::string why;
  if (!file.Open(why)) return why;
  return {};
}

}  // namespace kavex
