#pragma once

#include <array>
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace kavex {

// A point record of the QRX-6 field stream as the coordinate conversion writes it: 51
// characters, "_+", the name (10), "_ x", x (10), "_ y", y (10), "_ z", z (10), coordinates
// in millimetres. The "_" of the next field follows.
inline constexpr size_t kPointRecordSize = 51;

// A place in the lines as they were handed in: the line from 1 and its column from 1 (STX
// is column 1, the payload starts in column 2).
struct RecordPlace {
  size_t line = 0;
  size_t column = 0;
};

struct PointRecord {
  std::string name;  // 10 characters as they stand
  std::string x, y, z;
  std::array<RecordPlace, 4> places{};  // where the name, x, y and z begin
};

// Where the records stopped lining up and what did not fit, for the line under "Invalid
// data.".
struct RecordStop {
  RecordPlace place;
  std::string what;  // "field x: 11 characters where the record holds 10"
};

// "line 3, field x: 11 characters where the record holds 10"
std::string RecordStopText(const RecordStop& stop);

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
  // lack a whole payload are not block lines and are passed over (they still count as
  // lines of the places).
  void AddLine(std::string_view line);
  // The payload of one line as it stands (at most 128 characters).
  void AddPayload(std::string_view payload);
  // The end of the stream: settles a stop still being measured.
  void End();

  bool Misaligned() const { return state_ == State::kMisaligned || state_ == State::kMeasuring; }
  // Where and why, once known. The field that did not fit is measured up to its "_", which
  // may take a few characters of the next line; End() settles it at the end of the stream.
  const std::optional<RecordStop>& Stop() const { return stop_; }

 private:
  enum class State {
    kSkipping,     // inside a field of another code, up to the next "_"
    kCode,         // just after a "_"
    kBlankCode,    // after "_" and a blank: a coordinate field, another field or padding
    kRecord,       // inside a point record
    kAfterRecord,  // a record ended: its next field must begin
    kMeasuring,    // a field of the record did not fit: reading on to its "_"
    kMisaligned,
  };
  // A run of record characters that came from one payload.
  struct Piece {
    size_t offset;  // in record_
    RecordPlace place;
  };

  RecordPlace PlaceOf(size_t offset) const;
  void Take(std::string_view payload, size_t& i);
  // The record is complete: hands it on, or starts measuring the field that broke it.
  void CheckRecord();
  void Measure(size_t field);
  // Concludes the measuring once the field's "_" is there, or when forced.
  void Conclude(bool force);
  void StopAt(RecordPlace place, std::string what);

  Sink sink_;
  State state_ = State::kSkipping;
  std::string record_;
  std::vector<Piece> pieces_;
  size_t line_ = 0;
  size_t field_ = 0;  // the field being measured: 0 the name, 1..3 x, y, z
  std::optional<RecordStop> stop_;
};

}  // namespace kavex
