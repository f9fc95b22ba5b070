// The four link protocols: how a file goes out as records and how received bytes come back
// as a file.
#include <fstream>
#include <system_error>

#include "ulvo/transfer/capture_file.h"
#include "ulvo/transfer/culvo_serial.h"
#include "ulvo/transfer/destination_file.h"

namespace ulvo {

namespace {

constexpr size_t kReceiveBufferSize = 255;

}  // namespace

long CULVOSerial::ReadInto(size_t max, std::string& got, const FrameNeed& need) {
  got.clear();
  if (max == 0) return 0;
  return device_.ReadFrame(got, max, need);
}

void CULVOSerial::Capture(std::string_view bytes) {
  // A capture that cannot be written stops by itself; the receive goes on.
  if (capture_ && !bytes.empty()) capture_->Append(bytes);
}

uint32_t CULVOSerial::ReadSourceFile() {
  SetStatus(1);
  std::error_code ec;
  const auto size = std::filesystem::file_size(fileName_, ec);
  std::ifstream in(fileName_, std::ios::binary);
  if (ec || !in || size > kMaxTransferBytes) {
    SetError(9);
    return 9;
  }
  std::string bytes(static_cast<size_t>(size), '\0');
  in.read(bytes.data(), static_cast<std::streamsize>(bytes.size()));
  if (in.bad()) {
    SetError(9);
    return 9;
  }
  bytes.resize(static_cast<size_t>(in.gcount()));
  if (!BuildSendRecords(protocol_, bytes, chars_, items_)) {
    items_.clear();
    SetStatus(15);
    SetError(16);
    return 16;
  }
  SetStatus(4);
  return 0;
}

uint32_t CULVOSerial::SendLoop() {
  updateFlags_ = 0;
  idleCountdown_ = 10;
  end_ = false;
  items_.clear();
  buffer_.clear();
  itemIndex_ = 0;
  bytesTransferred_ = 0;
  answer_.clear();

  uint32_t code = ReadSourceFile();
  if (code == 0) SetStatus(5);
  if (softMode_ == 3) idleCountdown_ = 40;
  if (code == 0) {
    while (!end_ && idleCountdown_ != 0 && itemIndex_ < items_.size()) {
      size_t written = 0;
      code = SendRecord(written);
      if (code == 0) code = JudgeAnswer(written);
      if (code != 0) break;
    }
    // Running out of tries is a failure, and says so: the records did not all get through.
    if (code == 0 && idleCountdown_ == 0) {
      SetError(12);
      code = 12;
    }
  }
  SetStatus(idleCountdown_ == 0 || code != 0 ? 11 : 10);
  CloseComPort();
  NotifyOwner(kUpdateFinished);
  return code;
}

uint32_t CULVOSerial::SendRecord(size_t& written) {
  const std::string& record = items_[itemIndex_];
  const size_t length = TransmitLength(protocol_, record, chars_.eot);
  if (!device_.Write(std::string_view(record).substr(0, length), kWriteWait)) {
    SetError(15);
    idleCountdown_ = 0;
    return 15;
  }
  written = length;
  return 0;
}

uint32_t CULVOSerial::JudgeAnswer(size_t written) {
  const bool last = itemIndex_ + 1 >= items_.size();
  const auto accept = [&] {
    if (last) end_ = true;
    bytesTransferred_ += static_cast<uint32_t>(written);
    NotifyOwner(kUpdateProgress);
    ++itemIndex_;
  };
  if (softMode_ != 2 && softMode_ != 3) {
    accept();
    return 0;
  }
  // The answer may come in pieces: read on until it is whole or the line falls silent.
  const size_t most = softMode_ == 2 ? 20 : 10;
  std::string ack = BuildControlRecord(1);
  ack.pop_back();
  bool acknowledged = false;
  // The answer is whole at ACK or NAK (and the line end the instrument adds), or at LF.
  const FrameNeed whole = [&](std::string_view got) -> size_t {
    const std::string answer = answer_ + std::string(got);
    if (answer.size() >= most) return 0;
    if (softMode_ != 2) return answer.find('\n') != std::string::npos ? 0 : 1;
    const size_t at = answer.find_first_of(std::string{chars_.ack, chars_.nak});
    if (at == std::string::npos) return 1;
    const size_t after = answer.size() - at - 1;
    return chars_.addCrLf && after < 2 ? 2 - after : 0;
  };
  for (;;) {
    std::string got;
    const long n = ReadInto(most, got, whole);
    if (n < 0) {
      SetError(6);
      return 6;
    }
    if (n == 0 && answer_.empty()) {
      if (idleCountdown_ > 0) --idleCountdown_;
      if (softMode_ == 2 && last) end_ = true;
      return 0;
    }
    answer_ += got;
    if (softMode_ == 2) {
      const bool ackSeen = answer_.find(chars_.ack) != std::string::npos;
      if (n == 0 || ackSeen || answer_.find(chars_.nak) != std::string::npos ||
          answer_.size() >= most) {
        acknowledged = ackSeen;
        answer_.clear();
        break;
      }
    } else {
      // A control record ends with LF; what follows it belongs to the next answer.
      const size_t lf = answer_.find('\n');
      if (n == 0 || lf != std::string::npos || answer_.size() >= most) {
        acknowledged = answer_.compare(0, ack.size(), ack) == 0;
        answer_.erase(0, lf == std::string::npos ? answer_.size() : lf + 1);
        break;
      }
    }
  }
  if (acknowledged) {
    idleCountdown_ = softMode_ == 2 ? 5 : 40;
    accept();
  } else {
    if (idleCountdown_ > 0) --idleCountdown_;
    if (end_ && idleCountdown_ > 1) idleCountdown_ = 1;
  }
  return 0;
}

uint32_t CULVOSerial::ReceiveLoop() {
  updateFlags_ = 0;
  end_ = false;
  buffer_.clear();
  blockNumber_ = '0';
  items_.clear();
  itemIndex_ = 0;
  idleCountdown_ = 30;
  firstBlock_ = true;
  headerState_ = 0;
  receivedTotal_ = 0;
  handshake_.clear();

  uint32_t code = 0;
  if (softMode_ == 2) {
    idleCountdown_ = 10;
    PrepareHandshake(0);
    SetStatus(9);
    code = WriteHandshake();
  } else {
    SetStatus(8);
  }
  started_ = false;

  if (code == 0) {
    while (!end_ && idleCountdown_ != 0 && code == 0) {
      if (protocol_ == 2 || protocol_ == 3)
        code = ReceiveStepBlocks();
      else if (protocol_ == 4)
        code = ReceiveStepLines();
      else
        code = ReceiveStepText();
    }
    if (idleCountdown_ == 0 || code != 0) {
      CloseComPort();
      WriteDestinationFile();
      // The shown error is 12 whatever ended the steps; the result keeps the step's own code.
      code = code != 0 ? code : 12;
      SetError(12);
    } else if (CloseComPort() != 0) {
      WriteDestinationFile();
      SetError(10);
      code = 10;
    } else if (WriteDestinationFile() != 0) {
      SetError(8);
      code = 8;
    } else {
      NotifyOwner(kUpdateFinished);
      SetStatus(10);
      return 0;
    }
  } else {
    CloseComPort();
    SetError(code);
  }
  SetStatus(11);
  NotifyOwner(kUpdateFinished);
  return code;
}

void CULVOSerial::DecreaseIdle() {
  if (idleCountdown_ > 0) --idleCountdown_;
}

uint32_t CULVOSerial::ReceiveStepText() {
  std::string got;
  // A record is whole at its 253rd byte or at EOT. No answer is due before EOT, so the read
  // may let the bytes of a few milliseconds gather instead of waking for every piece: an
  // EOT among them ends the receive that much later, once.
  const size_t room = kTextRecordSize - std::min(buffer_.size(), kTextRecordSize);
  const long n = ReadInto(room, got, [&](std::string_view part) -> size_t {
    if (part.find(chars_.eot) != std::string_view::npos || part.size() >= room) return 0;
    return std::min(room - part.size(), gatherBytes_ + 1);
  });
  if (n < 0) return 6;
  if (n > 0) {
    receivedTotal_ += static_cast<size_t>(n);
    if (Overflowing()) return 11;
    const size_t eot = got.find(chars_.eot);
    if (eot != std::string::npos) end_ = true;
    buffer_ += got;
    // The file ends before the first EOT; what follows it is never written.
    Capture(std::string_view(got).substr(0, eot));
    bytesTransferred_ += static_cast<uint32_t>(n);
    SetStatus(6);
    NotifyOwner(kUpdateProgress);
    idleCountdown_ = 20;
  } else {
    DecreaseIdle();
    if (idleCountdown_ == 10) SetStatus(7);
    if (idleCountdown_ == 0) SetStatus(11);
  }
  if (buffer_.size() >= kTextRecordSize) {
    items_.push_back(std::move(buffer_));
    buffer_.clear();
  } else if (idleCountdown_ == 0) {
    buffer_ += chars_.eot;
    items_.push_back(std::move(buffer_));
    buffer_.clear();
  } else if (end_) {
    items_.push_back(std::move(buffer_));
    buffer_.clear();
  }
  return 0;
}

uint32_t CULVOSerial::AnswerFrame(int kind) {
  PrepareHandshake(kind);
  return softMode_ == 2 ? WriteHandshake() : 0;
}

uint32_t CULVOSerial::ReceiveStepBlocks() {
  std::string got;
  const long n =
      ReadInto(kBlockSize - std::min(buffer_.size(), kBlockSize), got, [&](std::string_view part) {
        return BlockFrameNeed(buffer_ + std::string(part), protocol_, headerState_, chars_);
      });
  if (n < 0) return 6;
  if (n == 0) {
    uint32_t code = 0;
    // An empty buffer means we are owed a frame: repeat the last message (the ENQ poll, or
    // the answer the instrument may have missed).
    if (softMode_ == 2 && buffer_.empty()) code = WriteHandshake();
    DecreaseIdle();
    return code;
  }
  receivedTotal_ += static_cast<size_t>(n);
  if (Overflowing()) return 11;
  if (buffer_.empty() && bytesTransferred_ == 0 && headerState_ == 0) {
    // Skip line noise before the first frame. The first STX, not the last: a block whose
    // data holds STX would otherwise be cut and rejected on every repetition.
    const size_t at = got.find(chars_.stx);
    if (at != std::string::npos) got.erase(0, at);
  }
  buffer_ += got;

  const std::string endRecord = BuildEndRecord(chars_);
  const std::string shortEnd{chars_.eot, '\r', '\n'};
  const std::string header0 = BuildHeaderRecord0(chars_);
  bool framed = false;
  for (;;) {
    // Padding and stray line ends between frames never start a frame.
    size_t skip = 0;
    while (skip < buffer_.size() &&
           (buffer_[skip] == '\0' || buffer_[skip] == '\r' || buffer_[skip] == '\n'))
      ++skip;
    buffer_.erase(0, skip);
    if (buffer_.empty()) {
      // Only padding arrived: no progress, or an endless stream of it would never end.
      if (!framed) DecreaseIdle();
      return 0;
    }

    if (chars_.eot != 0 && (buffer_.starts_with(endRecord) || buffer_.starts_with(shortEnd))) {
      end_ = true;
      buffer_.clear();
      return AnswerFrame(1);
    }
    if (buffer_[0] != chars_.stx) {
      // Line noise between frames: every frame starts with STX, so resume there.
      if (chars_.eot != 0 && shortEnd.starts_with(buffer_)) return 0;
      const size_t at = buffer_.find(chars_.stx);
      buffer_.erase(0, at);
      if (buffer_.empty()) {
        if (!framed) DecreaseIdle();
        return 0;
      }
      continue;
    }
    if (protocol_ == 3 && headerState_ == 0) {
      if (buffer_.size() < header0.size() && header0.starts_with(buffer_)) return 0;
      headerState_ = buffer_.starts_with(header0) ? 1 : 2;
      if (headerState_ == 1) {
        buffer_.erase(0, header0.size());
        framed = true;
        if (const uint32_t code = AnswerFrame(1)) return code;
        continue;
      }
    }
    if (protocol_ == 3 && headerState_ == 1) {
      if (buffer_.size() < kHeader1Frame) return 0;
      if (IsValidHeaderRecord1(buffer_, chars_)) {
        items_.push_back(buffer_.substr(1, kHeaderData));
        Capture(items_.back());
        bytesTransferred_ += kHeaderData;
        headerState_ = 2;
        SetStatus(6);
        NotifyOwner(kUpdateProgress);
        idleCountdown_ = 5;
        buffer_.erase(0, kHeader1Frame);
        framed = true;
        if (const uint32_t code = AnswerFrame(1)) return code;
        continue;
      }
      SetStatus(13);
      DecreaseIdle();
      buffer_.erase(0, kHeader1Frame);
      // Without acknowledgements nobody sends it again, and the blocks follow at once.
      if (softMode_ != 2) headerState_ = 2;
      framed = true;
      if (const uint32_t code = AnswerFrame(2)) return code;
      continue;
    }
    if (buffer_.size() < kBlockSize) return 0;
    const BlockVerdict v = JudgeBlock(buffer_, blockNumber_);
    if (!v.numberOk) SetStatus(14);
    if (!v.checkOk) SetStatus(13);
    int kind = 2;
    if (v.numberOk && v.checkOk) {
      blockNumber_ = NextBlockNumber(blockNumber_);
      if (firstBlock_) SetStatus(6);
      firstBlock_ = false;
      idleCountdown_ = 5;
      bytesTransferred_ += kBlockData;
      items_.push_back(buffer_.substr(1, kBlockData));
      Capture(items_.back());
      kind = 1;
    } else {
      DecreaseIdle();
    }
    PrepareHandshake(kind);
    if (kind == 1) NotifyOwner(kUpdateProgress);
    const uint32_t code = softMode_ == 2 ? WriteHandshake() : 0;
    buffer_.erase(0, kBlockSize);
    framed = true;
    if (code != 0) return code;
  }
}

uint32_t CULVOSerial::ReceiveStepLines() {
  std::string got;
  // A line is whole at LF, or when it fills the buffer. Once the lines have begun and none
  // is answered, the read lets the bytes of a few milliseconds gather before it hands on the
  // lines among them, as the text receive does, instead of waking for every piece. Before
  // that the reads stay short: each one that brings no start counts down the wait.
  const bool gather = started_ && softMode_ != 2 && softMode_ != 3 && gatherBytes_ > 0;
  const size_t room = gather ? kReceiveBufferSize : 9;
  const long n = ReadInto(room, got, [&](std::string_view part) -> size_t {
    const bool lineEnd = part.find('\n') != std::string_view::npos;
    if (part.size() >= room) return 0;
    if (!gather) return lineEnd || buffer_.size() + part.size() >= kReceiveBufferSize ? 0 : 1;
    // A line that ends what has come so far may be the last for a while (the end record is):
    // it goes on at once.
    if (lineEnd && (part.size() > gatherBytes_ || part.back() == '\n')) return 0;
    return std::min(room - part.size(), gatherBytes_ + 1);
  });
  if (n < 0) return 6;
  receivedTotal_ += static_cast<size_t>(n);
  if (Overflowing()) return 11;
  const std::string start = BuildControlRecord(0);
  const std::string endRecord = BuildControlRecord(3);
  for (const char c : got) {
    buffer_ += c;
    if (c != '\n' && buffer_.size() < kReceiveBufferSize) continue;
    const std::string line = std::move(buffer_);
    buffer_.clear();
    if (c != '\n' || !LineCheckOk(line)) {
      PrepareHandshake(2);
      DecreaseIdle();
    } else if (items_.empty() && line == start) {
      started_ = true;
      PrepareHandshake(1);
    } else if (line == endRecord || !started_) {
      PrepareHandshake(1);
      SetStatus(10);
      end_ = true;
    } else {
      std::string record = line.substr(0, line.size() - 5) + "\r\n";
      bytesTransferred_ += static_cast<uint32_t>(record.size());
      NotifyOwner(kUpdateProgress);
      SetStatus(6);
      PrepareHandshake(1);
      Capture(record);
      items_.push_back(std::move(record));
      idleCountdown_ = 30;
    }
    if (softMode_ == 2 || softMode_ == 3)
      if (const uint32_t code = WriteHandshake()) return code;
    if (end_) break;
  }
  if (!started_ || n == 0) {
    DecreaseIdle();
    if (idleCountdown_ == 10) SetStatus(7);
    if (idleCountdown_ == 0) SetStatus(11);
  }
  return 0;
}

std::string CULVOSerial::ReceivedBytes() const {
  std::string bytes;
  for (const std::string& record : items_) {
    size_t length = record.size();
    if (protocol_ == 4) {
      const size_t lf = record.find('\n');
      if (lf != std::string::npos) length = lf + 1;
    } else if (protocol_ != 2 && protocol_ != 3) {
      const size_t eot = record.find(chars_.eot);
      length = eot != std::string::npos ? eot : std::min(record.size(), kTextRecordSize);
    }
    bytes.append(record, 0, length);
  }
  return bytes;
}

uint32_t CULVOSerial::WriteDestinationFile() {
  // A text receive that stopped or failed mid-record still has bytes in hand: keep them.
  if (protocol_ != 2 && protocol_ != 3 && protocol_ != 4 && !buffer_.empty()) {
    items_.push_back(std::move(buffer_));
    buffer_.clear();
  }
  const std::string bytes = ReceivedBytes();
  // Nothing came: the destination stays exactly as it was, an existing file included.
  if (bytes.empty()) return 0;
  SetStatus(2);
  const std::string why = WriteWholeFile(fileName_, bytes);
  if (why.empty()) {
    fileWritten_ = true;
    bytesWritten_ = bytes.size();
    SetStatus(3);
    return 0;
  }
  fileProblem_ = fileName_ + ": " + why;
  if (!fallbackFolder_.empty()) {
    std::error_code ec;
    std::filesystem::create_directories(fallbackFolder_, ec);
    const std::filesystem::path fallback = FallbackFilePath(fallbackFolder_, fileName_);
    if (WriteWholeFile(fallback, bytes).empty()) {
      fallbackFile_ = fallback;
      fileWritten_ = true;
      bytesWritten_ = bytes.size();
    }
  }
  return 8;
}

}  // namespace ulvo
