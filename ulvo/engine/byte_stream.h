#pragma once

#include <cstdint>
#include <stdexcept>
#include <string>
#include <string_view>

namespace ulvo {

// The input of a parse: the whole file in memory, read with a movable position. Parsers
// seek back freely, so a buffer is both simpler and faster than a file handle.
class InputBuffer {
 public:
  explicit InputBuffer(std::string bytes) : bytes_(std::move(bytes)) {}

  uint64_t Position() const { return position_; }
  uint64_t Length() const { return bytes_.size(); }
  void Seek(uint64_t offset) { position_ = offset < bytes_.size() ? offset : bytes_.size(); }
  // Up to n bytes from the position; the position moves past what was returned.
  std::string_view Read(uint64_t n);
  // The same bytes without moving the position.
  std::string_view Peek(uint64_t n) const;

  // Parsing backtracks, and a hostile definition can make that exponential. Every parse
  // step spends from this budget; running out ends the run like an input error.
  void SetStepBudget(uint64_t steps) { stepsLeft_ = steps; }
  void Step() { Step(1); }
  void Step(uint64_t count) {
    if (stepsLeft_ < count) throw std::length_error("parse step budget exhausted");
    stepsLeft_ -= count;
  }

 private:
  std::string bytes_;
  uint64_t position_ = 0;
  uint64_t stepsLeft_ = UINT64_MAX;
};

// The output of a write. Rolling back a failed attempt truncates; the bytes reach the file
// when the run ends (whether it succeeded or not).
class OutputBuffer {
 public:
  uint64_t Length() const { return bytes_.size(); }
  void Write(std::string_view data) { bytes_.append(data); }
  void SetLength(uint64_t n) { bytes_.resize(n, '\0'); }
  const std::string& Bytes() const { return bytes_; }

  // Counts records taken out of the document, so a repetition can tell whether an
  // iteration made progress.
  void NoteRecordRemoved() { ++recordsRemoved_; }
  uint64_t RecordsRemoved() const { return recordsRemoved_; }

 private:
  std::string bytes_;
  uint64_t recordsRemoved_ = 0;
};

}  // namespace ulvo
