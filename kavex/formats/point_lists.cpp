#include "kavex/formats/point_lists.h"

#include "kavex/formats/number_text.h"
#include "kavex/formats/point_records.h"
#include "kavex/formats/qrx6_block.h"
#include "kavex/formats/text_format.h"
#include "kavex/formats/text_line_reader.h"

namespace kavex {
namespace {

constexpr size_t kNameWidth = 10;
constexpr size_t kItemWidth = 10;
constexpr size_t kCoordinateWidth = 10;

bool IsSpace(char c) {
  return c == ' ' || c == '\t';
}
bool IsNumberChar(char c) {
  return (c >= '0' && c <= '9') || c == '+' || c == '-' || c == '.';
}
bool IsItemChar(char c) {
  return c >= '!' && c <= 'z';
}

std::string Fit(std::string_view text, size_t width) {
  std::string out(text.substr(0, width));
  out.resize(width, ' ');
  return out;
}

}  // namespace

bool ParsePointsLine(std::string_view line, bool hasLineFeed, PointsLine& out) {
  out = PointsLine{};
  size_t i = 0;
  while (i < line.size() && line[i] == '\t') ++i;
  if (i == line.size() || line[i] == ',') return false;

  const size_t nameStart = i;
  while (i < line.size() && line[i] != '\t' && line[i] != ',') {
    const char c = line[i];
    if (c < ' ' || c > 'z') return false;
    ++i;
  }
  std::string_view name = line.substr(nameStart, i - nameStart);
  if (name.size() > kNameWidth) return false;
  while (!name.empty() && name.front() == ' ') name.remove_prefix(1);
  while (!name.empty() && name.back() == ' ') name.remove_suffix(1);
  out.name = std::string(name);
  if (i == line.size()) return hasLineFeed;
  ++i;  // the tab or comma that ended the name

  double* const values[] = {&out.y, &out.x, &out.z};
  for (int n = 0; n < 3; ++n) {
    while (i < line.size() && IsSpace(line[i])) ++i;
    if (i == line.size()) return hasLineFeed;
    if (line[i] == ',') {
      ++i;  // no number before this comma: this one is left out
      continue;
    }
    const size_t start = i;
    while (i < line.size() && line[i] != ',' && !IsSpace(line[i])) {
      if (!IsNumberChar(line[i])) return false;
      ++i;
    }
    out.texts[static_cast<size_t>(n)] = std::string(line.substr(start, i - start));
    *values[n] = ReadDouble(out.texts[static_cast<size_t>(n)]);
    if (n == 2) return true;  // the rest of the line does not matter
    if (i == line.size()) return hasLineFeed;
    while (i < line.size() && IsSpace(line[i])) ++i;
    if (i < line.size() && line[i] == ',') ++i;
  }
  return true;
}

std::string CoordinateText(double metres) {
  const double mm = metres * 1000.0;
  if (metres >= 1'000'000.0 && metres < 10'000'000.0) return Format("%10.0f", mm);
  return Format("%10s", Format("%+09.0f", mm).c_str());
}

bool CoordinateFits(double metres) {
  return CoordinateText(metres).size() == kCoordinateWidth;
}

std::optional<std::string> CoordinateRecord(std::string_view name, double x, double y, double z) {
  const std::string xText = CoordinateText(x);
  const std::string yText = CoordinateText(y);
  const std::string zText = CoordinateText(z);
  if (xText.size() != kCoordinateWidth || yText.size() != kCoordinateWidth ||
      zText.size() != kCoordinateWidth)
    return std::nullopt;
  return "+" + Fit(name, kNameWidth) + "_ x" + xText + "_ y" + yText + "_ z" + zText + "_";
}

bool CodeLineReader::Parse(std::string_view line, bool hasLineFeed, CodeLine& out) {
  out = CodeLine{};
  if (!hasLineFeed) return false;
  size_t i = 0;
  // One item: 1..10 characters from "!" to "z", ended by a blank, tab, comma or line end.
  auto readItem = [&](std::string_view& item) {
    const size_t start = i;
    while (i < line.size() && !IsSpace(line[i]) && line[i] != ',') {
      if (!IsItemChar(line[i])) return false;
      ++i;
    }
    item = line.substr(start, i - start);
    return !item.empty() && item.size() <= kItemWidth;
  };

  while (i < line.size() && IsSpace(line[i])) ++i;
  if (i == line.size() || line[i] == ',') return false;
  std::string_view first;
  if (!readItem(first)) return false;

  // A code number is an item of digits only (a leading "+" allowed) from 1 to 50.
  std::string_view digits = first;
  if (!digits.empty() && digits.front() == '+') digits.remove_prefix(1);
  bool allDigits = !digits.empty();
  for (char c : digits) allDigits = allDigits && c >= '0' && c <= '9';
  const long number = allDigits ? ReadLong(digits) : 0;
  if (number < 1 || number > kMaxAutomaticCodes) {
    out.number = ++automaticCount_;
    out.text = std::string(first);
    return true;
  }
  out.number = static_cast<int>(number);
  if (i == line.size()) return true;  // the number alone: an empty code
  const bool endedByComma = line[i] == ',';
  ++i;
  while (i < line.size() && IsSpace(line[i])) ++i;
  // Trailing blanks after the number are no item: still the number alone.
  if (!endedByComma && i == line.size()) return true;
  if (!endedByComma && i < line.size() && line[i] == ',') {
    ++i;
    while (i < line.size() && IsSpace(line[i])) ++i;
  }
  if (i == line.size()) return false;
  if (line[i] == ',') return true;  // a second comma: an empty code
  std::string_view text;
  if (!readItem(text)) return false;
  out.text = std::string(text);
  return true;
}

std::string CodeRecord(int number, std::string_view text) {
  return Format(":%03d", number) + Fit(text, kItemWidth) + "_";
}

BlockWriter::BlockWriter(Output output) : output_(std::move(output)) {}

void BlockWriter::Append(std::string_view record) {
  if (!record.empty()) streamStarted_ = true;
  payload_.append(record);
  size_t used = 0;
  while (payload_.size() - used > kBlockPayloadSize) {
    output_(MakeBlockLine(std::string_view(payload_).substr(used, kBlockPayloadSize), number_));
    number_ = (number_ + 1) % 10;
    used += kBlockPayloadSize;
  }
  payload_.erase(0, used);
}

void BlockWriter::Finish(bool always) {
  if (!always && !streamStarted_) return;
  output_(MakeBlockLine(payload_, number_));
  number_ = (number_ + 1) % 10;
  payload_.clear();
}

namespace {

// Feeds pieces to the line rules of one kind; false at a bad line.
class ListLineFeeder {
 public:
  ListLineFeeder(ListKind kind, const BlockWriter::Output& output, ListStop* stop)
      : kind_(kind), writer_(output), stop_(stop) {}

