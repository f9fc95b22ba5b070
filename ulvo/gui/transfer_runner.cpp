#include "ulvo/gui/transfer_runner.h"

#include "ulvo/transfer/culvo_serial.h"

namespace ulvo {

namespace {

// Hands each engine notification to the runner's signal, from the transfer thread.
class SignalOwner : public TransferOwner {
 public:
  explicit SignalOwner(std::function<void(const EngineUpdate&)> emitUpdate)
      : emit_(std::move(emitUpdate)) {}
  void UpdateAllViews(uint8_t hint, const CULVOSerial& serial) override {
    emit_(EngineUpdate{hint, serial.Status(), serial.Error(), serial.BytesTransferred(),
                       serial.SendProgress()});
  }

 private:
  std::function<void(const EngineUpdate&)> emit_;
};

}  // namespace

TransferRunner::TransferRunner(DeviceFactory factory, QObject* parent, Clock* clock)
    : QObject(parent), factory_(std::move(factory)), clock_(clock ? clock : &steadyClock_) {
  qRegisterMetaType<ulvo::EngineUpdate>();
}

TransferRunner::~TransferRunner() {
  if (!thread_) return;
  Stop();
  thread_->wait();
  delete thread_;
}

bool TransferRunner::Start(const CInstrument& instrument, const std::string& port, int direction,
                           const std::string& file) {
  if (thread_) return false;
  stopRequested_ = false;
  outcome_ = {};
  if (trace_) trace_->Begin();
  thread_ = QThread::create([this, instrument, port, direction, file, folder = fallbackFolder_,
                             captures = captureFolder_, trace = trace_] {
    std::unique_ptr<SerialDevice> device = factory_();
    TransferSession session(*device, *clock_, {trace, &stopRequested_, folder, captures, {}});
    SignalOwner owner([this](const EngineUpdate& u) { emit Updated(u); });
    TransferOutcome outcome = session.Run(&owner, instrument, port, direction, file);
    // Run sets the closing status after its last notification; show it too.
    const CULVOSerial& serial = session.Serial();
    emit Updated(EngineUpdate{serial.UpdateFlagSet(), serial.Status(), serial.Error(),
                              serial.BytesTransferred(), serial.SendProgress()});
    result_ = outcome.result;
    // Read by the window's thread only after the thread has finished.
    outcome_ = std::move(outcome);
  });
  connect(thread_, &QThread::finished, this, &TransferRunner::ThreadDone, Qt::QueuedConnection);
  thread_->start();
  return true;
}

void TransferRunner::Stop() {
  stopRequested_ = true;
}

void TransferRunner::ThreadDone() {
  if (!thread_) return;
  thread_->wait();
  delete thread_;
  thread_ = nullptr;
  emit Finished(result_);
}

}  // namespace ulvo
