#pragma once

#include <QObject>
#include <QThread>
#include <atomic>
#include <functional>
#include <memory>
#include <string>

#include "ulvo/transfer/instrument.h"
#include "ulvo/transfer/serial_device.h"
#include "ulvo/transfer/stoppable_device.h"
#include "ulvo/transfer/transfer_form.h"

namespace ulvo {

// Runs one transfer of CULVOSerial on a thread of its own and reports to the window's thread
// through queued signals, so the window repaints while bytes flow.
class TransferRunner : public QObject {
  Q_OBJECT

 public:
  // Makes the serial device; called on the transfer thread, which then owns the device.
  using DeviceFactory = std::function<std::unique_ptr<SerialDevice>()>;

  explicit TransferRunner(DeviceFactory factory, QObject* parent = nullptr);
  // Stops a running transfer and waits until its port is closed.
  ~TransferRunner() override;

  // False when a transfer is still running.
  bool Start(const CInstrument& instrument, const std::string& port, int direction,
             const std::string& file);
  // Asks the running transfer to end; Finished follows once the port is closed.
  void Stop();
  bool Running() const { return thread_ != nullptr; }
  bool StopRequested() const { return stopRequested_; }

 signals:
  // Every notification of the engine, in order; the last one follows the end of Run.
  void Updated(ulvo::EngineUpdate update);
  void Finished(quint32 result);

 private:
  void ThreadDone();

  DeviceFactory factory_;
  QThread* thread_ = nullptr;
  std::atomic<bool> stopRequested_{false};
  quint32 result_ = 0;
};

}  // namespace ulvo

Q_DECLARE_METATYPE(ulvo::EngineUpdate)