  // False when reading must stop before this piece (50 automatic codes).
  bool WantsMore() const { return kind_ != ListKind::kCodes || !codes_.Full(); }

  bool Feed(std::string_view piece, bool hasLineFeed) {
    const bool ok = FeedLine(piece, hasLineFeed);
    if (!ok && stop_) stop_->line = line_;
    if (hasLineFeed) ++line_;  // a longer line comes in pieces and counts once
    return ok;
  }

  void Finish() { writer_.Finish(kind_ == ListKind::kCodes); }

 private:
  bool FeedLine(std::string_view piece, bool hasLineFeed) {
    if (kind_ == ListKind::kPoints) {
      PointsLine p;
      if (!ParsePointsLine(piece, hasLineFeed, p)) return false;
      const std::optional<std::string> record = CoordinateRecord(p.name, p.x, p.y, p.z);
      if (!record) {
        const double values[] = {p.y, p.x, p.z};
        for (size_t i = 0; i < 3; ++i) {
          if (!CoordinateFits(values[i])) {
            if (stop_) stop_->wideValue = p.texts[i];
            break;
          }
        }
        return false;
      }
      writer_.Append(*record);
      return true;
    }
    CodeLine c;
    if (!codes_.Parse(piece, hasLineFeed, c)) return false;
    writer_.Append(CodeRecord(c.number, c.text));
    return true;
  }

