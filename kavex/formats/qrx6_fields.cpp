#include "kavex/formats/qrx6_fields.h"

#include "kavex/formats/number_text.h"

namespace kavex {
namespace {

struct CodeRow {
  char first;
  char second;  // '\0': a one-character code
  int id;
};

// Searched in this order: the first match wins, which is why "+", "*" and "," of groups 5
// and 7 are never found here (the group changes remap them).
constexpr CodeRow kCodeTable[] = {
    {'!', 0, 0x11},    {'"', 0, 0x12},   {'#', 0, 0x13},   {'$', 0, 0x14},   {'%', 0, 0x21},
    {'&', 0, 0x22},    {'\'', 0, 0x31},  {'(', 0, 0x32},   {')', 0, 0x33},   {'+', 0, 0x41},
    {'9', 0, 0x42},    {':', 0, 0x43},   {'I', 0, 0x44},   {'*', 0, 0x45},   {',', 0, 0x46},
    {' ', '?', 0x47},  {' ', 'R', 0x48}, {' ', '<', 0x49}, {' ', '(', 0x4A}, {' ', '*', 0x4B},
    {' ', '\'', 0x4C}, {' ', 'U', 0x4D}, {' ', '/', 0x4E}, {'+', 0, 0x51},   {' ', 'a', 0x52},
    {' ', 'b', 0x53},  {' ', 'c', 0x54}, {' ', 'd', 0x55}, {' ', 'e', 0x56}, {'*', 0, 0x57},
    {',', 0, 0x58},    {'+', 0, 0x71},   {' ', 'x', 0x72}, {' ', 'y', 0x73}, {' ', 'z', 0x74},
    {' ', 'f', 0x75},  {' ', 'g', 0x76}, {' ', 'h', 0x77},
};

double SingleAngle(std::string_view v) {
  return (ReadDouble(v) + 0.1) * 0.0001;
}
double SingleDistance(std::string_view v) {
  return (ReadDouble(v) + 0.1) * 0.001;
}
double Coordinate(std::string_view v) {
  return (ReadDouble(v) + 0.01) * 0.001;
}

// Measurement-block parts are numbers at fixed positions of the value text.
std::string_view At(std::string_view v, size_t pos) {
  return pos < v.size() ? v.substr(pos) : std::string_view();
}
double BlockAngle(std::string_view v, size_t pos) {
  return (ReadDouble(At(v, pos)) + 0.01) * 0.0001;
}
double BlockDistance(std::string_view v, size_t pos) {
  return (ReadDouble(At(v, pos)) + 0.01) * 0.001;
}

std::string Trimmed(std::string_view v) {
  const size_t begin = v.find_first_not_of(' ');
  if (begin == std::string_view::npos) return {};
  const size_t end = v.find_last_not_of(' ');
  return std::string(v.substr(begin, end - begin + 1));
}

}  // namespace

FieldCode LookupFieldCode(std::string_view field) {
  if (field.empty()) return {kIdEmpty, 0};
  for (const CodeRow& row : kCodeTable) {
    if (field[0] != row.first) continue;
    if (row.second == 0) return {row.id, 1};
    if (field.size() > 1 && field[1] == row.second) return {row.id, 2};
  }
  return {};
}

void Qrx6FieldReader::AddLine(std::string_view line, bool hasLineFeed) {
  if (line.size() + (hasLineFeed ? 1 : 0) < kBlockMinimum || line.empty() || line[0] != '\x02') {
    return;
  }
  for (char c : line.substr(1, kPayload)) {
    if (c == '_') {
      ProcessField(pending_);
      pending_.clear();
    } else if (pending_.size() < kMaxPendingField) {
      pending_.push_back(c);
    }
  }
}

void Qrx6FieldReader::ProcessField(std::string_view field) {
  const FieldCode code = LookupFieldCode(field);
  if (code.id < 0 || code.id == kIdEmpty) return;
  int id = code.id;
  if (id >= kIdSingleAngle1 && id <= kIdSingleDistance) record_.group = 5;
  if (record_.group == 5) {
    if (id == kIdTargetThird) id = kIdSingleThird;
    if (id == kIdTargetSecond) id = kIdSingleSecond;
  }
  if (id > kIdCoordOpen && id <= kIdCoordFirst) {
    record_.group = 7;
    record_.subType = kIdCoordOpen;
  }
  const int group = id >> 4;
  if ((id & 0xF) == 1 || group != record_.group) {
    sink_.RecordClosed(record_);
    record_ = Qrx6Record();
    record_.group = group;
  }
  StoreValue(id, field.substr(code.length));
  sink_.FieldStored(id);
}

void Qrx6FieldReader::StoreValue(int id, std::string_view v) {
  auto text = [&](int slot, std::string value) {
    if (value.size() > kTextSlotSize) value.resize(kTextSlotSize);
    record_.text[slot] = std::move(value);
  };
  auto& r = record_.real;
  switch (id) {
    case kIdJob:
    case kIdTemp1:
    case kIdStation:
      text(kSlotA, std::string(v));
      break;
    case kIdTarget:
      text(kSlotA, Trimmed(v));
      break;
    case kIdName:
    case kIdTemp2:
    case kIdStationThird:
    case kIdTargetThird:
    case kIdSingleThird:
      text(kSlotB, std::string(v));
      break;
    case kIdInst:
    case kIdStationSecond:
    case kIdTargetSecond:
    case kIdSingleSecond:
      text(kSlotC, std::string(v));
      break;
    case kIdDate:
      text(kSlotD, std::string(v));
      break;
    case kIdAngle1:
    case kIdSingleAngle1:
      r[0] = SingleAngle(v);
      break;
    case kIdAngle2:
    case kIdSingleAngle2:
      r[1] = SingleAngle(v);
      break;
    case kIdDistance:
    case kIdSingleDistance:
      r[2] = SingleDistance(v);
      break;
    case kIdSingleSlope:
      r[2] = SingleDistance(v);
      record_.subType = id;
      break;
    case kIdSingleHorizontal:
      r[1] = SingleDistance(v);
      record_.subType = id;
      break;
    case kIdBlockSlope:
      r = {BlockAngle(v, 17), BlockAngle(v, 10), BlockDistance(v, 0)};
      record_.subType = id;
      break;
    case kIdBlockHorizontal:
      r = {BlockAngle(v, 17), BlockDistance(v, 0), BlockDistance(v, 26)};
      record_.subType = id;
      break;
    case kIdBlockAngles:
      r = {BlockAngle(v, 8), BlockAngle(v, 0), 0.0};
      record_.subType = id;
      break;
    case kIdBlockSlopeWide:
      r = {BlockAngle(v, 19), BlockAngle(v, 11), BlockDistance(v, 0)};
      record_.subType = id;
      break;
    case kIdBlockHorizontalWide:
      r = {BlockAngle(v, 19), BlockDistance(v, 0), BlockDistance(v, 29)};
      record_.subType = id;
      break;
    case kIdBlockAnglesWide:
      r = {BlockAngle(v, 9), BlockAngle(v, 0), 0.0};
      record_.subType = id;
      break;
    case kIdBlockU:
      r = {BlockDistance(v, 9), BlockDistance(v, 0), BlockDistance(v, 18)};
      record_.subType = id;
      break;
    case kIdBlockSlash:
      r = {BlockAngle(v, 11), BlockAngle(v, 0), BlockAngle(v, 22)};
      record_.subType = id;
      break;
    case 0x72:
    case 0x75:
      r[1] = Coordinate(v);
      break;
    case 0x73:
    case 0x76:
      r[0] = Coordinate(v);
      break;
    case 0x74:
    case 0x77:
      r[2] = Coordinate(v);
      break;
    default:
      break;
  }
}

void Qrx6FieldReader::Finish() {
  pending_.clear();
  sink_.RecordClosed(record_);
  record_ = Qrx6Record();
}

}  // namespace kavex
