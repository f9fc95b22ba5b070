#pragma once

#include <chrono>
#include <cstddef>
#include <string>

namespace kavex {

// Line settings applied when a transfer starts.
struct LineSettings {
  int baud = 9600;
  int dataBits = 8;           // 7 or 8
  int parity = 0;             // 0 none, 1 even, 2 odd
  int stopBits = 1;           // 1 or 2
  bool xonXoffOutput = true;  // stop sending at XOFF (0x13), go on at XON (0x11)

  bool operator==(const LineSettings&) const = default;
};

// One serial port as the protocols need it. The real one is QSerialPort; tests script an
// instrument; tracing and fault-injecting devices wrap any other.
class SerialDevice {
 public:
  virtual ~SerialDevice() = default;
  // Opens the named device for reading and writing, not shared. False when it cannot.
  virtual bool Open(const std::string& name) = 0;
  virtual bool IsOpen() const = 0;
  // Reads the port's present configuration; false when the port does not answer.
  virtual bool QueryState() = 0;
  // Applies the line settings; false when the port refuses them.
  virtual bool Configure(const LineSettings& settings) = 0;
  // Whether a read can wait a bounded time for a byte (a device that cannot is unusable).
  virtual bool SupportsReadTimeouts() const { return true; }
  // Clears a line error so that reading goes on.
  virtual void ClearError() {}
  // One byte, or -1 when none came within the time-out or reading failed.
  virtual int ReadByte(std::chrono::milliseconds timeout) = 0;
  // Tells the next ReadByte that at least `count` bytes will be read before the caller acts
  // on them: it may let them gather rather than wake for each, as long as the last of them
  // is still handed on the moment it arrives. The time-out keeps its meaning.
  virtual void ExpectBytes(size_t count) { (void)count; }
  // Writes all bytes; false when they could not be sent.
  virtual bool Write(const std::string& bytes) = 0;
  // Discards unread input.
  virtual void PurgeInput() = 0;
  virtual void Close() = 0;
};

}  // namespace kavex
