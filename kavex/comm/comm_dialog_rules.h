#pragma once

#include <optional>
#include <string>

#include "kavex/comm/comm_settings.h"

namespace kavex {

// How a command prepares "Comm Status" (TTusinSetDlg) before showing it; each transfer
// family has its own (shell/transfer_families).
struct CommStatusPreparation {
  std::string instrumentLabel{};
  std::string directionLabel{};
  bool protocolEnabled = true;
  std::optional<bool> forceAckNak{};
  bool writeTextFileShown = false;
  bool readTextFileShown = false;
  bool charactersEnabled = true;
  std::optional<bool> forceSevenBits{};
  bool stopBitsEnabled = true;
  std::optional<int> forceStopBits{};
};

// How a command prepares "Advanced Options" (TAdvancedDlg).
struct AdvancedPreparation {
  bool blockIntervalEnabled = false;
  bool delayTimeEnabled = false;
  bool receiveTimeoutEnabled = true;
  bool checkBlockNumberShown = false;
  bool checkBlockSumShown = false;
  bool addEndBlockShown = false;
};

// The settings as the dialog's controls show them once the command has forced its values.
CommSettings ApplyPreparation(const CommSettings& settings, const CommStatusPreparation& prep);

// "Baud Rate (bps)" radio items in order 1200, 9600, 2400, 19200, 4800, 38400.
int RateItemOfCode(int rateCode);
int RateCodeOfItem(int item);

// The three numeric fields of "Advanced Options".
struct AdvancedField {
  const char* caption;
  const char* hint;
  unsigned minimum;
  unsigned maximum;
  const char* format;  // how an accepted value is rewritten
  size_t keptLength;   // characters copied into the settings on "OK"
  const char* invalidMessage;
};
inline constexpr int kBlockIntervalField = 0;
inline constexpr int kDelayTimeField = 1;
inline constexpr int kReceiveTimeoutField = 2;
const AdvancedField& AdvancedFieldAt(int index);

// A field's text when it loses the focus: the rewritten text when the number is in range,
// nothing when it is not (the caller shows invalidMessage and puts the stored text back).
std::optional<std::string> CheckAdvancedField(int index, const std::string& text);

}  // namespace kavex
