#pragma once

#include <cstdint>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <stdexcept>
#include <string>
#include <string_view>
#include <type_traits>
#include <unordered_map>
#include <vector>

namespace ulvo {

class RecordSink;

// Bytes in one block of memory that grows in place where it can. A block used again for a
// larger input keeps the memory it has already touched, which the system need not hand out
// (and clear) a second time. A large block is mapped in huge pages where the system offers
// them: each page the system hands out costs a fault, and a few large ones cost far less than
// hundreds of small ones.
class ByteBlock {
 public:
  ByteBlock() = default;
  explicit ByteBlock(std::string_view bytes);
  ~ByteBlock();
  ByteBlock(ByteBlock&& other) noexcept;
  ByteBlock& operator=(ByteBlock&& other) noexcept;
  ByteBlock(const ByteBlock&) = delete;
  ByteBlock& operator=(const ByteBlock&) = delete;

  char* Data() { return data_; }
  const char* Data() const { return data_; }
  size_t Size() const { return size_; }
  // Keeps the first n bytes (or those there are); throws std::bad_alloc.
  void Resize(size_t n);
  // Room for n bytes without moving them again; the size stays.
  void Reserve(size_t n);
  // Adds bytes after the last, the room growing by half again when it runs out.
  void Append(std::string_view bytes) {
    if (bytes.size() > capacity_ - size_) Grow(bytes.size());
    if (!bytes.empty()) std::memcpy(data_ + size_, bytes.data(), bytes.size());
    size_ += bytes.size();
  }
  void Append(char byte) {
    if (size_ == capacity_) Grow(1);
    data_[size_++] = byte;
  }

 private:
  void Grow(size_t more);
  void Allocate(size_t n);
  void Release();

  bool mapped_ = false;  // data_ is a mapping of capacity_ bytes, not from malloc
  char* data_ = nullptr;
  size_t size_ = 0;
  size_t capacity_ = 0;
};

// Plain values one after another in a ByteBlock, so that a long array is mapped as a large
// block is.
template <typename T>
class BlockArray {
  static_assert(std::is_trivially_copyable_v<T>);

 public:
  void PushBack(const T& value) {
    block_.Append(std::string_view(reinterpret_cast<const char*>(&value), sizeof(T)));
  }
  size_t Size() const { return block_.Size() / sizeof(T); }
  bool Empty() const { return block_.Size() == 0; }
  T operator[](size_t i) const {
    T value;
    std::memcpy(&value, block_.Data() + i * sizeof(T), sizeof(T));
    return value;
  }

 private:
  ByteBlock block_;
};

// The input of a parse: the whole file in memory, read with a movable position. Parsers
// seek back freely, so a buffer is both simpler and faster than a file handle.
class InputBuffer {
 public:
  explicit InputBuffer(std::string_view bytes) : bytes_(bytes) {}
  explicit InputBuffer(ByteBlock bytes) : bytes_(std::move(bytes)) {}
  // The input's memory, for another parse to use again; the buffer is empty afterwards.
  ByteBlock TakeBytes() {
    position_ = 0;
    return std::move(bytes_);
  }

  uint64_t Position() const { return position_; }
  uint64_t Length() const { return bytes_.Size(); }
  void Seek(uint64_t offset) { position_ = offset < bytes_.Size() ? offset : bytes_.Size(); }
  // Up to n bytes from the position; the position moves past what was returned.
  // Every byte read is charged to the step budget.
  std::string_view Read(uint64_t n);
  // The same bytes without moving the position.
  std::string_view Peek(uint64_t n) const;
  // Offset from the position of the first place within the next `avail` bytes where `text`
  // stands whole, or `avail` when there is none. The last answer per key is remembered: a
  // choice that tries the same terminator at every record would otherwise search the rest
  // of the input again each time. `scanned` is the number of bytes searched anew.
  uint64_t FindFrom(const void* key, std::string_view text, uint64_t avail, uint64_t& scanned);

  // Parsing backtracks, and a hostile definition can make that exponential. Every parse
  // step spends from this budget; running out ends the run like an input error.
  void SetStepBudget(uint64_t steps) { stepsLeft_ = steps; }
  void Step() { Step(1); }
  void Step(uint64_t count) {
    if (stepsLeft_ < count) throw std::length_error("parse step budget exhausted");
    stepsLeft_ -= count;
  }

