#include "kavex/platform/qt_serial_device.h"

#include <QDeadlineTimer>

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
  if (!port_.isOpen()) return -1;
  QDeadlineTimer deadline(timeout.count());
  while (input_.empty()) {
    if (port_.bytesAvailable() == 0) {
      const qint64 left = deadline.remainingTime();
      if (left <= 0) return -1;
      if (!port_.waitForReadyRead(static_cast<int>(left))) {
        // A time-out ends the read; any other failure (device gone) too.
        if (port_.bytesAvailable() == 0) return -1;
      }
    }
    if (!Absorb()) return -1;
  }
  const auto c = static_cast<unsigned char>(input_.front());
  input_.erase(0, 1);
  return c;
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
  return true;
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
