#include "ulvo/platform/qt_serial_device.h"

#include <QSerialPort>
#include <QSerialPortInfo>
#include <algorithm>
#include <thread>

namespace ulvo {

namespace {

using Clock = std::chrono::steady_clock;

int MillisecondsUntil(Clock::time_point t) {
  const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(t - Clock::now());
  return static_cast<int>(std::max<long long>(left.count(), 1));
}

// Waits for all queued bytes to leave Qt's write buffer, at most until `deadline`.
bool DrainUntil(QSerialPort& port, Clock::time_point deadline) {
  while (port.bytesToWrite() > 0) {
    if (Clock::now() >= deadline) return false;
    if (!port.waitForBytesWritten(MillisecondsUntil(deadline)) &&
        port.error() != QSerialPort::NoError && port.error() != QSerialPort::TimeoutError)
      return false;
  }
  return true;
}

}  // namespace

QtSerialDevice::QtSerialDevice() = default;
QtSerialDevice::~QtSerialDevice() {
  Close();
}

OpenResult QtSerialDevice::Open(const std::string& portName, const PortSettings& settings) {
  Close();
  port_ = std::make_unique<QSerialPort>();
  port_->setPortName(QString::fromStdString(portName));
  // The driver's own input queue, as a real port would have; Qt would otherwise buffer
  // without limit whatever the instrument sends.
  port_->setReadBufferSize(2048);
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
  if (!IsOpen()) return -1;
  const bool noWait =
      timeouts_.interval == 0xFFFFFFFF && timeouts_.multiplier == 0 && timeouts_.constant == 0;
  const auto deadline = Clock::now() + TotalReadWait(timeouts_, max);
  auto lastByte = Clock::now();
  size_t got = 0;
  while (got < max) {
    if (port_->bytesAvailable() > 0) {
      const QByteArray bytes = port_->read(static_cast<qint64>(max - got));
      out.append(bytes.constData(), static_cast<size_t>(bytes.size()));
      got += static_cast<size_t>(bytes.size());
      lastByte = Clock::now();
      continue;
    }
    if (noWait) break;
    auto limit = deadline;
    if (got > 0 && timeouts_.interval > 0)
      limit = std::min(limit, lastByte + std::chrono::milliseconds(timeouts_.interval));
    const auto now = Clock::now();
    if (now >= limit) break;
    if (got > 0 && baud_ > 0) {
      // Once bytes flow, sleep for the time the missing ones need on the line (at most half
      // the interval) instead of waking for every single byte.
      // Waking two byte-times early lets the port's own wait meet the last bytes.
      const long long missing = static_cast<long long>(max - got) - 2;
      auto nap = std::chrono::microseconds(std::max(missing, 0LL) * 10'000'000LL / baud_);
      if (timeouts_.interval > 0)
        nap = std::min<std::chrono::microseconds>(
            nap, std::chrono::milliseconds(timeouts_.interval) / 2);
      nap = std::min<std::chrono::microseconds>(
          nap, std::chrono::duration_cast<std::chrono::microseconds>(limit - now));
      if (nap >= std::chrono::milliseconds(2)) std::this_thread::sleep_for(nap);
    }
    if (!port_->waitForReadyRead(MillisecondsUntil(limit))) {
      const auto error = port_->error();
      if (error == QSerialPort::TimeoutError || error == QSerialPort::NoError) {
        port_->clearError();
        continue;
      }
      if (got == 0) return -1;
      break;
    }
  }
  return static_cast<long>(got);
}

bool QtSerialDevice::Write(std::string_view bytes, std::chrono::milliseconds timeout) {
  if (!IsOpen()) return false;
  const auto deadline = Clock::now() + timeout;
  const qint64 n = port_->write(bytes.data(), static_cast<qint64>(bytes.size()));
  if (n != static_cast<qint64>(bytes.size())) return false;
  return DrainUntil(*port_, deadline);
}

bool QtSerialDevice::WaitTransmitEmpty(std::chrono::milliseconds timeout) {
  return IsOpen() && DrainUntil(*port_, Clock::now() + timeout);
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
