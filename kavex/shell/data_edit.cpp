#include "kavex/shell/data_edit.h"

#include <algorithm>

#include "kavex/formats/number_text.h"
#include "kavex/formats/point_lists.h"
#include "kavex/formats/text_format.h"

namespace kavex {
namespace {

// Cell texts are data bytes, shown as Latin-1; messages are UTF-8.
std::string Latin1ToUtf8(std::string_view bytes) {
  std::string out;
  out.reserve(bytes.size());
  for (const char ch : bytes) {
    const auto c = static_cast<unsigned char>(ch);
    if (c < 0x80) {
      out.push_back(ch);
    } else {
      out.push_back(static_cast<char>(0xC0 | (c >> 6)));
      out.push_back(static_cast<char>(0x80 | (c & 0x3F)));
    }
  }
  return out;
}

std::string TrimRight(std::string_view text) {
  const size_t end = text.find_last_not_of(' ');
  return std::string(end == std::string_view::npos ? std::string_view() : text.substr(0, end + 1));
}

std::string Trim(std::string_view text) {
  const size_t start = text.find_first_not_of(' ');
  if (start == std::string_view::npos) return {};
  return TrimRight(text.substr(start));
}

}  // namespace

std::optional<EditKind> EditKindOfFirstLine(std::string_view firstLine) {
  if (firstLine.find("_ x") != std::string_view::npos) return EditKind::kCoordinates;
  if (firstLine.find("_:") != std::string_view::npos) return EditKind::kPointCodes;
  return std::nullopt;
}

std::vector<std::string> EditColumnTitles(EditKind kind) {
  if (kind == EditKind::kCoordinates)
    return {std::begin(kCoordinateColumns), std::end(kCoordinateColumns)};
  return {std::begin(kCodeColumns), std::end(kCodeColumns)};
}

int EditColumnWidth(EditKind kind) {
  return kind == EditKind::kCoordinates ? 80 : 150;
}

bool DataEditTable::Load(const std::vector<std::string>& lines, std::string* where) {
  rows_.clear();
  changed_ = false;
  RecordStop stop;
  const auto refuse = [&] {
    if (where) *where = stop.place.line > 0 ? RecordStopText(stop) : std::string();
    return false;
  };
  if (kind_ == EditKind::kCoordinates) {
    std::optional<std::vector<CoordinateRow>> list = ReadCoordinateList(lines, &stop);
    if (!list) return refuse();
    for (CoordinateRow& r : *list)
      rows_.push_back({std::move(r.name), std::move(r.x), std::move(r.y), std::move(r.z)});
  } else {
    std::optional<std::vector<CodeRow>> list = ReadCodeList(lines, &stop);
    if (!list) return refuse();
    for (CodeRow& r : *list) rows_.push_back({std::move(r.number), std::move(r.code)});
  }
  return true;
}

std::optional<std::vector<std::string>> DataEditTable::BlockLines() const {
  if (kind_ == EditKind::kCoordinates) {
    std::vector<CoordinateRow> rows;
    rows.reserve(rows_.size());
    for (const Row& r : rows_) rows.push_back({r[0], r[1], r[2], r[3]});
    return WriteCoordinateList(rows);
  }
  std::vector<CodeRow> rows;
  rows.reserve(rows_.size());
  for (const Row& r : rows_) rows.push_back({r[0], r[1]});
  return WriteCodeList(rows);
}

std::string DataEditTable::Cell(size_t row, size_t column) const {
  if (row >= rows_.size() || column >= rows_[row].size()) return {};
  return rows_[row][column];
}

std::optional<DataEditTable::Row> DataEditTable::EditValues(size_t first, size_t last,
                                                            DataEditPrompts& prompts) const {
  if (first != last || first >= rows_.size()) {
    prompts.Notify(kErrorCaption, kSelectOneRowMessage);
    return std::nullopt;
  }
  Row values;
  for (const std::string& cell : rows_[first]) values.push_back(Trim(cell));
  return values;
}

bool DataEditTable::Delete(size_t first, size_t last, DataEditPrompts& prompts) {
  if (rows_.empty() || first > last || first >= rows_.size()) return false;
  last = std::min(last, rows_.size() - 1);
  const std::string what = kind_ == EditKind::kCoordinates ? "PtNo(" : "CODE NUMBER(";
  const std::string firstKey = Latin1ToUtf8(TrimRight(rows_[first][0]));
  const std::string text = first == last ? what + firstKey + ") Delete" + kFullWidthQuestionMark
                                         : what + "from " + firstKey + " to " +
                                               Latin1ToUtf8(TrimRight(rows_[last][0])) +
                                               ") Delete" + kFullWidthQuestionMark;
  if (!prompts.Confirm(text)) return false;
  rows_.erase(rows_.begin() + static_cast<std::ptrdiff_t>(first),
              rows_.begin() + static_cast<std::ptrdiff_t>(last) + 1);
  changed_ = true;
  return true;
}

bool DataEditTable::Store(const Row& values, std::optional<size_t> editedRow,
                          DataEditPrompts& prompts) {
  if (editedRow && *editedRow >= rows_.size()) editedRow.reset();
  for (size_t i = 0; i < rows_.size(); ++i) {
    if (editedRow && i == *editedRow) continue;
    if (rows_[i][0] != values[0]) continue;
    if (!prompts.Confirm(Latin1ToUtf8(Trim(values[0])) + " already exists Overwrite?"))
      return false;
    rows_[i] = values;
    changed_ = true;
    return true;
  }
  if (editedRow) {
    rows_[*editedRow] = values;
  } else {
    rows_.push_back(values);
  }
  changed_ = true;
  return true;
}

bool DataInput::IsNumberKey(int vk) {
  return vk == 8 || vk == 9 || vk == 13 || (vk >= 35 && vk <= 40) || vk == 46 ||
         (vk >= 48 && vk <= 57) || (vk >= 96 && vk <= 105) || vk == 109 || vk == 110 || vk == 189 ||
         vk == 190;
}

bool DataInput::FiltersKeys(EditKind kind, int field) {
  return kind == EditKind::kCoordinates ? field >= 1 && field <= 3 : field == 0;
}

namespace {

// A coordinate as the table stores it.
std::string StoredCoordinate(double v) {
  return kavex::Format(v >= 0 ? "%9.3lf" : "%10.3lf", v);
}

}  // namespace

std::optional<std::string> DataInput::CoordinateProblem(const std::string& text) {
  const double v = ReadDouble(text);
  // The stored value is what the blocks get: one that rounds over the end of the range
  // (9999999.9996) would not fit its field there.
  if (v > -1'000'000.0 && v < 10'000'000.0 && CoordinateFits(ReadDouble(StoredCoordinate(v))))
    return std::nullopt;
  return kLimitOverMessage;
}

std::optional<std::string> DataInput::CodeNumberProblem(const std::string& text) {
  const long n = ReadLong(text);
  if (n >= 1 && n <= 50) return std::nullopt;
  return kCodeNumberRangeMessage;
}

DataEditTable::Row DataInput::Format(EditKind kind, const std::array<std::string, 4>& fields) {
  if (kind == EditKind::kPointCodes)
    return {kavex::Format("%03d", ReadInt(fields[0])), kavex::Format("%-10s", fields[1].c_str())};
  DataEditTable::Row row{kavex::Format("%-10s", fields[0].c_str())};
  for (int i = 1; i <= 3; ++i) row.push_back(StoredCoordinate(ReadDouble(fields[i])));
  return row;
}

InputOutcome DataInputOk(DataEditTable& table, std::array<std::string, 4>& fields,
                         std::optional<size_t> editedRow, DataEditPrompts& prompts,
                         int& focusField) {
  const EditKind kind = table.Kind();
  const int count = static_cast<int>(table.ColumnCount());
  if (fields[0].empty()) {
    prompts.Notify(kDataInputCaption, kNoDataMessage);
    focusField = 0;
    return InputOutcome::kStay;
  }
  for (int i = 1; i < count; ++i) {
    if (fields[static_cast<size_t>(i)].empty()) {
      prompts.Notify(kDataInputCaption, kNoDataMessage);
      return InputOutcome::kClosed;
    }
  }
  // A value out of range would not fit its field in the blocks: refused as on leaving it.
  for (int i = 0; i < count; ++i) {
    if (!DataInput::FiltersKeys(kind, i)) continue;
    const std::string& text = fields[static_cast<size_t>(i)];
    const auto problem = kind == EditKind::kCoordinates ? DataInput::CoordinateProblem(text)
                                                        : DataInput::CodeNumberProblem(text);
    if (problem) {
      prompts.Notify(kDataInputCaption, *problem);
      focusField = i;
      return InputOutcome::kStay;
    }
  }
  const DataEditTable::Row values = DataInput::Format(kind, fields);
  for (size_t i = 0; i < values.size(); ++i) fields[i] = values[i];
  table.Store(values, editedRow, prompts);
  return InputOutcome::kClosed;
}

bool DataEditOk(MainLogic& logic, const DataEditTable& table, UpdateConfirmation& confirmation) {
  if (!table.Changed()) return true;
  bool& show = logic.Settings().showUpdateDialog;
  if (show && !confirmation.Run()) {
    show = !confirmation.DontDisplay();
    return false;
  }
  const std::optional<std::vector<std::string>> lines = table.BlockLines();
  if (!lines) {
    // A value that does not fit its field would shift every later one: nothing is written.
    logic.ShowMessage(kEditInvalidDataMessage);
    return false;
  }
  logic.View().SetLines(*lines);
  if (show) show = !confirmation.DontDisplay();
  return true;
}

std::optional<EditKind> ChooseEditKind(MainLogic& logic,
                                       const std::function<std::optional<EditKind>()>& chooseKind) {
  DataView& view = logic.View();
  // Lines without a file or a change (a fresh conversion result) are data too.
  if (logic.hasFile || view.Modified() || view.LineCount() > 0) {
    const std::vector<std::string> lines = view.Lines();
    const std::optional<EditKind> kind = EditKindOfFirstLine(lines.empty() ? "" : lines.front());
    // Records that do not line up would be shown, and saved back, with shifted values.
    std::string where = kNeitherListText;
    if (!kind || !DataEditTable(*kind).Load(lines, &where)) {
      logic.ShowMessage(where.empty() ? std::string(kEditInvalidDataMessage)
                                      : std::string(kEditInvalidDataMessage) + "\n" + where);
      return std::nullopt;
    }
    return kind;
  }
  return chooseKind();
}

}  // namespace kavex
