#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace kavex {

// NWF lines: keyword in columns 1 to 8 ("%-8s"), values from column 9 separated by commas.
inline constexpr const char* kNwfHeaderLine = "QRX-700 v3.0";
inline constexpr size_t kNwfKeywordColumns = 8;

enum class NwfKeyword { None, Job, Name, Inst, Date, Units, Scale, Stn, Bs, Ss, Fs };
enum class NwfObservation { None, Hv, Sd, Hd };

// Keyword test: the first of JOB, NAME, INST, DATE, UNITS, SCALE, STN, BS, SS, FS that
// occurs anywhere in columns 1 to 8.
NwfKeyword FindNwfKeyword(std::string_view line);
// The same for the line after a target: HV, SD, HD.
NwfObservation FindNwfObservation(std::string_view line);

// Value scan. line is as read, with its final line feed when it had one; the line feed
// never belongs to a value, and a last line without one keeps its last character. Values start at
// column 9, run to the next comma and keep their blanks. A line with nothing from column 9 gives no
// value; a line of any length is scanned whole.
std::vector<std::string> ScanNwfValues(std::string_view line);

// Writer formats.
std::string NwfTextLine(const char* keyword, std::string_view text);  // "%-8s%s"
std::string NwfTargetLine(const char* keyword, std::string_view a, std::string_view b,
                          std::string_view c);                    // "%-8s%s,%s,%s"
std::string NwfTempLine(std::string_view a, std::string_view b);  // "%-8s%s, %s"
std::string NwfUnitsLine(bool metres, bool degrees);
std::string NwfScaleLine(double scale, int elevation);
std::string NwfCoordinateLine(std::string_view point, double c1, double c2, double c3);

// Earth radius in metres used for the combined scale factor.
inline constexpr double kEarthRadius = 6372000.0;
double CombinedScaleFactor(double scale, int elevation);

}  // namespace kavex
