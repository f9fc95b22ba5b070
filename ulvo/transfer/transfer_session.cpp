#include "ulvo/transfer/transfer_session.h"

#include <system_error>
#include <utility>

#include "ulvo/transfer/capture_file.h"

namespace ulvo {

namespace {

SerialDevice& Top(SerialDevice& device, TracingDevice* tracing, StoppableDevice* stoppable) {
  if (stoppable) return *stoppable;
  if (tracing) return *tracing;
  return device;
}

}  // namespace

// A stopped transfer's failing calls never reach the trace: the stop sits above it.
TransferSession::TransferSession(SerialDevice& device, Clock& clock, TransferSessionOptions options)
    : clock_(clock),
      options_(std::move(options)),
      tracing_(options_.trace ? std::make_unique<TracingDevice>(device, clock, *options_.trace)
                              : nullptr),
      stoppable_(options_.stop ? std::make_unique<StoppableDevice>(tracing_ ? *tracing_ : device,
                                                                   *options_.stop)
                               : nullptr),
      line_(Top(device, tracing_.get(), stoppable_.get()), clock),
      serial_(line_) {
  serial_.SetFallbackFolder(options_.fallbackFolder);
}

TransferOutcome TransferSession::Run(TransferOwner* owner, const CInstrument& instrument,
                                     const std::string& port, int direction,
                                     const std::string& file) {
  std::unique_ptr<CaptureWriter> capture;
  if (direction == kDirectionReceive && !options_.captureFolder.empty()) {
    std::error_code ec;
    const std::filesystem::path destination = std::filesystem::absolute(file, ec);
    std::string problem;
    capture = CaptureWriter::Create(
        options_.captureFolder,
        CaptureHeaderFor(instrument, port, ec ? file : destination.string()), syncClock_, problem);
    if (!capture && options_.captureFailed) options_.captureFailed(problem);
  }
  serial_.SetCapture(capture.get());

  TransferOutcome outcome;
  outcome.result = serial_.Run(owner, instrument, port, direction, file);
  outcome.ended = clock_.Now();
  serial_.SetCapture(nullptr);
  if (capture) {
    outcome.captured = true;
    // Kept only when the data reached no file: then it waits for recovery.
    if (serial_.FileWritten() || capture->Records() == 0) {
      capture->Finish();
    } else {
      capture->Keep();
      outcome.keptCapture = capture->Path();
    }
  }
  outcome.failure = ExplainTransferFailure(serial_, outcome.result, port, &line_);
  outcome.fileProblem = serial_.FileProblem();
  outcome.fallbackFile = serial_.FallbackFile();
  outcome.written = serial_.FileWritten();
  outcome.bytesWritten = serial_.BytesWritten();
  return outcome;
}

}  // namespace ulvo
