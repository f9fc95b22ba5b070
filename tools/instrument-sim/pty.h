#pragma once

#include <chrono>
#include <cstddef>
#include <string>

namespace sim {

// The instrument's end of a pseudo-terminal. The program under test opens DevicePath()
// as if it were a serial port.
class Pty {
 public:
  // Opens a raw pseudo-terminal; on failure error() says why and ok() is false.
  Pty();
  ~Pty();
  Pty(const Pty&) = delete;
  Pty& operator=(const Pty&) = delete;

  bool ok() const { return fd_ >= 0; }
  const std::string& error() const { return error_; }
  const std::string& DevicePath() const { return path_; }

  // Bytes per second for paced writes (0: unpaced). 10 bits a byte, as on the line.
  void SetBaud(unsigned baud) { baud_ = baud; }
  // Writes all bytes, paced at the baud rate. False when the other side went away.
  bool Write(const std::string& bytes);
  // Reads one byte, waiting at most timeout. -1 on time-out or hang-up.
  int ReadByte(std::chrono::milliseconds timeout);

 private:
  int fd_ = -1;
  int keepSlave_ = -1;  // held open so the master never sees a hang-up between openings
  unsigned baud_ = 0;
  std::string path_;
  std::string error_;
};

}  // namespace sim
