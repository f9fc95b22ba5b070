#pragma once

#include <functional>
#include <string>
#include <string_view>

namespace kavex {

// A point record of the QRX-6 field stream as the coordinate conversion writes it: 51
// characters, "_+", the name (10), "_ x", x (10), "_ y", y (10), "_ z", z (10), coordinates
// in millimetres. The "_" of the next field follows.
inline constexpr size_t kPointRecordSize = 51;

struct PointRecord {
  std::string name;  // 10 characters as they stand
  std::string x, y, z;
  // Which input (AddLine or AddPayload call, counted from 0) holds the record's "+": the line
  // a view selects for the point.
  size_t piece = 0;
};

// Reads the point records out of payloads taken in order as one stream; the DXF export and
// the coordinate table of the data edit both read them here. A record starts at a field
// "+" and has its fixed layout; fields of other codes are passed over. A blank field (the
// padding of the last block) ends the reading of that payload. A point with a blank name is
// a point; a record the stream ends inside gives nothing. A record that does not keep its
// layout, or a coordinate field outside one, makes the stream misaligned: every later value
// would be read shifted, so nothing more is handed on.
class PointRecordReader {
 public:
  using Sink = std::function<void(const PointRecord& record)>;
  explicit PointRecordReader(Sink sink) : sink_(std::move(sink)) {}

  // One line of a file as read, without its line end. Lines that do not start with STX or
  // lack a whole payload are not block lines and are passed over.
  void AddLine(std::string_view line);
  // The payload of one line as it stands (at most 128 characters).
  void AddPayload(std::string_view payload);

  bool Misaligned() const { return state_ == State::kMisaligned; }

 private:
  enum class State {
    kSkipping,     // inside a field of another code, up to the next "_"
    kCode,         // just after a "_"
    kBlankCode,    // after "_" and a blank: a coordinate field, another field or padding
    kRecord,       // inside a point record
    kAfterRecord,  // a record ended: its next field must begin
    kMisaligned,
  };

  void Payload(std::string_view payload);

  Sink sink_;
  State state_ = State::kSkipping;
  std::string record_;
  size_t pieces_ = 0;  // inputs taken so far
  size_t recordPiece_ = 0;
};

}  // namespace kavex
