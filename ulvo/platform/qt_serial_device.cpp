#include "ulvo/platform/qt_serial_device.h"

#include <QSerialPort>
#include <QSerialPortInfo>
#include <algorithm>
#include <limits>
#include <thread>

#include "ulvo/transfer/timed_read.h"

#if defined(Q_OS_UNIX)
#include <poll.h>
#include <sys/ioctl.h>
#include <unistd.h>

#include <cerrno>
#endif

namespace ulvo {

namespace {

using namespace std::chrono_literals;
using Steady = std::chrono::steady_clock;

int MillisecondsUntil(Steady::time_point t) {
  const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(t - Steady::now());
  return static_cast<int>(std::max<long long>(left.count(), 1));
}

// Waits for all queued bytes to leave Qt's write buffer and then the driver's, at most until
// `deadline`: a write is over when its bytes are on the line, and the waits that follow it
// (an answer's time-outs) are measured from then. Sleeps for the time the queued bytes need.
bool DrainUntil(QSerialPort& port, uint32_t baud, Steady::time_point deadline) {
  while (port.bytesToWrite() > 0) {
    if (Steady::now() >= deadline) return false;
    if (!port.waitForBytesWritten(MillisecondsUntil(deadline)) &&
        port.error() != QSerialPort::NoError && port.error() != QSerialPort::TimeoutError)
      return false;
  }
#if defined(Q_OS_UNIX)
  const auto byteTime = std::chrono::microseconds(baud > 0 ? 10'000'000 / baud : 100);
  // Held back by XOFF the queue stops moving: then wait longer each time, up to 50 ms.
  Steady::duration held{0};
  int before = std::numeric_limits<int>::max();
  for (;;) {
    int queued = 0;
    if (ioctl(port.handle(), TIOCOUTQ, &queued) != 0 || queued <= 0) return true;
    const auto now = Steady::now();
    if (now >= deadline) return false;
    held = queued < before
               ? Steady::duration(0)
               : std::min<Steady::duration>(std::max<Steady::duration>(2 * held, 1ms), 50ms);
    before = queued;
    std::this_thread::sleep_for(
        std::min<Steady::duration>(byteTime * queued + held, deadline - now));
  }
#else
  (void)baud;
  return true;
#endif
}

// The driver's own input queue, as a real port would have; Qt would otherwise buffer without
// limit whatever the instrument sends.
constexpr qint64 kReadBuffer = 2048;

// The port as a read with time-outs sees it. `emptiedAt` is the last instant the driver was
// seen to hold no received byte; a byte found within `fresh` of it has only just come.
class PortSource : public ByteSource {
 public:
  PortSource(QSerialPort& port, Steady::time_point& emptiedAt, Steady::duration fresh)
      : port_(port), emptiedAt_(emptiedAt), fresh_(fresh) {}

  Wait WaitReadable(Clock::TimePoint until) override {
    if (port_.bytesAvailable() > 0) return Wait::kPending;
    // Bytes there already may have come a while ago; asking costs a system call before every
    // wait, needless when the driver was seen empty a moment ago.
    if (fresh_.count() <= 0 || Steady::now() - emptiedAt_ >= fresh_) {
      if (ReceivedUnread()) {
        const bool read = port_.waitForReadyRead(0);
        NoteRead(read);
        if (read || port_.bytesAvailable() > 0) return Wait::kPending;
        const auto error = port_.error();
        if (error != QSerialPort::TimeoutError && error != QSerialPort::NoError)
          return Wait::kFailed;
        port_.clearError();
      }
    }
    while (port_.bytesAvailable() == 0) {
      if (Steady::now() >= until) return Wait::kTimedOut;
      const bool read = port_.waitForReadyRead(MillisecondsUntil(until));
      NoteRead(read);
      if (read) continue;
      const auto error = port_.error();
      if (error != QSerialPort::TimeoutError && error != QSerialPort::NoError) return Wait::kFailed;
      port_.clearError();
    }
    return Wait::kArrived;
  }

  long Take(std::string& out, size_t max) override {
    if (port_.bytesAvailable() == 0) return 0;
    const QByteArray bytes = port_.read(static_cast<qint64>(max));
    out.append(bytes.constData(), static_cast<size_t>(bytes.size()));
    return static_cast<long>(bytes.size());
  }

  void Rest(Clock::TimePoint until) override { std::this_thread::sleep_until(until); }

 private:
  // Whether the driver holds received bytes not read yet (never waits).
  bool ReceivedUnread() {
#if defined(Q_OS_UNIX)
    pollfd p{static_cast<int>(port_.handle()), POLLIN, 0};
    const bool unread = poll(&p, 1, 0) > 0 && (p.revents & POLLIN) != 0;
    if (!unread) emptiedAt_ = Steady::now();
    return unread;
#else
    return false;
#endif
  }

  // After a wait for bytes: Qt reads all the driver holds unless its buffer fills first.
  void NoteRead(bool read) {
    if (!read || port_.bytesAvailable() < kReadBuffer) emptiedAt_ = Steady::now();
  }

