#include "kavex/formats/point_records.h"

#include <algorithm>

#include "kavex/formats/qrx6_block.h"

namespace kavex {
namespace {

constexpr size_t kFieldWidth = 10;
// Where the name and x, y, z begin in a record.
constexpr size_t kFieldPos[4] = {2, 15, 28, 41};
constexpr char kCoordinateCode[4] = {0, 'x', 'y', 'z'};
// How far a field that broke its record is read on to find its "_".
constexpr size_t kMeasureLimit = 64;

bool IsCoordinateCode(char c) {
  return c == 'x' || c == 'y' || c == 'z';
}

std::string FieldName(size_t field) {
  return field == 0 ? std::string("point name") : std::string("field ") + kCoordinateCode[field];
}

}  // namespace

std::string RecordStopText(const RecordStop& stop) {
  return "line " + std::to_string(stop.place.line) + ", " + stop.what;
}

RecordPlace PointRecordReader::PlaceOf(size_t offset) const {
  for (auto p = pieces_.rbegin(); p != pieces_.rend(); ++p)
    if (p->offset <= offset) return {p->place.line, p->place.column + offset - p->offset};
  return {line_, 0};
}

void PointRecordReader::AddLine(std::string_view line) {
  if (line.size() < 1 + kBlockPayloadSize || line[0] != kStx) {
    ++line_;
    return;
  }
  AddPayload(line.substr(1, kBlockPayloadSize));
}

void PointRecordReader::Take(std::string_view payload, size_t& i) {
  const size_t want =
      state_ == State::kMeasuring ? kFieldPos[field_] + kMeasureLimit : kPointRecordSize;
  const size_t take = std::min(payload.size() - i, want - record_.size());
  pieces_.push_back({record_.size(), {line_, i + 2}});
  record_.append(payload.substr(i, take));
  i += take - 1;
}

void PointRecordReader::StopAt(RecordPlace place, std::string what) {
  stop_ = RecordStop{place, std::move(what)};
  state_ = State::kMisaligned;
}

void PointRecordReader::Measure(size_t field) {
  field_ = field;
  state_ = State::kMeasuring;
  Conclude(false);
}

void PointRecordReader::Conclude(bool force) {
  const size_t start = kFieldPos[field_];
  const size_t end = record_.find('_', start);
  const std::string name = FieldName(field_);
  if (end != std::string::npos) {
    const size_t width = end - start;
    if (width != kFieldWidth || field_ == 3) {
      StopAt(PlaceOf(start), name + ": " + std::to_string(width) +
                                 " characters where the record holds " +
                                 std::to_string(kFieldWidth));
    } else {
      StopAt(PlaceOf(end), FieldName(field_ + 1) + " missing after " +
                               (field_ == 0 ? std::string("the point name") : name));
    }
  } else if (force || record_.size() >= start + kMeasureLimit) {
    StopAt(PlaceOf(start), name + ": more than " + std::to_string(kFieldWidth) +
                               " characters where the record holds " + std::to_string(kFieldWidth));
  }
}

void PointRecordReader::CheckRecord() {
  const std::string_view r(record_);
  for (size_t field = 0; field < 3; ++field) {
    const size_t mark = kFieldPos[field] + kFieldWidth;
    if (r[mark] != '_' || r[mark + 1] != ' ' || r[mark + 2] != kCoordinateCode[field + 1]) {
      Measure(field);
      return;
    }
  }
  PointRecord record;
  std::string* values[4] = {&record.name, &record.x, &record.y, &record.z};
  for (size_t field = 0; field < 4; ++field) {
    *values[field] = std::string(r.substr(kFieldPos[field], kFieldWidth));
    record.places[field] = PlaceOf(kFieldPos[field]);
  }
  sink_(record);
  state_ = State::kAfterRecord;
}

void PointRecordReader::AddPayload(std::string_view payload) {
  ++line_;
  for (size_t i = 0; i < payload.size(); ++i) {
    const char c = payload[i];
    switch (state_) {
      case State::kMisaligned:
        return;
      case State::kSkipping:
        if (c == '_') state_ = State::kCode;
        break;
      case State::kCode:
        if (c == '+') {
          record_ = "_+";
          pieces_.assign({{1, {line_, i + 2}}});
          state_ = State::kRecord;
        } else if (c == ' ') {
          state_ = State::kBlankCode;
        } else if (c != '_') {
          state_ = State::kSkipping;
        }
        break;
      case State::kBlankCode:
        if (IsCoordinateCode(c)) {
          StopAt({line_, i + 2}, std::string("field ") + c + " outside a point record");
          return;
        }
        if (c == ' ') {
          state_ = State::kSkipping;
          return;  // the padding of the last block
        }
        state_ = c == '_' ? State::kCode : State::kSkipping;
        break;
      case State::kRecord:
        // The rest of the record, or of this payload, in one piece.
        Take(payload, i);
        if (record_.size() == kPointRecordSize) CheckRecord();
        if (state_ == State::kMisaligned) return;
        break;
      case State::kMeasuring:
        Take(payload, i);
        Conclude(false);
        if (state_ == State::kMisaligned) return;
        break;
      case State::kAfterRecord:
        if (c == '_') {
          state_ = State::kCode;
        } else if (c == ' ') {
          state_ = State::kSkipping;
          return;  // padding without the last "_"
        } else {
          // The z field runs on: measured from its start.
          pieces_.push_back({record_.size(), {line_, i + 2}});
          record_.push_back(c);
          Measure(3);
          if (state_ == State::kMisaligned) return;
        }
        break;
    }
  }
}

void PointRecordReader::End() {
  if (state_ == State::kMeasuring) Conclude(true);
}

}  // namespace kavex