  ListKind kind_;
  BlockWriter writer_;
  CodeLineReader codes_;
  ListStop* stop_;
  size_t line_ = 1;
};

}  // namespace

std::string ListStopText(const ListStop& stop) {
  std::string text = "line " + std::to_string(stop.line);
  if (!stop.wideValue.empty())
    text += ": " + stop.wideValue + " does not fit its " + std::to_string(kCoordinateWidth) +
            "-character field";
  return text;
}

ListFileResult WriteListFileBlocks(const std::filesystem::path& input, ListKind kind,
                                   const BlockWriter::Output& output,
                                   const std::function<void(int percent)>& betweenLines,
                                   ListStop* stop) {
  TextLineReader reader;
  if (!reader.Open(input)) return ListFileResult::kCannotOpen;
  ListLineFeeder feeder(kind, output, stop);
  std::string piece;
  bool hasLineFeed = false;
  size_t count = 0;
  while (feeder.WantsMore() && reader.NextPiece(piece, hasLineFeed)) {
    if (!feeder.Feed(piece, hasLineFeed)) return ListFileResult::kBadLine;
    if (betweenLines && ++count % 64 == 0) betweenLines(reader.Percent());
  }
  feeder.Finish();
  return ListFileResult::kDone;
}

ListFileResult WriteListTextBlocks(std::string_view text, ListKind kind,
                                   const BlockWriter::Output& output, ListStop* stop) {
  ListLineFeeder feeder(kind, output, stop);
  size_t pos = 0;
  while (feeder.WantsMore() && pos < text.size()) {
    size_t take = 0;
    while (take < TextLineReader::kMaxPiece && pos + take < text.size() &&
           text[pos + take] != '\n') {
      ++take;
    }
    const bool hasLineFeed = take < TextLineReader::kMaxPiece && pos + take < text.size();
    if (!feeder.Feed(text.substr(pos, take), hasLineFeed)) return ListFileResult::kBadLine;
    pos += take + (hasLineFeed ? 1 : 0);
  }
  feeder.Finish();
  return ListFileResult::kDone;
}

namespace {

// Walks the payload characters of block lines as one stream, with the place of each.
template <typename Visit>
void WalkPayload(const std::vector<std::string>& lines, Visit visit) {
  for (size_t n = 0; n < lines.size(); ++n) {
    const std::string& line = lines[n];
    for (size_t i = 1; i <= kBlockPayloadSize && i < line.size(); ++i) {
      if (!visit(line[i], RecordPlace{n + 1, i + 1})) return;
    }
  }
}

}  // namespace

std::optional<std::vector<CoordinateRow>> ReadCoordinateList(const std::vector<std::string>& lines,
                                                             RecordStop* stop) {
  std::vector<CoordinateRow> rows;
  auto metres = [](const std::string& text) { return Format("%11.3lf", ReadDouble(text) * 0.001); };
  PointRecordReader reader([&](const PointRecord& r) {
    rows.push_back({r.name, metres(r.x), metres(r.y), metres(r.z)});
  });
  for (const std::string& line : lines)
    reader.AddPayload(
        std::string_view(line).substr(std::min<size_t>(1, line.size()), kBlockPayloadSize));
  reader.End();
  if (reader.Misaligned()) {
    if (stop && reader.Stop()) *stop = *reader.Stop();
    return std::nullopt;
  }
  return rows;
}

std::optional<std::vector<CodeRow>> ReadCodeList(const std::vector<std::string>& lines,
                                                 RecordStop* stop) {
  std::vector<CodeRow> rows;
  std::string field;
  bool inField = false;
  bool afterSeparator = false;
  bool separatorDue = false;
  bool linedUp = true;
  int blanks = 0;
  constexpr size_t kCodeField = 3 + kItemWidth;
  WalkPayload(lines, [&](char c, RecordPlace place) {
    if (inField) {
      field.push_back(c);
      if (field.size() == kCodeField) {
        inField = false;
        separatorDue = true;
        rows.push_back({field.substr(0, 3), field.substr(3)});
      }
      return true;
    }
    if (separatorDue && c != '_') {
      linedUp = false;
      if (stop)
        *stop = {place, "point code: more than " + std::to_string(kCodeField) +
                            " characters where the record holds " + std::to_string(kCodeField)};
      return false;
    }
    separatorDue = false;
    blanks = c == ' ' ? blanks + 1 : 0;
    if (blanks >= 10) return false;  // the padding of the last block
    if (c == '_') {
      afterSeparator = true;
    } else if (afterSeparator && c == ':') {
      afterSeparator = false;
      inField = true;
      field.clear();
    }
    return true;
  });
  if (!linedUp) return std::nullopt;
  return rows;
}

std::optional<std::vector<std::string>> WriteCoordinateList(
    const std::vector<CoordinateRow>& rows) {
  std::vector<std::string> lines;
  BlockWriter writer([&](const std::string& line) { lines.push_back(line); });
  for (const CoordinateRow& row : rows) {
    const std::optional<std::string> record =
        CoordinateRecord(row.name, ReadDouble(row.x), ReadDouble(row.y), ReadDouble(row.z));
    if (!record) return std::nullopt;
    writer.Append(*record);
  }
  writer.Finish(true);
  return lines;
}

std::vector<std::string> WriteCodeList(const std::vector<CodeRow>& rows) {
  std::vector<std::string> lines;
  BlockWriter writer([&](const std::string& line) { lines.push_back(line); });
  for (const CodeRow& row : rows) {
    writer.Append(":" + Fit(row.number, 3) + Fit(row.code, kItemWidth) + "_");
  }
  writer.Finish(true);
  return lines;
}

}  // namespace kavex
