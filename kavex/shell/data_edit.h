#pragma once

#include <array>
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "kavex/shell/main_logic.h"

namespace kavex {

// The two lists the data edit shows.
enum class EditKind { kCoordinates = 2, kPointCodes = 3 };

inline constexpr const char* kEditInvalidDataMessage = "Invalid data.";
// Under it when the first line of the view is neither list.
inline constexpr const char* kNeitherListText =
    "line 1: neither coordinate records (\"_ x\") nor point codes (\"_:\")";
inline constexpr const char* kErrorCaption = "Error";
inline constexpr const char* kDataInputCaption = "Data Input";
// The data edit's Japanese texts, in UTF-8 so they show as Unicode.
inline constexpr const char* kSelectOneRowMessage = "編集したい座標を１点のみ選択してください";
inline constexpr const char* kFullWidthQuestionMark = "？";
inline constexpr const char* kInvalidInputKeyMessage = "Invalid Input Key";
inline constexpr const char* kNoDataMessage = "No Data";
inline constexpr const char* kLimitOverMessage = "Limit over ";
inline constexpr const char* kCodeNumberRangeMessage = "1<=Cood Number<=50";
inline constexpr const char* kUpdateQuestion = "Do you want to update a list of coodinates?";

// EDIT MODE: the first line of the view decides what is edited; nothing when it is neither.
std::optional<EditKind> EditKindOfFirstLine(std::string_view firstLine);

// Column titles and width (pixels) of the data edit table; every row is 15 pixels high.
std::vector<std::string> EditColumnTitles(EditKind kind);
int EditColumnWidth(EditKind kind);
inline constexpr int kEditRowHeight = 15;

// The questions the data edit asks.
class DataEditPrompts {
 public:
  virtual ~DataEditPrompts() = default;
  // A message box with its own caption and an "OK" button.
  virtual void Notify(const std::string& caption, const std::string& text) = 0;
  // A confirmation of the program's message box: true on "OK".
  virtual bool Confirm(const std::string& text) = 0;
};

// "confirm to update" (TUpdateConfDlg). Made once, so its check box keeps its state.
class UpdateConfirmation {
 public:
  virtual ~UpdateConfirmation() = default;
  // True on "OK".
  virtual bool Run() = 0;
  // "Don't display this dialog. " as it stands.
  virtual bool DontDisplay() const = 0;
};

// The table of "Data Edit": a working copy of the list until the write-back. Rows hold the
// cell texts (4 for coordinates, 2 for point codes); with no rows the table shows one empty
// row.
class DataEditTable {
 public:
  using Row = std::vector<std::string>;

  explicit DataEditTable(EditKind kind) : kind_(kind) {}

  // Fills the table with the list read from the block lines of the current data. False
  // (and an empty table) when the records do not line up; where (when given) then gets
  // the line and the field, "line 3, field x: ...".
  bool Load(const std::vector<std::string>& lines, std::string* where = nullptr);
  // The list written back as block lines; nothing when a coordinate does not fit its field.
  std::optional<std::vector<std::string>> BlockLines() const;

  EditKind Kind() const { return kind_; }
  size_t ColumnCount() const { return kind_ == EditKind::kCoordinates ? 4 : 2; }
  const std::vector<Row>& Rows() const { return rows_; }
  // Rows the table shows below its titles: never fewer than one.
  size_t ShownRowCount() const { return rows_.empty() ? 1 : rows_.size(); }
  // The text of a shown cell ("" in the empty row).
  std::string Cell(size_t row, size_t column) const;
  // "Edit" and "Delete" work only while there is a data row.
  bool EditDeleteEnabled() const { return !rows_.empty(); }
  bool Changed() const { return changed_; }

  // "Edit" with the shown rows first..last selected: the values for the input dialog
  // without their blanks, or nothing after the "Error" box when not exactly one data row
  // is selected.
  std::optional<Row> EditValues(size_t first, size_t last, DataEditPrompts& prompts) const;
  // "Delete" of the rows first..last after the confirmation. True when rows were removed.
  bool Delete(size_t first, size_t last, DataEditPrompts& prompts);
  // Data input OK with its formatted values: editedRow in edit mode. Asks before
  // overwriting another row with the same name or number. True when values were stored.
  bool Store(const Row& values, std::optional<size_t> editedRow, DataEditPrompts& prompts);

 private:
  EditKind kind_;
  std::vector<Row> rows_;
  bool changed_ = false;
};

// The checks and formats of "Data Input".
struct DataInput {
  // Keys (Windows virtual-key codes) a number field takes; any other clears the field with
  // "Invalid Input Key". Enter is handled before.
  static bool IsNumberKey(int virtualKey);
  // Whether the field (0-based) filters its keys: the coordinates, and the code number.
  static bool FiltersKeys(EditKind kind, int field);
  // A coordinate field's range check (-1,000,000 < v < 10,000,000, and the stored value
  // fits its field in the blocks): the message, or nothing when the text is in range.
  // Empty text is 0 here; Enter and OK also refuse it.
  static std::optional<std::string> CoordinateProblem(const std::string& text);
  // The code number's check when its field is left: 1 to 50.
  static std::optional<std::string> CodeNumberProblem(const std::string& text);
  // The values as stored: the name "%-10s", coordinates "%9.3lf" (or "%10.3lf" below 0);
  // the code number "%03d" and the code "%-10s".
  static DataEditTable::Row Format(EditKind kind, const std::array<std::string, 4>& fields);
};

// What the data input OK decided.
enum class InputOutcome {
  kStay,    // a field was refused; the focus is on it
  kClosed,  // the dialog closes (values stored or not)
};

// "Data Input" OK: checks the fields (the message shown, focusField set to the field that
// keeps the focus), shows the formatted values in fields and stores them in the table.
InputOutcome DataInputOk(DataEditTable& table, std::array<std::string, 4>& fields,
                         std::optional<size_t> editedRow, DataEditPrompts& prompts,
                         int& focusField);

// "Data Edit" OK: the confirmation when asked for, then the table written back to the
// current data ("Invalid data." and nothing written when a value does not fit its field).
// False while the dialog stays open.
bool DataEditOk(MainLogic& logic, const DataEditTable& table, UpdateConfirmation& confirmation);

// EDIT MODE before the dialog: the edit kind of the current data, or nothing after
// "Invalid data." (neither list, or records that do not line up); chooseKind shows TDataSelectDlg
// when there is no data (nothing on Cancel).
std::optional<EditKind> ChooseEditKind(MainLogic& logic,
                                       const std::function<std::optional<EditKind>()>& chooseKind);

}  // namespace kavex
