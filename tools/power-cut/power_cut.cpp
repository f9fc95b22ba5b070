#include "power_cut.h"

#include <fcntl.h>
#include <linux/fs.h>
#include <linux/loop.h>
#include <spawn.h>
#include <sys/ioctl.h>
#include <sys/mount.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <sstream>
#include <system_error>
#include <vector>

extern char** environ;

namespace fs = std::filesystem;

namespace powercut {
namespace {

#ifndef FS_IOC_SHUTDOWN
#define FS_IOC_SHUTDOWN _IOR('X', 125, __u32)
#endif
#ifndef FS_GOING_DOWN_NOLOGFLUSH
#define FS_GOING_DOWN_NOLOGFLUSH 0x2
#endif

constexpr off_t kImageBytes = off_t{64} << 20;

std::string Errno(const std::string& what) {
  return what + ": " + std::strerror(errno);
}

// Runs a program quietly; its exit status, -1 when it could not run.
int Run(std::vector<std::string> argv) {
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_addopen(&actions, 1, "/dev/null", O_WRONLY, 0);
  posix_spawn_file_actions_addopen(&actions, 2, "/dev/null", O_WRONLY, 0);
  std::vector<char*> args;
  for (auto& a : argv) args.push_back(a.data());
  args.push_back(nullptr);
  pid_t pid = -1;
  const int rc = posix_spawnp(&pid, args[0], &actions, nullptr, args.data(), environ);
  posix_spawn_file_actions_destroy(&actions);
  if (rc != 0) return -1;
  int status = 0;
  while (waitpid(pid, &status, 0) < 0 && errno == EINTR) {
  }
  return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

}  // namespace

Volume::Volume(std::string mountOptions) : options_(std::move(mountOptions)) {
  if (geteuid() != 0) {
    problem_ = "not root: mounting a loop device needs it";
    return;
  }
  if (access("/dev/loop-control", R_OK | W_OK) != 0) {
    problem_ = Errno("/dev/loop-control");
    return;
  }
  char pattern[] = "/tmp/power-cut-XXXXXX";
  if (!mkdtemp(pattern)) {
    problem_ = Errno("mkdtemp");
    return;
  }
  work_ = pattern;
  image_ = work_ / "disk.img";
  dir_ = work_ / "mnt";
  fs::create_directories(dir_);
  {
    const int fd = open(image_.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0600);
    if (fd < 0 || ftruncate(fd, kImageBytes) != 0) {
      problem_ = Errno(image_.string());
      if (fd >= 0) close(fd);
      return;
    }
    close(fd);
  }
  if (Run({"mkfs.ext4", "-q", "-F", image_.string()}) != 0) {
    problem_ = "mkfs.ext4 could not make the file system (is e2fsprogs installed?)";
    return;
  }
  std::string why;
  if (!Attach(why) || !Mount(why)) problem_ = why;
}

Volume::~Volume() {
  if (mounted_) umount2(dir_.c_str(), MNT_DETACH);
  Detach();
  std::error_code ec;
  if (!work_.empty()) fs::remove_all(work_, ec);
}

bool Volume::Attach(std::string& why) {
  const int control = open("/dev/loop-control", O_RDWR | O_CLOEXEC);
  if (control < 0) {
    why = Errno("/dev/loop-control");
    return false;
  }
  const int image = open(image_.c_str(), O_RDWR | O_CLOEXEC);
  for (int attempt = 0; attempt < 8 && image >= 0; ++attempt) {
    const int n = ioctl(control, LOOP_CTL_GET_FREE);
    if (n < 0) break;
    device_ = "/dev/loop" + std::to_string(n);
    loopFd_ = open(device_.c_str(), O_RDWR | O_CLOEXEC);
    if (loopFd_ < 0) break;
    if (ioctl(loopFd_, LOOP_SET_FD, image) == 0) {
      close(image);
      close(control);
      return true;
    }
    // Taken by someone else between the two calls: ask again.
    close(loopFd_);
    loopFd_ = -1;
  }
  why = Errno(device_.empty() ? std::string("loop device") : device_);
  if (image >= 0) close(image);
  close(control);
  return false;
}

void Volume::Detach() {
  if (loopFd_ < 0) return;
  ioctl(loopFd_, LOOP_CLR_FD, 0);
  close(loopFd_);
  loopFd_ = -1;
}

bool Volume::Mount(std::string& why) {
  if (mount(device_.c_str(), dir_.c_str(), "ext4", 0,
            options_.empty() ? nullptr : options_.c_str()) != 0) {
    why = Errno("mount " + device_);
    return false;
  }
  mounted_ = true;
  return true;
}

void Volume::Settle() {
  const int fd = open(dir_.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (fd < 0) return;
  syncfs(fd);
  close(fd);
}

bool Volume::CutAndRemount(std::string& why) {
  const int fd = open(dir_.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (fd < 0) {
    why = Errno(dir_.string());
    return false;
  }
  __u32 flag = FS_GOING_DOWN_NOLOGFLUSH;
  const bool shut = ioctl(fd, FS_IOC_SHUTDOWN, &flag) == 0;
  if (!shut) why = Errno("FS_IOC_SHUTDOWN");
  close(fd);
  if (!shut) return false;
  // A process of the test may still hold a file there for a moment.
  for (int i = 0; umount2(dir_.c_str(), 0) != 0; ++i) {
    if (errno != EBUSY || i == 50) {
      why = Errno("umount");
      return false;
    }
    usleep(100000);
  }
  mounted_ = false;
  Detach();
  return Attach(why) && Mount(why);
}

const char* OutcomeName(Outcome outcome) {
  switch (outcome) {
    case Outcome::Old:
      return "old";
    case Outcome::New:
      return "new";
    case Outcome::Lost:
      return "lost";
  }
  return "lost";
}

std::string ReadBytes(const fs::path& file) {
  std::ifstream in(file, std::ios::binary);
  std::stringstream s;
  s << in.rdbuf();
  return s.str();
}

void WriteBytes(const fs::path& file, const std::string& bytes) {
  std::ofstream(file, std::ios::binary | std::ios::trunc) << bytes;
}

Outcome Judge(const fs::path& file, bool oldExisted, const std::string& oldBytes,
              const std::string& newBytes) {
  std::error_code ec;
  if (!fs::is_regular_file(file, ec)) return Outcome::Lost;
  const std::string bytes = ReadBytes(file);
  if (bytes == newBytes) return Outcome::New;
  if (oldExisted && bytes == oldBytes) return Outcome::Old;
  return Outcome::Lost;
}

std::vector<int> Moments(std::vector<int> def) {
  const char* given = std::getenv("POWER_CUT_MOMENTS");
  if (!given || !*given) return def;
  std::vector<int> moments;
  std::stringstream list(given);
  for (std::string item; std::getline(list, item, ',');) moments.push_back(std::atoi(item.c_str()));
  return moments;
}

}  // namespace powercut
