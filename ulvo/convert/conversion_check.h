#pragma once

#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <optional>
#include <pugixml.hpp>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "ulvo/engine/diagnostics.h"
#include "ulvo/engine/format_definition.h"
#include "ulvo/engine/parser.h"

namespace ulvo {

// One value that did not survive the target layout. Record numbers count the records of
// the document that was written, from 1; an absent value reads "(none)".
struct CheckDifference {
  size_t record = 0;
  std::string element;  // element identifier, "GROUP/ELEMENT" inside a nested record
  std::string written;
  std::string readBack;
};

// A value the writer found wider than its fixed field (written in full all the same).
struct TooWideValue {
  size_t record = 0;  // 0: a value outside every record
  std::string element;
  std::string value;
  int width = 0;
};

inline constexpr size_t kMaxReportedDifferences = 20;
inline constexpr const char* kNoValue = "(none)";

// The target file read back with its own format and compared with what was written.
struct ConversionCheck {
  bool ran = false;
  size_t count = 0;                      // every difference found, the values too wide included
  std::vector<TooWideValue> tooWide;     // the first kMaxReportedDifferences values too wide
  size_t tooWideCount = 0;               // all of them
  std::vector<CheckDifference> first;    // the first kMaxReportedDifferences read-back ones
  std::optional<ParseFailure> readBack;  // the target did not read back whole
  size_t readBackRecord = 0;             // the written record where reading back stopped
  bool Clean() const { return count == 0; }
};

// The records of an instrument data document as flat values, noted before the write takes
// them out of the document, held compactly so that the check never needs a second document.
class WrittenRecords {
 public:
  // Notes one top-level element as the target sees it; the records are numbered from 1 in
  // the order noted.
  void Add(pugi::xml_node record);
  // The same, the element given as its name and flat values.
  void Add(std::string_view name, const std::vector<FlatValue>& values);
  size_t Count() const { return unwritten_.size(); }
  // Room for this many bytes of values, so that they are not copied as they grow.
  void Reserve(size_t bytes) { text_.Reserve(bytes); }
  // Records the writer left in the document (by number) were not written; they are reported.
  void MarkUnwritten(const std::vector<size_t>& numbers);
  // Reads output back with target and compares record by record while it is read. The
  // values the writer found too wide are listed first; reading back does not report again
  // the records they spoil, nor a read that stops at or after the first of them. memory, when
  // given, is read into (see RecordSink::ShareMemory).
  ConversionCheck Check(FormatDefinition& target, const std::filesystem::path& output,
                        const std::vector<FieldOverflow>& overflows = {},
                        ByteBlock* memory = nullptr) const;

 private:
  friend class ReadBackComparison;

  // Each record's shape (its name, then the path of each value) is kept once among shapes_;
  // text_ holds the text of its values, record after record. Every part is ended by a zero byte
  // (document text never holds one).
  ByteBlock text_;
  // Records are compared in the order noted, so their values are found by walking text_
  // and each run of records of one shape is kept once: (first record, shape).
  struct Run {
    size_t first;
    uint32_t shape;
  };
  BlockArray<Run> runs_;
  std::vector<std::string> shapes_;
  std::unordered_map<std::string, uint32_t> shapeNumbers_;
  std::string shape_;  // the shape being noted
  // The shapes met last, split, the newest first; lastShape_ is the last run's.
  struct RecentShape {
    std::string name;
    std::vector<std::string> paths;
    uint32_t number;
  };
  static constexpr size_t kRecentShapes = 4;
  std::vector<RecentShape> recent_;
  uint32_t lastShape_ = 0;
  std::string held_;  // the paths of a record being noted from its node
  std::vector<FlatValue> flat_;
  std::vector<bool> unwritten_;
};

// Numbers compare as numbers within the decimals read back, other texts exactly.
bool SameValue(std::string_view written, std::string_view readBack);

// "record 1, element N: +5000291449 needs 11 characters, the field holds 10"
std::string DescribeTooWide(const TooWideValue& value);

// The report lines for a check with differences: a heading, then one line each.
std::vector<std::string> DescribeCheck(const ConversionCheck& check,
                                       const std::filesystem::path& output,
                                       const std::string& targetName);

}  // namespace ulvo
