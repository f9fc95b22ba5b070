#include "kavex/platform/qt_serial_device.h"

#include <algorithm>
#include <chrono>
#include <limits>
#include <thread>

#include "kavex/comm/gathering_read.h"

#if defined(Q_OS_UNIX)
#include <poll.h>
#include <sys/ioctl.h>
#endif

namespace kavex {
namespace {

constexpr char kXon = 0x11;
constexpr char kXoffByte = 0x13;
// The write time-out: a constant plus a few milliseconds per byte.
constexpr int kWriteConstantMs = 5000;
constexpr int kWritePerByteMs = 5;
constexpr qint64 kReadBufferBytes = 64 * 1024;

}  // namespace

bool QtSerialDevice::Open(const std::string& name) {
  if (port_.isOpen()) port_.close();
  input_.clear();
  paused_ = false;
  emptiedAt_ = {};
  port_.setPortName(QString::fromStdString(name));
  pseudoTerminal_ = name.rfind("/dev/pts/", 0) == 0;
  // A flooding device fills this buffer and then the driver's, never our memory.
  port_.setReadBufferSize(kReadBufferBytes);
  lastError_.clear();
  if (port_.open(QIODevice::ReadWrite)) return true;
  lastError_ = port_.errorString().toStdString();
  return false;
}

bool QtSerialDevice::QueryState() {
  return port_.isOpen() && port_.error() == QSerialPort::NoError;
}

bool QtSerialDevice::Configure(const LineSettings& s) {
  if (!port_.isOpen()) return false;
  const auto parity = s.parity == 1   ? QSerialPort::EvenParity
                      : s.parity == 2 ? QSerialPort::OddParity
                                      : QSerialPort::NoParity;
  bool ok = port_.setBaudRate(s.baud) &&
            port_.setStopBits(s.stopBits == 2 ? QSerialPort::TwoStop : QSerialPort::OneStop) &&
            port_.setFlowControl(QSerialPort::NoFlowControl);
  // A pseudo-terminal has no character frame and refuses 7 bits and parity; the 7-bit
  // line is then emulated by dropping the eighth bit of what arrives.
  const bool framed =
      port_.setDataBits(s.dataBits == 7 ? QSerialPort::Data7 : QSerialPort::Data8) &&
      port_.setParity(parity);
  if (!framed && pseudoTerminal_) port_.clearError();
  ok = ok && (framed || pseudoTerminal_);
  settings_ = s;
  return ok;
}

bool QtSerialDevice::Absorb() {
  if (port_.error() != QSerialPort::NoError && port_.error() != QSerialPort::TimeoutError)
    return false;
  const QByteArray data = port_.readAll();
  for (const char c : data) {
    if (settings_.xonXoffOutput && c == kXoffByte) {
      paused_ = true;
      continue;
    }
    if (c == kXon) paused_ = false;
    input_.push_back(settings_.dataBits == 7 ? static_cast<char>(c & 0x7F) : c);
  }
  return true;
}

int QtSerialDevice::ReadByte(std::chrono::milliseconds timeout) {
  const size_t more = expected_;
  expected_ = 1;
  if (!port_.isOpen()) return -1;
  // The port as one byte's read sees it: input_ first, then what the port has.
  class Source final : public ByteSource {
   public:
    explicit Source(QtSerialDevice& device) : d_(device) {}
    int TakeByte() override {
      if (d_.input_.empty() && d_.port_.bytesAvailable() > 0 && !d_.Absorb()) failed_ = true;
      if (d_.input_.empty()) return -1;
      const auto c = static_cast<unsigned char>(d_.input_.front());
      d_.input_.erase(0, 1);
      return c;
    }
    size_t Buffered() const override {
      return d_.input_.size() + static_cast<size_t>(d_.port_.bytesAvailable());
    }
    Wait WaitReadable(Clock::TimePoint until) override {
      if (failed_) return Wait::kNone;
      if (d_.port_.bytesAvailable() > 0) return Wait::kPending;
      // Bytes there already may have come a while ago; asking costs a system call before
      // every wait, needless when the driver was seen empty a moment ago.
      if (!d_.SeenEmptyJustNow() && d_.ReceivedUnread()) {
        const bool read = d_.port_.waitForReadyRead(0);
        d_.NoteRead(read);
        if (read || d_.port_.bytesAvailable() > 0) return Wait::kPending;
        if (d_.port_.error() != QSerialPort::NoError &&
            d_.port_.error() != QSerialPort::TimeoutError)
          return Wait::kNone;
      }
      while (d_.port_.bytesAvailable() == 0) {
        const auto left =
            std::chrono::duration_cast<std::chrono::milliseconds>(until - d_.clock_.Now());
        if (left.count() <= 0) return Wait::kNone;
        // A time-out ends the read; any other failure (device gone) too.
        const bool read = d_.port_.waitForReadyRead(static_cast<int>(left.count()));
        d_.NoteRead(read);
        if (!read && d_.port_.bytesAvailable() == 0) return Wait::kNone;
      }
      return Wait::kArrived;
    }

   private:
    QtSerialDevice& d_;
    bool failed_ = false;
  } source(*this);
  return ReadByteGathering(source, clock_, timeout, more, CharTime());
}

bool QtSerialDevice::ReceivedUnread() {
#if defined(Q_OS_UNIX)
  pollfd p{static_cast<int>(port_.handle()), POLLIN, 0};
  const bool unread = poll(&p, 1, 0) > 0 && (p.revents & POLLIN) != 0;
  if (!unread) emptiedAt_ = clock_.Now();
  return unread;
#else
  return false;
#endif
}

bool QtSerialDevice::SeenEmptyJustNow() {
  const std::chrono::microseconds fresh = CharTime() / 2;
  return emptiedAt_ != Clock::TimePoint{} && fresh.count() > 0 && clock_.Now() - emptiedAt_ < fresh;
}

void QtSerialDevice::NoteRead(bool read) {
  if (!read || port_.bytesAvailable() < kReadBufferBytes) emptiedAt_ = clock_.Now();
}

std::chrono::microseconds QtSerialDevice::CharTime() const {
  // Start bit, data bits, parity, stop bits.
  const int bits = 1 + settings_.dataBits + (settings_.parity != 0 ? 1 : 0) + settings_.stopBits;
  return std::chrono::microseconds(static_cast<long long>(bits) * 1'000'000 /
                                   std::max(settings_.baud, 1));
}

bool QtSerialDevice::Write(const std::string& bytes) {
  if (!port_.isOpen()) return false;
  QDeadlineTimer deadline(kWriteConstantMs + kWritePerByteMs * static_cast<qint64>(bytes.size()));
  if (port_.bytesAvailable() > 0 || port_.waitForReadyRead(0)) Absorb();
  while (paused_ && settings_.xonXoffOutput) {
    const qint64 left = deadline.remainingTime();
    if (left <= 0) return false;
    if (port_.waitForReadyRead(static_cast<int>(left))) Absorb();
  }
  if (port_.write(bytes.data(), static_cast<qint64>(bytes.size())) !=
      static_cast<qint64>(bytes.size()))
    return false;
  while (port_.bytesToWrite() > 0) {
    const qint64 left = deadline.remainingTime();
    if (left <= 0 || !port_.waitForBytesWritten(static_cast<int>(left))) return false;
  }
  return WaitLineIdle(deadline);
}

bool QtSerialDevice::WaitLineIdle(const QDeadlineTimer& deadline) {
#if defined(Q_OS_UNIX)
  // A write is over when its bytes are on the line: the block interval and the answer's
  // time-out are measured from then. The driver holds what it has not sent yet; sleep for
  // the time that needs.
  // A queue that stops moving (the line held back) is looked at less often, up to 50 ms.
  using std::chrono::microseconds;
  const microseconds charTime = CharTime();
  microseconds held{0};
  int before = std::numeric_limits<int>::max();
  for (;;) {
    int queued = 0;
    if (ioctl(static_cast<int>(port_.handle()), TIOCOUTQ, &queued) != 0 || queued <= 0) return true;
    const qint64 left = deadline.remainingTime();
    if (left <= 0) return false;
    held = queued < before
               ? microseconds(0)
               : std::min<microseconds>(std::max<microseconds>(2 * held, microseconds(1000)),
                                        microseconds(50000));
    before = queued;
    std::this_thread::sleep_for(
        std::min<microseconds>(charTime * queued + held, std::chrono::milliseconds(left)));
  }
#else
  (void)deadline;
  return true;
#endif
}

void QtSerialDevice::PurgeInput() {
  input_.clear();
  if (port_.isOpen()) port_.clear(QSerialPort::Input);
}

void QtSerialDevice::Close() {
  if (port_.isOpen()) port_.close();
  input_.clear();
  paused_ = false;
}

}  // namespace kavex
