#pragma once

#include <filesystem>
#include <functional>
#include <optional>
#include <string>
#include <string_view>

#include "kavex/formats/qrx6_fields.h"

namespace kavex {

// The options of the conversion dialog; they persist while the program runs.
struct CvtQ6to7Options {
  bool addHeader = true;
  bool angleDegrees = true;    // RadioGroup1: "Degree" / "Gon"
  bool distanceMetres = true;  // RadioGroup2: "Meter" / "Feet"
  std::string scaleText = "1.000000";
  std::string elevationText = "0";
  bool measuredFs = false;  // RadioButton1 "FS" / RadioButton2 "SS"
  bool firstIsBs = true;    // CheckBox3
};

inline constexpr const char* kInvalidScaleMessage = "Invalid value entered in Scale.";
inline constexpr const char* kInvalidElevationMessage = "Invalid value entered in Elevation.";

// The checks made when the scale and elevation edits are left: the accepted text ("%8.6f"
// of 0.9999 <= scale < 1.0001, "%+05d" of -9999..9999), or nothing when refused.
std::optional<std::string> AcceptScaleText(std::string_view text);
std::optional<std::string> AcceptElevationText(std::string_view text);

// Number of "+" fields since the last "(" field of a station record. It lives as long as
// the program (a run does not reset it), so whoever owns the program's state owns it.
struct TargetCounter {
  int count = 0;
};

// One run of the conversion QRX-6 to NWF: feed the lines of a ".qr6" file, then Finish.
// Every NWF line goes to the output as it is produced.
class Qrx6ToNwfConverter final : private Qrx6RecordSink {
 public:
  using Output = std::function<void(const std::string& line)>;
  Qrx6ToNwfConverter(const CvtQ6to7Options& options, TargetCounter& counter, Output output);

  void AddLine(std::string_view line, bool hasLineFeed) { reader_.AddLine(line, hasLineFeed); }
  void Finish() { reader_.Finish(); }

 private:
  void RecordClosed(const Qrx6Record& record) override;
  void FieldStored(int id) override;
  void WriteTarget(const Qrx6Record& record);

  CvtQ6to7Options options_;
  TargetCounter& counter_;
  Output output_;
  Qrx6FieldReader reader_{*this};
  bool headerWritten_ = false;
};

// Converts a whole file text (memory form, LF line ends) into NWF lines.
std::vector<std::string> ConvertQrx6TextToNwf(std::string_view text, const CvtQ6to7Options& options,
                                              TargetCounter& counter);

// Converts a ".qr6" file; every NWF line goes to output as it is produced, and
// betweenLines (when given) is called with the share read so far every few lines, so a
// window can repaint. False when the file cannot be opened.
bool ConvertQrx6FileToNwf(const std::filesystem::path& input, const CvtQ6to7Options& options,
                          TargetCounter& counter, const Qrx6ToNwfConverter::Output& output,
                          const std::function<void(int percent)>& betweenLines = {});

// Calls f(line, hasLineFeed) for every line of memory-form text.
void ForEachTextLine(std::string_view text, const std::function<void(std::string_view, bool)>& f);

}  // namespace kavex
