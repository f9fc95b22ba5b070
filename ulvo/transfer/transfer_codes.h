#pragma once

#include <cstdint>

namespace ulvo {

// A message of the transfer engine: the text shown when no translation exists, and the key
// the translations are looked up by.
struct TransferText {
  const char* text;
  const char* key;
};

inline constexpr uint32_t kTransferErrorCount = 18;
// "Could not initialize the compot": the port could not be opened.
inline constexpr uint32_t kErrorPortNotOpened = 2;
inline constexpr uint32_t kTransferStatusCount = 17;

// nullptr for a code outside the table (the view then leaves its message as it was).
const TransferText* TransferErrorText(uint32_t code);
const TransferText* TransferStatusText(uint32_t code);

}  // namespace ulvo
