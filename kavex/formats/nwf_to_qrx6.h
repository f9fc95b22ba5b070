#pragma once

#include <filesystem>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

#include "kavex/formats/nwf_line.h"
#include "kavex/formats/qrx6_block.h"

namespace kavex {

class TextLineReader;

// The options of the confirmation dialog for the conversion NWF to QRX-6; they stay with
// the main window between runs.
struct NwfToQrx6Options {
  char angleUnit = 'D';     // 'D' degree, 'G' gon
  char distanceUnit = 'M';  // 'M' metre, 'F' feet
  double k = 0.0;           // refraction coefficient: 0, 0.14 or 0.2
};

// 1 / (2 x earth radius) as the curvature term divides by it.
inline constexpr double kCurvatureDivisor = 2 * kEarthRadius;
inline constexpr double kDegreesPerRadian = 57.29577951308232;
inline constexpr double kGonPerRadian = 63.66197723675813;

// Decimal degrees as the whole number dddmmss, seconds rounded and carried into the minutes
// and degrees; 360 degrees become 0.
long DegreesToDms(double degrees);

// The measurement field that the observation line after a target gives ("HV", "SD", "HD"
// in columns 1 to 8); empty for any other line. line is as read, with its line feed.
std::string MeasurementField(std::string_view line, const NwfToQrx6Options& options);

// One run of the conversion NWF to QRX-6: feed the lines of an NWF file, then Finish. Every
// finished 134-character block line goes to the output as soon as it is complete.
class NwfToQrx6Converter {
 public:
  NwfToQrx6Converter(const NwfToQrx6Options& options, BlockStreamWriter::Output output);

  // One line as read, with its final line feed when it had one.
  void AddLine(std::string_view line);
  // Ends the stream with "_" and pads the last block.
  void Finish();

 private:
  void WriteTarget(std::string_view observation);

  NwfToQrx6Options options_;
  BlockStreamWriter blocks_;
  // The target line whose observation line is still to come.
  bool targetPending_ = false;
  NwfKeyword targetKeyword_ = NwfKeyword::None;
  std::vector<std::string> targetValues_;
};

// Converts the lines of an opened NWF file; betweenLines (when given) is called with the
// share read so far every few lines, so a window can repaint.
void ConvertNwfToQrx6(TextLineReader& reader, const NwfToQrx6Options& options,
                      const BlockStreamWriter::Output& output,
                      const std::function<void(int percent)>& betweenLines = {});
// The same for a file name. False when the file cannot be opened.
bool ConvertNwfFileToQrx6(const std::filesystem::path& input, const NwfToQrx6Options& options,
                          const BlockStreamWriter::Output& output);
// Converts a whole file text (memory form, LF line ends) into block lines.
std::vector<std::string> ConvertNwfTextToQrx6(std::string_view text,
                                              const NwfToQrx6Options& options);

}  // namespace kavex
