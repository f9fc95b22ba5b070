#pragma once

#include <chrono>
#include <cstdint>
#include <string>
#include <vector>

#include "ulvo/transfer/clock.h"
#include "ulvo/transfer/culvo_serial.h"
#include "ulvo/transfer/line_detect.h"
#include "ulvo/transfer/serial_device.h"

namespace ulvo {

// Wraps the device a transfer runs on and remembers what the line did, so that a failed
// transfer can be explained afterwards: how long the instrument had been silent when the
// transfer ended, and the last bytes it sent.
class LineWatch : public SerialDevice {
 public:
  LineWatch(SerialDevice& inner, const Clock& clock) : inner_(inner), clock_(clock) {}

  OpenResult Open(const std::string& portName, const PortSettings& settings) override;
  bool IsOpen() const override { return inner_.IsOpen(); }
  bool SetTimeouts(const ReadTimeouts& timeouts) override { return inner_.SetTimeouts(timeouts); }
  bool Purge() override { return inner_.Purge(); }
  long Read(std::string& out, size_t max) override;
  // Passes the frame's end on: without it every frame would wait out the read time-outs.
  long ReadFrame(std::string& out, size_t max, const FrameNeed& need) override;
  bool Write(std::string_view bytes, std::chrono::milliseconds timeout) override;
  bool WaitTransmitEmpty(std::chrono::milliseconds timeout) override;
  bool Close() override;
  std::string LastError() const override { return inner_.LastError(); }

  // From the last byte heard (or the opening of the port, when nothing was) to the end.
  std::chrono::milliseconds Silence() const;
  // The instrument's last read (at most 20 bytes); whether it came after the last write.
  const std::string& LastAnswer() const { return lastAnswer_; }
  bool AnsweredLastWrite() const { return answered_; }
  // Every byte heard since the port opened, and the settings it was opened with.
  const LineTally& Arrived() const { return arrived_; }
  const PortSettings& Settings() const { return settings_; }

 private:
  void Mark() { end_ = clock_.Now(); }
  long Heard(const std::string& out, size_t before, long n);

  SerialDevice& inner_;
  const Clock& clock_;
  Clock::TimePoint heard_{};
  Clock::TimePoint end_{};
  std::string lastAnswer_;
  bool answered_ = false;
  LineTally arrived_;
  PortSettings settings_;
};

// Why a file to send cannot be read, in the system's words ("path: reason").
std::string SourceFileProblem(const std::string& path);

// The lines that say why a transfer failed, naming the port or the file and the protocol
// step; empty when result is 0. ulvo-cli prints them after its error line, the Transfer
// window shows them under "Transfer failed". line may be null (nothing is then said about
// the instrument's silence or answers).
std::vector<std::string> ExplainTransferFailure(const CULVOSerial& serial, uint32_t result,
                                                const std::string& port, const LineWatch* line);

}  // namespace ulvo
