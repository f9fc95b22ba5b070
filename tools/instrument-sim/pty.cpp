#include "pty.h"

#include <fcntl.h>
#include <poll.h>
#include <termios.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <thread>

namespace sim {

Pty::Pty() {
  fd_ = posix_openpt(O_RDWR | O_NOCTTY);
  if (fd_ < 0 || grantpt(fd_) != 0 || unlockpt(fd_) != 0) {
    error_ = std::string("cannot open a pseudo-terminal: ") + std::strerror(errno);
    if (fd_ >= 0) close(fd_);
    fd_ = -1;
    return;
  }
  path_ = ptsname(fd_);
  keepSlave_ = open(path_.c_str(), O_RDWR | O_NOCTTY);
  if (keepSlave_ >= 0) {
    termios tio{};
    tcgetattr(keepSlave_, &tio);
    cfmakeraw(&tio);
    tcsetattr(keepSlave_, TCSANOW, &tio);
  }
}

Pty::~Pty() {
  if (keepSlave_ >= 0) close(keepSlave_);
  if (fd_ >= 0) close(fd_);
}

bool Pty::Write(const std::string& bytes) {
  using namespace std::chrono;
  const auto start = steady_clock::now();
  for (size_t i = 0; i < bytes.size(); ++i) {
    if (baud_ > 0) {
      // Byte i may leave once i byte-times have passed since the first.
      const auto due = start + microseconds(static_cast<long long>(i) * 10'000'000LL / baud_);
      std::this_thread::sleep_until(due);
    }
    for (;;) {
      const ssize_t n = write(fd_, bytes.data() + i, 1);
      if (n == 1) break;
      if (n < 0 && errno == EINTR) continue;
      if (n < 0 && errno == EAGAIN) {
        pollfd p{fd_, POLLOUT, 0};
        poll(&p, 1, 100);
        continue;
      }
      return false;
    }
  }
  if (baud_ > 0) {
    const auto done =
        start + microseconds(static_cast<long long>(bytes.size()) * 10'000'000LL / baud_);
    std::this_thread::sleep_until(done);
  }
  return true;
}

int Pty::ReadByte(std::chrono::milliseconds timeout) {
  pollfd p{fd_, POLLIN, 0};
  const int r = poll(&p, 1, static_cast<int>(timeout.count()));
  if (r <= 0 || !(p.revents & POLLIN)) return -1;
  unsigned char c = 0;
  const ssize_t n = read(fd_, &c, 1);
  return n == 1 ? c : -1;
}

}  // namespace sim
