#include "kavex/formats/measurement_block.h"

#include "kavex/formats/text_format.h"
#include "kavex/formats/xor_check.h"

namespace kavex {
namespace {

// "_ " and the code, the body and the checksum over code and body.
std::string Field(char code, const std::string& body) {
  const std::string checked = code + body;
  return "_ " + checked + XorCheckText(checked);
}

}  // namespace

std::string AnglesBlockField(long zenith, long horizontal, char angleLetter) {
  return Field('<', Format("%07ld+%07ld+****%c", zenith, horizontal, angleLetter));
}

std::string SlopeBlockField(long slope, long zenith, long horizontal, long horizontalDistance,
                            char angleLetter, char distanceLetter) {
  return Field('?', Format("+%08ld%c%07ld+%07ld%c+%08ld***+**+**", slope, distanceLetter, zenith,
                           horizontal, angleLetter, horizontalDistance));
}

std::string HorizontalBlockField(long horizontalDistance, long zenith, long horizontal,
                                 long heightDifference, char angleLetter, char distanceLetter) {
  const std::string height = heightDifference >= 0 ? Format("+%08ld", heightDifference)
                                                   : Format("%09ld", heightDifference);
  return Field('R', Format("+%08ld%c%07ld+%07ld%c", horizontalDistance, distanceLetter, zenith,
                           horizontal, angleLetter) +
                        height + "***+**+**");
}

}  // namespace kavex
