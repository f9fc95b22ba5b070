#include "ulvo/transfer/transfer_failure.h"

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <filesystem>

#include "ulvo/engine/text_codec.h"
#include "ulvo/transfer/tracing_device.h"

namespace ulvo {
namespace {

constexpr size_t kAnswerKept = 20;

std::string Seconds(std::chrono::milliseconds wait) {
  const double seconds = static_cast<double>(wait.count()) / 1000.0;
  return FormatFixed(seconds, seconds < 10.0 ? 1 : 0) + " s";
}

std::string Bytes(uint32_t count) {
  return std::to_string(count) + (count == 1 ? " byte" : " bytes");
}

std::string PortName(const std::string& port) {
  return port.empty() ? std::string("(no port)") : port;
}

std::string DeviceReason(const std::string& port, const std::string& reason,
                         const char* otherwise) {
  return PortName(port) + ": " + (reason.empty() ? std::string(otherwise) : reason);
}

// "record 3 of 12": the record the send stopped at.
std::string SendStep(const CULVOSerial& serial) {
  const size_t count = serial.RecordCount();
  const size_t at = std::min(serial.RecordsDone() + 1, std::max<size_t>(count, 1));
  return "record " + std::to_string(at) + " of " + std::to_string(count);
}

std::string NoAnswer(const LineWatch* line) {
  return line ? "no answer from the instrument within " + Seconds(line->Silence())
              : std::string("no answer from the instrument");
}

std::string SendNotAcknowledged(const CULVOSerial& serial, const LineWatch* line) {
  const std::string step = SendStep(serial);
  if (!line || !line->AnsweredLastWrite()) return step + ": " + NoAnswer(line);
  const std::string& answer = line->LastAnswer();
  if (answer.find(serial.Chars().nak) != std::string::npos)
    return step + " was rejected by the instrument (NAK) on every try";
  return step + ": the instrument answered " + DescribeBytes(answer) +
         ", which is not an acknowledgement";
}

std::string ReceiveEndedEarly(const CULVOSerial& serial, const LineWatch* line) {
  // The header data, where there is any, is kept as the first records.
  const size_t headers = serial.Link().headerRecords;
  if (const uint32_t problem = serial.FrameProblem()) {
    const char* what =
        problem == kStatusBccFailed ? "a wrong block check" : "the wrong block number";
    if (serial.RecordsDone() < headers)
      return std::string("the header record came with ") + what + " and did not come right";
    const size_t block = serial.RecordsDone() + 1 - headers;
    return "block " + std::to_string(block) + " came with " + what + " and did not come right";
  }
  if (serial.BytesTransferred() == 0) return NoAnswer(line);
  return "the instrument fell silent after " + Bytes(serial.BytesTransferred()) + ": " +
         NoAnswer(line);
}

// "8N1", "7E2": as the port was opened; what it was not told it keeps, 8N1 as a rule.
std::string FrameText(const PortSettings& s) {
  static const char kParity[] = {'N', 'O', 'E', 'M', 'S'};
  static const char* const kStop[] = {"1", "1.5", "2"};
  return std::to_string(s.dataBits.value_or(8)) +
         kParity[static_cast<int>(s.parity.value_or(Parity::kNone))] +
         kStop[static_cast<int>(s.stopBits.value_or(StopBits::kOne))];
}

}  // namespace

OpenResult LineWatch::Open(const std::string& portName, const PortSettings& settings) {
  heard_ = end_ = clock_.Now();
  lastAnswer_.clear();
  answered_ = false;
  arrived_ = {};
  settings_ = settings;
  return inner_.Open(portName, settings);
}

long LineWatch::Read(std::string& out, size_t max) {
  const size_t before = out.size();
  return Heard(out, before, inner_.Read(out, max));
}

long LineWatch::ReadFrame(std::string& out, size_t max, const FrameNeed& need) {
  const size_t before = out.size();
  return Heard(out, before, inner_.ReadFrame(out, max, need));
}

long LineWatch::Heard(const std::string& out, size_t before, long n) {
  Mark();
  if (n > 0) {
    heard_ = end_;
    const size_t got = out.size() - before;
    lastAnswer_ = out.substr(before + (got > kAnswerKept ? got - kAnswerKept : 0));
    for (size_t i = before; i < out.size(); ++i) arrived_.Add(out[i]);
    answered_ = true;
  }
  return n;
}

bool LineWatch::Write(std::string_view bytes, std::chrono::milliseconds timeout) {
  answered_ = false;
  const bool ok = inner_.Write(bytes, timeout);
  Mark();
  return ok;
}

bool LineWatch::WaitTransmitEmpty(std::chrono::milliseconds timeout) {
  const bool ok = inner_.WaitTransmitEmpty(timeout);
  Mark();
  return ok;
}

bool LineWatch::Close() {
  Mark();
  return inner_.Close();
}

std::chrono::milliseconds LineWatch::Silence() const {
  return std::chrono::duration_cast<std::chrono::milliseconds>(end_ - heard_);
}

std::string SourceFileProblem(const std::string& path) {
  std::error_code ec;
  if (std::filesystem::is_directory(path, ec)) return path + ": " + std::strerror(EISDIR);
  errno = 0;
  std::FILE* in = std::fopen(path.c_str(), "rb");
  if (!in) return path + ": " + std::strerror(errno != 0 ? errno : EIO);
  std::fclose(in);
  const auto size = std::filesystem::file_size(path, ec);
  if (!ec && size > kMaxTransferBytes) return path + ": larger than the transfer limit of 64 MiB";
  return path + ": the file could not be read";
}

std::vector<std::string> ExplainTransferFailure(const CULVOSerial& serial, uint32_t result,
                                                const std::string& port, const LineWatch* line) {
  const bool send = serial.Direction() == kDirectionSend;
  const std::string& file = serial.FileName();
  const std::string reason = line ? line->LastError() : std::string();
  switch (result) {
    case kErrorNone:
      return {};
    case kErrorHandleInUse:
      return {PortName(port) + ": a transfer is already running on this port"};
    case kErrorPortNotOpened:
      return {DeviceReason(port, reason, "the port could not be opened")};
    case kErrorSetState:
      return {DeviceReason(port, reason, "the port refused the line settings")};
    case kErrorReadState:
      return {DeviceReason(port, reason, "the line settings of the port could not be read")};
    case kErrorSetTimeouts:
      return {PortName(port) + ": the port refused the read time-outs"};
    case kErrorReadFailed:
      if (send) return {PortName(port) + ": reading the answer to " + SendStep(serial) + " failed"};
      return {PortName(port) + ": reading from the port failed after " +
              Bytes(serial.BytesTransferred())};
    case kErrorWriteHandshake:
      return {PortName(port) + ": the answer to the instrument could not be sent within " +
              Seconds(kWriteWait)};
    case kErrorWriteFile:
      return {serial.FileProblem().empty() ? file + ": the received data could not be written"
                                           : serial.FileProblem()};
    case kErrorReadFile:
      return {SourceFileProblem(file)};
    case kErrorClose:
      return {PortName(port) + ": closing the port failed"};
    case kErrorProtocol:
      return {"more than 64 MiB came from the instrument; the receive was stopped"};
    case kErrorNoResponse: {
      std::vector<std::string> lines = {send ? SendNotAcknowledged(serial, line)
                                             : ReceiveEndedEarly(serial, line)};
      if (line) {
        // What the instrument answered a send, and a block that came with a wrong check, are
        // said above; otherwise what arrived, or that nothing did.
        const size_t records = send || serial.FrameProblem() != 0 ? 1 : serial.RecordsDone();
        const std::string why =
            ExplainLine(PortName(port), line->Arrived(), records, line->Silence(),
                        line->Settings().baudRate.value_or(0), FrameText(line->Settings()));
        if (!why.empty()) lines.push_back(why);
      }
      return lines;
    }
    case kErrorWriteData:
      return {PortName(port) + ": " + SendStep(serial) + " could not be written within " +
              Seconds(kWriteWait)};
    case kErrorEmptyFile:
      return {file + ": the file holds no data to send"};
    default:
      return {};
  }
}

}  // namespace ulvo