  QSerialPort& port_;
  Steady::time_point& emptiedAt_;
  Steady::duration fresh_;
};

}  // namespace

QtSerialDevice::QtSerialDevice() = default;
QtSerialDevice::~QtSerialDevice() {
  Close();
}

OpenResult QtSerialDevice::Open(const std::string& portName, const PortSettings& settings) {
  Close();
  port_ = std::make_unique<QSerialPort>();
  port_->setPortName(QString::fromStdString(portName));
  port_->setReadBufferSize(kReadBuffer);
  emptiedAt_ = {};
  drained_ = false;
  if (!port_->open(QIODevice::ReadWrite)) {
    lastError_ = port_->errorString().toStdString();
    port_.reset();
    return OpenResult::kCannotOpen;
  }
  bool ok = true;
  if (settings.baudRate) ok &= port_->setBaudRate(static_cast<qint32>(*settings.baudRate));
  if (settings.parity) {
    static const QSerialPort::Parity kParity[] = {QSerialPort::NoParity, QSerialPort::OddParity,
                                                  QSerialPort::EvenParity, QSerialPort::MarkParity,
                                                  QSerialPort::SpaceParity};
    ok &= port_->setParity(kParity[static_cast<int>(*settings.parity)]);
  }
  if (settings.dataBits)
    ok &= port_->setDataBits(static_cast<QSerialPort::DataBits>(*settings.dataBits));
  if (settings.stopBits) {
    static const QSerialPort::StopBits kStop[] = {QSerialPort::OneStop, QSerialPort::OneAndHalfStop,
                                                  QSerialPort::TwoStop};
    ok &= port_->setStopBits(kStop[static_cast<int>(*settings.stopBits)]);
  }
  ok &= port_->setFlowControl(settings.xonXoff ? QSerialPort::SoftwareControl
                                               : QSerialPort::NoFlowControl);
  if (!ok) {
    lastError_ = port_->errorString().toStdString();
    Close();
    return OpenResult::kCannotSetState;
  }
  // DTR and RTS are raised for the handshakes and dropped otherwise. A pseudo-terminal has
  // no modem lines, so a refusal here is no reason to fail.
  baud_ = static_cast<uint32_t>(port_->baudRate());
  port_->setDataTerminalReady(settings.dtrHandshake);
  port_->setRequestToSend(settings.rtsHandshake);
  port_->clearError();
  return OpenResult::kOk;
}

bool QtSerialDevice::IsOpen() const {
  return port_ && port_->isOpen();
}

bool QtSerialDevice::SetTimeouts(const ReadTimeouts& timeouts) {
  timeouts_ = timeouts;
  return IsOpen();
}

bool QtSerialDevice::Purge() {
  return IsOpen() && port_->clear(QSerialPort::AllDirections);
}

long QtSerialDevice::Read(std::string& out, size_t max) {
  return ReadFrame(out, max, nullptr);
}

long QtSerialDevice::ReadFrame(std::string& out, size_t max, const FrameNeed& need) {
  if (!IsOpen()) return -1;
  // 10 bits a byte: the shortest a character can take, so a rest never outlasts a frame.
  const std::chrono::microseconds byteTime(baud_ > 0 ? 10'000'000 / baud_ : 0);
  PortSource source(*port_, emptiedAt_, byteTime / 2);
  const SteadyClock clock;
  return ReadWithTimeouts(source, clock, timeouts_, byteTime, out, max, need);
}

bool QtSerialDevice::Write(std::string_view bytes, std::chrono::milliseconds timeout) {
  if (!IsOpen()) return false;
  drained_ = false;
  const auto deadline = Steady::now() + timeout;
#if defined(Q_OS_UNIX)
  // With nothing queued in Qt the bytes go straight to the driver: through Qt an answer would
  // first wait for the port to be writable, a system call more before every ACK leaves.
  if (port_->bytesToWrite() == 0 && !bytes.empty()) {
    ssize_t put = 0;
    do {
      put = ::write(static_cast<int>(port_->handle()), bytes.data(), bytes.size());
    } while (put < 0 && errno == EINTR);
    if (put < 0 && errno != EAGAIN && errno != EWOULDBLOCK) return false;
    if (put > 0) bytes.remove_prefix(static_cast<size_t>(put));
  }
#endif
  // What the driver did not take waits in Qt's queue.
  if (!bytes.empty()) {
    const qint64 n = port_->write(bytes.data(), static_cast<qint64>(bytes.size()));
    if (n != static_cast<qint64>(bytes.size())) return false;
  }
  drained_ = DrainUntil(*port_, baud_, deadline);
  return drained_;
}

bool QtSerialDevice::WaitTransmitEmpty(std::chrono::milliseconds timeout) {
  if (!IsOpen()) return false;
  // Nothing written since the queue was last seen empty: it still is.
  if (!drained_) drained_ = DrainUntil(*port_, baud_, Steady::now() + timeout);
  return drained_;
}

bool QtSerialDevice::Close() {
  if (!port_) return true;
  const bool wasOpen = port_->isOpen();
  if (wasOpen) port_->close();
  const bool ok = !wasOpen || !port_->isOpen();
  port_.reset();
  return ok;
}

std::vector<std::string> QtPortProbe::CandidatePorts() const {
  std::vector<std::string> names;
  for (const QSerialPortInfo& info : QSerialPortInfo::availablePorts())
    names.push_back(info.systemLocation().toStdString());
  std::sort(names.begin(), names.end());
  return names;
}

PortProbe::Result QtPortProbe::Probe(const std::string& name) const {
  QSerialPort port;
  port.setPortName(QString::fromStdString(name));
  if (port.open(QIODevice::ReadWrite)) {
    port.close();
    return Result::kFree;
  }
  switch (port.error()) {
    case QSerialPort::PermissionError:
    case QSerialPort::OpenError:
      return Result::kInUse;
    default:
      return Result::kAbsent;
  }
}

}  // namespace ulvo
