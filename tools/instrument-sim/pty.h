#pragma once

#include <chrono>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "line_model.h"

namespace sim {

// How well the instrument kept to the line rate: benchmarks read this to tell a slow
// instrument from a slow program.
struct Pacing {
  size_t bytes = 0;                        // bytes sent paced
  size_t writes = 0;                       // paced writes (one per record)
  std::chrono::nanoseconds lineTime{0};    // what those bytes need on the line
  std::chrono::nanoseconds sendTime{0};    // from each write's start to its last byte out
  std::chrono::nanoseconds maxLate{0};     // worst lateness of a record's last byte
  std::chrono::nanoseconds turnaround{0};  // from a byte read to the answer's start
  int64_t firstWriteNs = -1;               // steady clock, the first paced write's start
  int64_t lastWriteNs = -1;                // steady clock, the last paced byte out

  // One line of "key value" pairs.
  std::string Report() const;
};

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
  // Without effect once the instrument has its own line settings.
  void SetBaud(unsigned baud) { baud_ = baud; }
  // The instrument's own line settings: what it sends reaches the program as a receiver set
  // as the program set the port would hand it on, and what the program sends reaches the
  // instrument as its receiver makes it out.
  void SetLine(const LineFrame& line) { line_ = line; }
  // Writes all bytes, paced at the baud rate: each byte is handed over once its last bit
  // would have arrived, gathered into pieces as a UART's receive FIFO hands them on (8
  // bytes, at least a millisecond apart); the last byte always at its own instant. False
  // when the other side went away.
  bool Write(const std::string& bytes);
  // Reads one byte, waiting at most timeout. -1 on time-out or hang-up.
  int ReadByte(std::chrono::milliseconds timeout);

  const Pacing& Paced() const { return pacing_; }

 private:
  bool WriteNow(const char* data, size_t size);
  // Paces out the bytes the receiver hands on, each at its instant from `start`.
  bool WriteReceived(const std::string& bytes);
  // The program's side of the line as it last set the pseudo-terminal.
  LineReceiver PortReceiver() const;
  void Account(std::chrono::steady_clock::time_point start, size_t n,
               std::chrono::steady_clock::duration lineTime,
               std::chrono::steady_clock::time_point due);

  int fd_ = -1;
  int keepSlave_ = -1;  // held open so the master never sees a hang-up between openings
  unsigned baud_ = 0;
  std::optional<LineFrame> line_;
  std::string path_;
  std::string error_;
  Pacing pacing_;
  std::chrono::steady_clock::time_point lastRead_{};
  std::chrono::steady_clock::time_point lastWriteEnd_{};
  std::chrono::steady_clock::duration lead_{0};
  std::string inbound_;  // read, not yet handed out
  size_t next_ = 0;
};

}  // namespace sim
