#pragma once

#include <cstdint>

namespace ulvo {

// A message of the transfer engine: the text shown when no translation exists, and the key
// the translations are looked up by.
struct TransferText {
  const char* text;
  const char* key;
};

// What went wrong in a transfer; the numbers are those the engine reports and Run returns.
enum TransferError : uint32_t {
  kErrorNone = 0,
  kErrorHandleInUse = 1,  // a transfer is already running on the port
  kErrorPortNotOpened = 2,
  kErrorSetState = 3,
  kErrorReadState = 4,
  kErrorSetTimeouts = 5,
  kErrorReadFailed = 6,
  kErrorWriteHandshake = 7,
  kErrorWriteFile = 8,
  kErrorReadFile = 9,
  kErrorClose = 10,
  kErrorProtocol = 11,
  kErrorNoResponse = 12,
  kErrorNoHandshake = 13,
  kErrorRead = 14,
  kErrorWriteData = 15,
  kErrorEmptyFile = 16,
  kErrorNotImplemented = 17,
};
inline constexpr uint32_t kTransferErrorCount = 18;

// Where a transfer stands.
enum TransferStatus : uint32_t {
  kStatusOk = 0,
  kStatusReadingFile = 1,
  kStatusWritingFile = 2,
  kStatusFileWritten = 3,
  kStatusFileRead = 4,
  kStatusUploading = 5,
  kStatusDownloading = 6,
  kStatusNoData = 7,
  kStatusWaitingForData = 8,
  kStatusWaitingForHandshake = 9,
  kStatusTransferOk = 10,
  kStatusTransferFailed = 11,
  kStatusInitializing = 12,
  kStatusBccFailed = 13,
  kStatusBlockFailed = 14,
  kStatusEmptyFile = 15,
  kStatusXoffReceived = 16,
};
inline constexpr uint32_t kTransferStatusCount = 17;

// nullptr for a code outside the table (the view then leaves its message as it was).
const TransferText* TransferErrorText(uint32_t code);
const TransferText* TransferStatusText(uint32_t code);

}  // namespace ulvo
