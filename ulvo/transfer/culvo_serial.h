#pragma once

#include <cstdint>
#include <filesystem>
#include <string>
#include <vector>

#include "ulvo/transfer/instrument.h"
#include "ulvo/transfer/link_protocol.h"
#include "ulvo/transfer/serial_device.h"
#include "ulvo/transfer/transfer_codes.h"

namespace ulvo {

class CULVOSerial;
class CaptureWriter;

// Update hints passed to the owner; they accumulate over a transfer.
enum UpdateFlags : uint8_t {
  kUpdateError = 1,
  kUpdateProgress = 2,
  kUpdateStatus = 4,
  kUpdateFinished = 8,
};

// The transfer document: told about every change while a transfer runs.
class TransferOwner {
 public:
  virtual ~TransferOwner() = default;
  // The document's update of all its views, with the accumulated flags as the hint.
  virtual void UpdateAllViews(uint8_t hint, const CULVOSerial& serial) = 0;
  // Every status and error as it is set, for front ends that log them.
  virtual void StatusSet(uint32_t /*code*/) {}
  virtual void ErrorSet(uint32_t /*code*/) {}
};

// A received transfer larger than this is refused rather than held in memory.
inline constexpr size_t kMaxTransferBytes = 64u << 20;
// How long a text receive, which answers nothing before EOT, lets bytes gather between
// looks at the port (an EOT among them is taken at most that late).
inline constexpr std::chrono::milliseconds kTextGather{4};
// Writes, handshakes and the transmit-buffer-empty wait are bounded by this.
inline constexpr std::chrono::milliseconds kWriteWait{30000};

// Runs one send or receive over a serial device with an instrument's line settings.
class CULVOSerial {
 public:
  explicit CULVOSerial(SerialDevice& device) : device_(device) {}

  // One complete transfer; 0 on success, else a TransferError code. Direction 0 sends the
  // file to the instrument, 1 receives into it.
  uint32_t Run(TransferOwner* owner, CInstrument instrument, const std::string& portName,
               int direction, const std::string& fileName);

  uint32_t Status() const { return status_; }
  uint32_t Error() const { return error_; }
  uint32_t BytesTransferred() const { return bytesTransferred_; }
  int Direction() const { return direction_; }
  // Percentage of records sent; 0 while receiving.
  int SendProgress() const;
  uint8_t UpdateFlagSet() const { return updateFlags_; }
  // Where the last transfer stood, for saying why it failed: its link, the records sent
  // (send) or received so far, and a received frame that was rejected and never came
  // right (status 13 or 14; 0 when the last frame was good).
  LinkProtocol Protocol() const { return protocol_; }
  const LinkDescription& Link() const { return *link_; }
  int SoftHandshake() const { return softMode_; }
  const ControlChars& Chars() const { return chars_; }
  const std::string& FileName() const { return fileName_; }
  size_t RecordsDone() const { return direction_ == kDirectionSend ? itemIndex_ : items_.size(); }
  size_t RecordCount() const { return items_.size(); }
  uint32_t FrameProblem() const { return frameProblem_; }

  // A receive appends the bytes each accepted record adds to the file, as it is accepted,
  // so a crash cannot lose them (null: nothing is captured). Not owned.
  void SetCapture(CaptureWriter* capture) { capture_ = capture; }

  // Received data that cannot be written to its file goes to a new file in this folder
  // (the user's data folder), so an instrument's data is never lost. Empty: no fallback.
  void SetFallbackFolder(std::filesystem::path folder) { fallbackFolder_ = std::move(folder); }
  // Why the destination could not be written: "path: reason"; empty when it could.
  const std::string& FileProblem() const { return fileProblem_; }
  // Where the received data went instead; empty when it did not have to.
  const std::filesystem::path& FallbackFile() const { return fallbackFile_; }
  // Whether the received data reached a file (the destination or the fallback file), and
  // how many bytes that file holds.
  bool FileWritten() const { return fileWritten_; }
  size_t BytesWritten() const { return bytesWritten_; }

  void SetStatus(TransferStatus code);
  void SetError(TransferError code);
  void NotifyOwner(uint8_t flags);

  TransferError OpenComPort(uint32_t baudMask, uint32_t lineFormat, uint32_t hardHandshake,
                            const std::string& portName);
  TransferError CloseComPort();
  void PrepareHandshake(int kind);
  TransferError WriteHandshake();
  std::string BuildControlRecord(int kind) const { return ulvo::BuildControlRecord(kind, chars_); }
  const std::string& HandshakeBuffer() const { return handshake_; }

  // Settings a transfer runs with; Run sets them from the instrument, tests may set them
  // to drive the handshake helpers alone.
  void SetLink(LinkProtocol protocol, int softHandshakeMode, const ControlChars& chars) {
    protocol_ = protocol;
    link_ = &Describe(protocol);
    softMode_ = softHandshakeMode;
    chars_ = chars;
  }

 private:
  // Names the receive steps in the protocols' descriptions.
  friend std::span<const LinkDescription> LinkProtocols();

  TransferError SendLoop();
  TransferError ReceiveLoop();
  TransferError ReadSourceFile();
  TransferError WriteDestinationFile();
  std::string ReceivedBytes() const;
  TransferError SendRecord(size_t& written);
  TransferError JudgeAnswer(size_t written);
  TransferError ReceiveStepText();
  TransferError ReceiveStepBlocks();
  TransferError ReceiveStepLines();
  TransferError AnswerFrame(int kind);
  void DecreaseIdle();
  bool Overflowing() const { return receivedTotal_ > kMaxTransferBytes; }
  long ReadInto(size_t max, std::string& got, const FrameNeed& need);
  void Capture(std::string_view bytes);

  SerialDevice& device_;
  TransferOwner* owner_ = nullptr;
  int direction_ = 0;
  uint8_t updateFlags_ = 0;
  uint32_t status_ = 0;
  uint32_t error_ = 0;
  uint32_t frameProblem_ = 0;
  bool end_ = false;
  bool started_ = false;
  bool firstBlock_ = true;
  int headerState_ = 0;  // "ITF01" receive: 0 before header 0, 1 before header 1, 2 blocks
  char blockNumber_ = '0';
  std::string handshake_;
  int32_t idleCountdown_ = 0;
  std::string buffer_;
  std::string answer_;  // send: the instrument's answer so far
  size_t itemIndex_ = 0;
  LinkProtocol protocol_ = LinkProtocol::kNone;
  const LinkDescription* link_ = &Describe(LinkProtocol::kNone);
  int softMode_ = 0;
  ControlChars chars_;
  std::string fileName_;
  uint32_t bytesTransferred_ = 0;
  size_t receivedTotal_ = 0;
  // Bytes the line carries in a few milliseconds: how long a text receive lets bytes gather.
  size_t gatherBytes_ = 0;
  std::vector<std::string> items_;
  CaptureWriter* capture_ = nullptr;
  std::filesystem::path fallbackFolder_;
  std::filesystem::path fallbackFile_;
  std::string fileProblem_;
  size_t bytesWritten_ = 0;
  bool fileWritten_ = false;
};

}  // namespace ulvo
