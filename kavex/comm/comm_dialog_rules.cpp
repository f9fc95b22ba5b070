#include "kavex/comm/comm_dialog_rules.h"

#include "kavex/formats/text_format.h"

namespace kavex {

CommSettings ApplyPreparation(const CommSettings& settings, const CommStatusPreparation& prep) {
  CommSettings s = settings;
  if (prep.forceAckNak) s.useAckNak = *prep.forceAckNak;
  if (prep.forceSevenBits) s.sevenBits = *prep.forceSevenBits;
  if (prep.forceStopBits) s.stopBits = *prep.forceStopBits;
  return s;
}

namespace {
constexpr int kRateCodeOfItem[] = {4, 1, 3, 0, 2, 5};
}

int RateItemOfCode(int rateCode) {
  for (int i = 0; i < 6; ++i)
    if (kRateCodeOfItem[i] == rateCode) return i;
  return 1;  // 9600
}

int RateCodeOfItem(int item) {
  return item >= 0 && item < 6 ? kRateCodeOfItem[item] : 1;
}

const AdvancedField& AdvancedFieldAt(int index) {
  static const AdvancedField kFields[] = {
      {"Block interval (ms)                      :", "from 100 to 999", 100, 999, "%-4u", 4,
       "Invalid value entered in Block Interval"},
      {"Delay time before sending (ms)    :", "from 10 to 999", 10, 999, "%-3u", 3,
       "Invalid value entered in Delay time"},
      {"Receiving time out (ms)               :", "from 1000 to 60000", 1000, 60000, "%-5u", 5,
       "Invalid value entered in Receiving time out"},
  };
  return kFields[index < 0 ? 0 : index > 2 ? 2 : index];
}

std::optional<std::string> CheckAdvancedField(int index, const std::string& text) {
  const AdvancedField& f = AdvancedFieldAt(index);
  // Digits beyond the range's width are out of range whatever their value.
  size_t i = 0;
  while (i < text.size() && text[i] == ' ') ++i;
  size_t digits = 0;
  while (i + digits < text.size() && text[i + digits] >= '0' && text[i + digits] <= '9') ++digits;
  if (digits == 0 || digits > 6) return std::nullopt;
  const unsigned v = static_cast<unsigned>(std::stoul(text.substr(i, digits)));
  if (v < f.minimum || v > f.maximum) return std::nullopt;
  return Format(f.format, v);
}

}  // namespace kavex
