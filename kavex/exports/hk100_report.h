#pragma once

#include <filesystem>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

namespace kavex {

// HK-100 level data: one comma-separated line per record. A field is stored only when a
// comma follows it; a field holds at most 18 characters and a 19-character field ends the
// splitting of the line. At most 21 fields are kept.
inline constexpr size_t kHkMaxFields = 21;
inline constexpr size_t kHkMaxFieldLength = 18;
std::vector<std::string> SplitHkFields(std::string_view line);

inline constexpr const char* kHkReportTitle = "      HK-100 TEXT ";

// Builds the level-book text report line by line: Start writes the title, then every
// data line adds the lines of its record.
class Hk100Report {
 public:
  using Output = std::function<void(const std::string& line)>;
  explicit Hk100Report(Output output) : output_(std::move(output)) {}

  void Start() { output_(kHkReportTitle); }
  void AddLine(std::string_view line);

 private:
  void Emit(const std::string& line) { output_(line); }
  void Blank() { output_(std::string()); }

  Output output_;
  char previousType_ = 0;
};

// The report of an ".hk1" file, title first; betweenLines (when given) is called with the
// share read so far every few lines. False when the file cannot be opened.
bool MakeHk100ReportFromFile(const std::filesystem::path& input, const Hk100Report::Output& output,
                             const std::function<void(int percent)>& betweenLines = {});

// The whole report for a file text in memory form.
std::vector<std::string> MakeHk100Report(std::string_view text);

}  // namespace kavex
