#pragma once

#include <string>
#include <string_view>

namespace kavex {

// The measurement blocks the instrument takes, as fields of the QRX-6 stream ("_ <",
// "_ ?", "_ R" and their values). Angles are whole numbers dddmmss (degrees) or gon x 10000,
// the vertical angle is the zenith angle, distances are in millimetres. Each block ends with
// its field checksum: XorCheckText of the field from its code's second character on.

// " <": zenith, "+", horizontal, "+****", angle letter ("d" or "g").
std::string AnglesBlockField(long zenith, long horizontal, char angleLetter);
// " ?": "+", slope distance, distance letter ("m" or "f"), zenith, "+", horizontal, angle
// letter, "+", horizontal distance, "***+**+**".
std::string SlopeBlockField(long slope, long zenith, long horizontal, long horizontalDistance,
                            char angleLetter, char distanceLetter);
// " R": "+", horizontal distance, distance letter, zenith, "+", horizontal, angle letter,
// the height difference ("+" and 8 digits, or 9 characters with its minus sign),
// "***+**+**".
std::string HorizontalBlockField(long horizontalDistance, long zenith, long horizontal,
                                 long heightDifference, char angleLetter, char distanceLetter);

}  // namespace kavex
