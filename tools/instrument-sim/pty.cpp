#include "pty.h"

#include <fcntl.h>
#include <poll.h>
#include <sys/prctl.h>
#include <termios.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <thread>

namespace sim {

namespace {

using namespace std::chrono;

// A UART's receive FIFO hands bytes on in pieces: at its trigger level of 8 bytes, and at
// high rates no more often than every millisecond.
constexpr size_t kPieceBytes = 8;
constexpr microseconds kPiece{1000};
// The most a record's last byte is sent ahead of its instant to make up for waking late.
constexpr microseconds kMaxLead{300};

unsigned BaudOf(speed_t speed) {
  static const struct {
    speed_t code;
    unsigned baud;
  } kSpeeds[] = {{B50, 50},         {B75, 75},         {B110, 110},       {B134, 134},
                 {B150, 150},       {B200, 200},       {B300, 300},       {B600, 600},
                 {B1200, 1200},     {B1800, 1800},     {B2400, 2400},     {B4800, 4800},
                 {B9600, 9600},     {B19200, 19200},   {B38400, 38400},   {B57600, 57600},
                 {B115200, 115200}, {B230400, 230400}, {B460800, 460800}, {B921600, 921600}};
  for (const auto& s : kSpeeds)
    if (s.code == speed) return s.baud;
  return 9600;
}

int64_t SteadyNs(steady_clock::time_point t) {
  return duration_cast<nanoseconds>(t.time_since_epoch()).count();
}

}  // namespace

std::string Pacing::Report() const {
  char text[256];
  std::snprintf(text, sizeof text,
                "bytes %zu writes %zu line-ns %lld send-ns %lld max-late-ns %lld "
                "turnaround-ns %lld first-write-ns %lld last-write-ns %lld",
                bytes, writes, static_cast<long long>(lineTime.count()),
                static_cast<long long>(sendTime.count()), static_cast<long long>(maxLate.count()),
                static_cast<long long>(turnaround.count()), static_cast<long long>(firstWriteNs),
                static_cast<long long>(lastWriteNs));
  return text;
}

Pty::Pty() {
  // Sleeps end when asked, not up to 50 us later: the pacing is measured against the line.
  prctl(PR_SET_TIMERSLACK, 1UL, 0UL, 0UL, 0UL);
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

bool Pty::WriteNow(const char* data, size_t size) {
  while (size > 0) {
    const ssize_t n = write(fd_, data, size);
    if (n > 0) {
      data += n;
      size -= static_cast<size_t>(n);
      continue;
    }
    if (n < 0 && errno == EINTR) continue;
    if (n < 0 && errno == EAGAIN) {
      pollfd p{fd_, POLLOUT, 0};
      poll(&p, 1, 100);
      continue;
    }
    return false;
  }
  return true;
}

bool Pty::Write(const std::string& bytes) {
  unsigned baud = baud_;
  if (line_) {
    // Settings that agree pass the bytes as they are, at the pace they always had.
    const LineFrame& l = *line_;
    const bool agree = PortReceiver().frame.baud == l.baud && l.dataBits == 8 &&
                       l.parity == LineParity::kNone && l.stopBits == 1;
    if (!agree) return WriteReceived(bytes);
    baud = l.baud;
  }
  if (baud == 0) return WriteNow(bytes.data(), bytes.size());
  if (bytes.empty()) return true;
  const auto start = steady_clock::now();
  if (lastRead_ > lastWriteEnd_) pacing_.turnaround += start - lastRead_;
  const steady_clock::duration byteTime = nanoseconds(10'000'000'000LL / baud);
  const size_t n = bytes.size();
  // Byte i is whole on the line (stop bit included) at start + (i + 1) byte times.
  const auto due = [&](size_t i) -> steady_clock::time_point {
    return start + byteTime * static_cast<long>(i + 1);
  };
  size_t sent = 0;
  while (sent < n) {
    const auto now = steady_clock::now();
    const size_t ready = std::min<size_t>(n, static_cast<size_t>((now - start) / byteTime));
    if (ready > sent) {
      if (!WriteNow(bytes.data() + sent, ready - sent)) return false;
      sent = ready;
      continue;
    }
    const steady_clock::time_point wake = std::max<steady_clock::time_point>(
        due(std::min(n - 1, sent + kPieceBytes - 1)), now + kPiece);
    if (wake < due(n - 1)) {
      std::this_thread::sleep_until(wake);
    } else {
      // The last byte: aim early by what waking up has been taking, so it goes out on time.
      std::this_thread::sleep_until(due(n - 1) - lead_);
      if (!WriteNow(bytes.data() + sent, n - sent)) return false;
      sent = n;
    }
  }
  Account(start, n, byteTime * static_cast<long>(n), due(n - 1));
  const steady_clock::duration late = lastWriteEnd_ - due(n - 1);
  lead_ = std::clamp<steady_clock::duration>(lead_ + late / 4, steady_clock::duration(0), kMaxLead);
  return true;
}

void Pty::Account(steady_clock::time_point start, size_t n, steady_clock::duration lineTime,
                  steady_clock::time_point due) {
  const auto end = steady_clock::now();
  if (pacing_.firstWriteNs < 0) pacing_.firstWriteNs = SteadyNs(start);
  pacing_.lastWriteNs = SteadyNs(end);
  pacing_.bytes += n;
  ++pacing_.writes;
  pacing_.lineTime += lineTime;
  pacing_.sendTime += end - start;
  pacing_.maxLate = std::max<steady_clock::duration>(pacing_.maxLate, end - due);
  lastWriteEnd_ = end;
}

bool Pty::WriteReceived(const std::string& bytes) {
  if (bytes.empty()) return true;
  const auto start = steady_clock::now();
  if (lastRead_ > lastWriteEnd_) pacing_.turnaround += start - lastRead_;
  LineReceiver port = PortReceiver();
  std::vector<ReceivedByte> rx = ReceiveLine(*line_, bytes, port);
  const auto lineEnd = start + LineTime(*line_, bytes.size());
  size_t sent = 0;
  std::string piece;
  for (;;) {
    const auto now = steady_clock::now();
    const LineReceiver current = PortReceiver();
    if (!(current == port)) {
      // The program set the port otherwise: its receiver starts over, hunting from here.
      port = current;
      const std::vector<ReceivedByte> fresh = ReceiveLine(*line_, bytes, port, now - start);
      rx.resize(sent);
      rx.insert(rx.end(), fresh.begin(), fresh.end());
    }
    piece.clear();
    while (sent < rx.size() && start + rx[sent].at <= now)
      piece.push_back(static_cast<char>(rx[sent++].byte));
    if (!piece.empty() && !WriteNow(piece.data(), piece.size())) return false;
    if (sent == rx.size() && now >= lineEnd) break;
    // The instrument's UART is busy until its last bit is out, whatever the receiver kept.
    steady_clock::time_point wake = lineEnd;
    if (sent < rx.size()) {
      const auto gathered = start + rx[std::min(rx.size() - 1, sent + kPieceBytes - 1)].at;
      wake = std::min(std::max(gathered, now + kPiece), start + rx.back().at);
    }
    std::this_thread::sleep_until(wake);
  }
  Account(start, bytes.size(), LineTime(*line_, bytes.size()), lineEnd);
  return true;
}

LineReceiver Pty::PortReceiver() const {
  termios tio{};
  LineReceiver r;
  if (tcgetattr(fd_, &tio) != 0) return r;
  speed_t speed = cfgetispeed(&tio);
  if (speed == B0) speed = cfgetospeed(&tio);
  r.frame.baud = BaudOf(speed);
  // All a pseudo-terminal can be: 8 data bits, no parity.
  r.frame.dataBits = 8;
  r.frame.parity = LineParity::kNone;
  r.frame.stopBits = (tio.c_cflag & CSTOPB) ? 2 : 1;
  r.ignoreErrors = (tio.c_iflag & IGNPAR) != 0;
  r.markErrors = (tio.c_iflag & PARMRK) != 0;
  r.ignoreBreak = (tio.c_iflag & IGNBRK) != 0;
  return r;
}

int Pty::ReadByte(std::chrono::milliseconds timeout) {
  const auto until = steady_clock::now() + timeout;
  while (inbound_.empty()) {
    const auto left = duration_cast<milliseconds>(until - steady_clock::now());
    pollfd p{fd_, POLLIN, 0};
    const int r = poll(&p, 1, static_cast<int>(std::max<long long>(0, left.count())));
    if (r <= 0 || !(p.revents & POLLIN)) return -1;
    // Everything there at once: a byte per call would keep a fast line waiting.
    char buf[4096];
    const ssize_t n = read(fd_, buf, sizeof buf);
    if (n <= 0) return -1;
    inbound_.assign(buf, static_cast<size_t>(n));
    next_ = 0;
    lastRead_ = steady_clock::now();
    if (line_) {
      // What the program sent at its settings, as the instrument's receiver makes it out; a
      // character in error is dropped.
      const LineReceiver port = PortReceiver();
      const LineReceiver instrument{*line_, true, false, true};
      if (!(port.frame == instrument.frame))
        inbound_ = ReceivedBytes(port.frame, inbound_, instrument);
    }
  }
  const auto c = static_cast<unsigned char>(inbound_[next_++]);
  if (next_ == inbound_.size()) inbound_.clear();
  return c;
}

}  // namespace sim
