#include "ulvo/gui/transfer_runner.h"

#include "ulvo/transfer/capture_file.h"
#include "ulvo/transfer/culvo_serial.h"
#include "ulvo/transfer/tracing_device.h"
#include "ulvo/transfer/transfer_failure.h"

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
    std::unique_ptr<SerialDevice> inner = factory_();
    std::unique_ptr<TracingDevice> tracing;
    if (trace) tracing = std::make_unique<TracingDevice>(*inner, *clock_, *trace);
    StoppableDevice device(tracing ? *tracing : *inner, stopRequested_);
    LineWatch line(device, *clock_);
    CULVOSerial serial(line);
    serial.SetFallbackFolder(folder);
    std::unique_ptr<CaptureWriter> capture;
    if (direction == kDirectionReceive && !captures.empty()) {
      std::error_code ec;
      const std::filesystem::path destination = std::filesystem::absolute(file, ec);
      std::string problem;
      // The disk is synced by the real clock, whatever measures the instrument's silence.
      capture = CaptureWriter::Create(
          captures, CaptureHeaderFor(instrument, port, ec ? file : destination.string()),
          steadyClock_, problem);
      serial.SetCapture(capture.get());
    }
    SignalOwner owner([this](const EngineUpdate& u) { emit Updated(u); });
    const uint32_t result = serial.Run(&owner, instrument, port, direction, file);
    if (capture) {
      // Kept only when the data reached no file: then it waits for the next start.
      if (serial.FileWritten() || capture->Records() == 0)
        capture->Finish();
      else
        capture->Keep();
    }
    // Run sets the closing status after its last notification; show it too.
    emit Updated(EngineUpdate{serial.UpdateFlagSet(), serial.Status(), serial.Error(),
                              serial.BytesTransferred(), serial.SendProgress()});
    result_ = result;
    // Read by the window's thread only after the thread has finished.
    outcome_ = {serial.FileProblem(), serial.FallbackFile(), serial.FileWritten(),
                serial.BytesWritten(), ExplainTransferFailure(serial, result, port, &line)};
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
