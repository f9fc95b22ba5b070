#pragma once

#include <QObject>
#include <QThread>
#include <atomic>
#include <filesystem>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "ulvo/transfer/clock.h"
#include "ulvo/transfer/instrument.h"
#include "ulvo/transfer/serial_device.h"
#include "ulvo/transfer/stoppable_device.h"
#include "ulvo/transfer/trace_model.h"
#include "ulvo/transfer/transfer_form.h"
#include "ulvo/transfer/transfer_session.h"

namespace ulvo {

// Runs one transfer of CULVOSerial on a thread of its own and reports to the window's thread
// through queued signals, so the window repaints while bytes flow.
class TransferRunner : public QObject {
  Q_OBJECT

 public:
  // Makes the serial device; called on the transfer thread, which then owns the device.
  using DeviceFactory = std::function<std::unique_ptr<SerialDevice>()>;

  // clock measures the instrument's silence for the failure message; null: the steady clock.
  explicit TransferRunner(DeviceFactory factory, QObject* parent = nullptr, Clock* clock = nullptr);
  // Stops a running transfer and waits until its port is closed.
  ~TransferRunner() override;

  // False when a transfer is still running.
  bool Start(const CInstrument& instrument, const std::string& port, int direction,
             const std::string& file);
  // Asks the running transfer to end; Finished follows once the port is closed.
  void Stop();
  bool Running() const { return thread_ != nullptr; }
  bool StopRequested() const { return stopRequested_; }
  // What transfers open their port with, for other users of the line (the sheet's Detect).
  const DeviceFactory& Factory() const { return factory_; }
  Clock* LineClock() const { return clock_; }
  // Received data the chosen file cannot take goes to a new file in this folder.
  void SetFallbackFolder(std::filesystem::path folder) { fallbackFolder_ = std::move(folder); }
  // A receive is captured in this folder as it comes, so a crash loses nothing (empty: no
  // capture); the capture is removed once the data is in a file.
  void SetCaptureFolder(std::filesystem::path folder) { captureFolder_ = std::move(folder); }
  // Every byte of each transfer goes to trace, which Start begins afresh (null: no trace).
  void SetTrace(TraceModel* trace) { trace_ = trace; }
  // What became of the last transfer's file, and why it failed; valid after Finished, not
  // while running.
  const TransferOutcome& FileOutcome() const { return outcome_; }

 signals:
  // Every notification of the engine, in order; the last one follows the end of Run.
  void Updated(ulvo::EngineUpdate update);
  void Finished(quint32 result);

 private:
  void ThreadDone();

  DeviceFactory factory_;
  SteadyClock steadyClock_;
  Clock* clock_;
  QThread* thread_ = nullptr;
  std::atomic<bool> stopRequested_{false};
  quint32 result_ = 0;
  std::filesystem::path fallbackFolder_;
  std::filesystem::path captureFolder_;
  TraceModel* trace_ = nullptr;
  TransferOutcome outcome_;
};

}  // namespace ulvo

Q_DECLARE_METATYPE(ulvo::EngineUpdate)
