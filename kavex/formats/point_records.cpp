#include "kavex/formats/point_records.h"

#include <algorithm>

#include "kavex/formats/qrx6_block.h"

namespace kavex {
namespace {

constexpr size_t kNamePos = 2;
constexpr size_t kCoordinatePos[3] = {15, 28, 41};
constexpr char kCoordinateCode[3] = {'x', 'y', 'z'};

bool KeepsLayout(std::string_view r) {
  for (size_t i = 0; i < 3; ++i) {
    const size_t mark = kCoordinatePos[i] - 3;
    if (r[mark] != '_' || r[mark + 1] != ' ' || r[mark + 2] != kCoordinateCode[i]) return false;
  }
  return true;
}

bool IsCoordinateCode(char c) {
  return c == 'x' || c == 'y' || c == 'z';
}

}  // namespace

void PointRecordReader::AddLine(std::string_view line) {
  if (line.size() >= 1 + kBlockPayloadSize && line[0] == kStx)
    Payload(line.substr(1, kBlockPayloadSize));
  ++pieces_;
}

void PointRecordReader::AddPayload(std::string_view payload) {
  Payload(payload);
  ++pieces_;
}

void PointRecordReader::Payload(std::string_view payload) {
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
          recordPiece_ = pieces_;
          state_ = State::kRecord;
        } else if (c == ' ') {
          state_ = State::kBlankCode;
        } else if (c != '_') {
          state_ = State::kSkipping;
        }
        break;
      case State::kBlankCode:
        if (IsCoordinateCode(c)) {
          state_ = State::kMisaligned;
          return;
        }
        if (c == ' ') {
          state_ = State::kSkipping;
          return;  // the padding of the last block
        }
        state_ = c == '_' ? State::kCode : State::kSkipping;
        break;
      case State::kRecord: {
        // The rest of the record, or of this payload, in one piece.
        const size_t take = std::min(payload.size() - i, kPointRecordSize - record_.size());
        record_.append(payload.substr(i, take));
        i += take - 1;
        if (record_.size() < kPointRecordSize) break;
        if (!KeepsLayout(record_)) {
          state_ = State::kMisaligned;
          return;
        }
        const std::string_view r(record_);
        sink_({std::string(r.substr(kNamePos, 10)), std::string(r.substr(kCoordinatePos[0], 10)),
               std::string(r.substr(kCoordinatePos[1], 10)),
               std::string(r.substr(kCoordinatePos[2], 10)), recordPiece_});
        state_ = State::kAfterRecord;
        break;
      }
      case State::kAfterRecord:
        if (c == '_') {
          state_ = State::kCode;
        } else if (c == ' ') {
          state_ = State::kSkipping;
          return;  // padding without the last "_"
        } else {
          state_ = State::kMisaligned;
          return;
        }
        break;
    }
  }
}

}  // namespace kavex
