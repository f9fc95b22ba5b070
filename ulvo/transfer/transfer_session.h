#pragma once

#include <atomic>
#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "ulvo/transfer/clock.h"
#include "ulvo/transfer/culvo_serial.h"
#include "ulvo/transfer/instrument.h"
#include "ulvo/transfer/serial_device.h"
#include "ulvo/transfer/stoppable_device.h"
#include "ulvo/transfer/tracing_device.h"
#include "ulvo/transfer/transfer_failure.h"

namespace ulvo {

// What a front end puts around a transfer; each part may be left out.
struct TransferSessionOptions {
  // Every byte of the transfer goes here (null: no trace).
  TraceSink* trace = nullptr;
  // Set by another thread to stop the transfer (null: it runs to its end).
  const std::atomic<bool>* stop = nullptr;
  // Received data the chosen file cannot take goes to a new file here (empty: nowhere).
  std::filesystem::path fallbackFolder;
  // A receive is captured here as it comes, so a crash loses nothing (empty: no capture).
  std::filesystem::path captureFolder;
  // Told before the transfer begins why no capture could be made; the receive goes on.
  std::function<void(const std::string& problem)> captureFailed;
};

// How a transfer ended.
struct TransferOutcome {
  uint32_t result = 0;  // Run's result: 0, else a TransferError
  // Why it failed, naming the port or the file and the protocol step; empty after a success.
  std::vector<std::string> failure;
  std::string fileProblem;             // why the chosen file could not be written; empty: it was
  std::filesystem::path fallbackFile;  // where the data went instead; empty: nowhere else
  bool written = false;                // the data reached a file: the chosen one or the fallback
  size_t bytesWritten = 0;             // bytes in the file that holds the data
  bool captured = false;               // the receive had a capture
  // The capture kept for recovery, because the data reached no file; empty when none was.
  std::filesystem::path keptCapture;
  Clock::TimePoint ended{};  // when the engine returned, before the capture was closed
};

// One transfer as the Transfer window, ulvo-cli and the benchmark run it: the engine over
// the device with the trace, the stop and the line watch around it, the capture of a
// receive and the fallback folder; afterwards what became of the data and why it failed.
class TransferSession {
 public:
  // `clock` times the trace and the instrument's silence; the capture is synced by the
  // steady clock whatever it is.
  TransferSession(SerialDevice& device, Clock& clock, TransferSessionOptions options = {});
  TransferSession(const TransferSession&) = delete;
  TransferSession& operator=(const TransferSession&) = delete;

  TransferOutcome Run(TransferOwner* owner, const CInstrument& instrument, const std::string& port,
                      int direction, const std::string& file);

  // The engine, for what its last notification did not carry.
  const CULVOSerial& Serial() const { return serial_; }

 private:
  Clock& clock_;
  TransferSessionOptions options_;
  SteadyClock syncClock_;
  std::unique_ptr<TracingDevice> tracing_;
  std::unique_ptr<StoppableDevice> stoppable_;
  LineWatch line_;
  CULVOSerial serial_;
};

}  // namespace ulvo