  // The furthest place at which some part of the format could not go on: where a failed
  // parse tells the user to look.
  void NoteFailure(uint64_t at) {
    if (at > furthestFailure_) furthestFailure_ = at;
  }
  uint64_t FurthestFailure() const { return furthestFailure_; }

  // Where the top-level items of the parse go as they complete; none: they stay in place.
  void SetSink(RecordSink* sink) { sink_ = sink; }
  RecordSink* Sink() const { return sink_; }
  // Whether the parse puts layout text (line breaks, tabs) between what it stores; a parse
  // whose document is never saved does without.
  void SetLayout(bool keep) { layout_ = keep; }
  bool Layout() const { return layout_; }

 private:
  // A search for a key's text from `from`: the first place at `at`, or none before `to`.
  struct SearchMemo {
    uint64_t from = 0;
    uint64_t to = 0;
    uint64_t at = 0;
    bool found = false;
  };

  ByteBlock bytes_;
  uint64_t position_ = 0;
  uint64_t stepsLeft_ = UINT64_MAX;
  uint64_t furthestFailure_ = 0;
  RecordSink* sink_ = nullptr;
  bool layout_ = true;
  std::unordered_map<const void*, SearchMemo> searches_;
};

// Neither a parse's input nor a write's output may exceed this: a hostile definition must
// not fill the disk or the memory.
inline constexpr uint64_t kMaxDataBytes = 64u << 20;

// A value wider than its fixed field. It is written in full all the same (a field never
// cuts a value), so a reader of the output finds the fields after it shifted.
struct FieldOverflow {
  const void* record = nullptr;  // the top-level record of the document it belongs to
  std::string element;           // element identifier, "GROUP/ELEMENT" inside a nested record
  std::string value;             // as written
  int width = 0;                 // what the field holds
  uint64_t offset = 0;           // where the value starts in the output
  size_t number = 0;             // the record's place among those written, from 1; 0: none
};

// The output of a write. Rolling back a failed attempt truncates. With a file, the bytes go
// to it as the output grows; only the most recent ones are held back in memory, where most
// rollbacks land.
class OutputBuffer {
 public:
  // Kept in memory; Bytes() holds all of it.
  OutputBuffer() = default;
  // Written to the file at path, which is created or truncated; IsOpen() tells whether that
  // worked.
  explicit OutputBuffer(const std::filesystem::path& path);

  bool IsOpen() const { return !path_.empty() && file_.is_open(); }
  uint64_t Length() const { return flushed_ + pending_.size(); }
  // Throws std::length_error beyond kMaxDataBytes and std::runtime_error when the file
  // cannot be written.
  void Write(std::string_view data);
  void SetLength(uint64_t n);
  // Writes out what is held back; false when the file could not take it.
  bool Finish();
  const std::string& Bytes() const { return pending_; }
  // The operating system's reason for the first failed write to the file; empty if none.
  const std::string& Failure() const { return failure_; }

  // Values too wide for their fields. Notes for output that a rollback takes back go with
  // it. records is the node the write started from: its children are the records.
  void SetRecords(const void* records) { records_ = records; }
  const void* Records() const { return records_; }
  void NoteOverflow(FieldOverflow overflow);
  const std::vector<FieldOverflow>& Overflows() const { return overflows_; }
  std::vector<FieldOverflow>& Overflows() { return overflows_; }

  // Counts records taken out of the document, so a repetition can tell whether an
  // iteration made progress.
  void NoteRecordRemoved() { ++recordsRemoved_; }
  uint64_t RecordsRemoved() const { return recordsRemoved_; }

 private:
  void FlushOlderThan(uint64_t keep);
  void NoteFailure();

  std::filesystem::path path_;
  std::ofstream file_;
  uint64_t flushed_ = 0;  // bytes already in the file
  std::string pending_;   // the bytes after them
  uint64_t recordsRemoved_ = 0;
  std::string failure_;
  const void* records_ = nullptr;
  std::vector<FieldOverflow> overflows_;
};

}  // namespace ulvo
