#include "ulvo/transfer/transfer_codes.h"

#include <cstddef>
#include <iterator>

namespace ulvo {

namespace {

struct ErrorRow {
  TransferError code;
  TransferText text;
};
struct StatusRow {
  TransferStatus code;
  TransferText text;
};

// Texts are shown to users as they stand, spelling included: translations are keyed on them.
constexpr ErrorRow kErrors[] = {
    {kErrorNone, {"OK", "MSG_COMOK"}},
    {kErrorHandleInUse, {"Could not open the comport", "EMSG_HANDLEINUSE"}},
    {kErrorPortNotOpened, {"Could not initialize the compot", "EMSG_HANDLEINIT"}},
    {kErrorSetState, {"Failed setting the comport-parameters", "EMSG_SETSTATE"}},
    {kErrorReadState, {"Failed reading the comport-parameters", "EMS_SETSTATE"}},
    {kErrorSetTimeouts, {"Failed setting timeout-parameters", "EMS_SETTIMEOUT"}},
    {kErrorReadFailed, {"Failed reading the comport", "EMSG_READFAIL"}},
    {kErrorWriteHandshake,
     {"Could not write handshake-character to the comport", "EMSG_WRITEHSCHAR"}},
    {kErrorWriteFile, {"Failed writing the destinationfile", "EMSG_WRITEFILE"}},
    {kErrorReadFile, {"Failed reading the sourcefile", "EMSG_READFILE"}},
    {kErrorClose, {"Failed closing the comport", "EMSG_CLOSE"}},
    {kErrorProtocol, {"A protocol-error occurred", "EMSG_PROTOCOL"}},
    {kErrorNoResponse, {"No response was received from the intrument", "EMSG_NORESPONSE"}},
    {kErrorNoHandshake, {"Could not establish correct handshake", "EMSG_NOHANDSHAKE"}},
    {kErrorRead, {"Reading failed", "EMSG_READ"}},
    {kErrorWriteData, {"Could not write data to the comport", "EMSG_WRITEDATE"}},
    {kErrorEmptyFile, {"File contains no data", "EMSG_EMPTYFILE"}},
    {kErrorNotImplemented,
     {"Specified protocol is not implemented yet", "EMSG_PROTNOTIMPLEMENTED"}},
};

constexpr StatusRow kStatuses[] = {
    {kStatusOk, {"OK", "MSG_TMES_OK"}},
    {kStatusReadingFile, {"Reading the sourcefile", "MSG_TMES_READFILE"}},
    {kStatusWritingFile, {"Writing the destinationfile", "MSG_TMES_WRITEFILE"}},
    {kStatusFileWritten, {"File has been written", "MSG_TMES_FILE_WRITTEN"}},
    {kStatusFileRead, {"File has been read", "MSG_TMES_FILE_READ"}},
    {kStatusUploading, {"Uploading file to instrument", "MSG_TMES_UPLOADING"}},
    {kStatusDownloading, {"Downloading file to instument", "MSG_TMES_DOWNLOADING"}},
    {kStatusNoData, {"No datatranser occurred for some time", "MSG_TMES_NODATA"}},
    {kStatusWaitingForData, {"Waiting for data ....", "MSG_TMES_WAITINGFORDATA"}},
    {kStatusWaitingForHandshake, {"Waiting for handshake", "MSG_TMES_HANDSHAKE"}},
    {kStatusTransferOk, {"Transfer succesful", "MSG_TMES_TRANSFEROK"}},
    {kStatusTransferFailed, {"Transfer failed", "MSG_TMES_TRANSFERFAIL"}},
    {kStatusInitializing, {"Initializing the comport", "MSG_TMES_INITIALIZING"}},
    {kStatusBccFailed, {"BCC-character failed", "MSG_TMES_BCCFAIL"}},
    {kStatusBlockFailed, {"Blocknumber failed", "MSG_TMES_BLOCKFAIL"}},
    {kStatusEmptyFile, {"File does not contain any data", "MSG_TMES_EMPTYFILE"}},
    {kStatusXoffReceived, {"Waiting for instrument (Xoff received)", "MSG_TMES_XOFFRECEIVED"}},
};

// Each row sits at its code, so a code finds its text by index.
template <typename Row, size_t N>
constexpr bool RowsAtTheirCodes(const Row (&rows)[N]) {
  for (size_t i = 0; i < N; ++i)
    if (rows[i].code != i) return false;
  return true;
}
static_assert(std::size(kErrors) == kTransferErrorCount && RowsAtTheirCodes(kErrors));
static_assert(std::size(kStatuses) == kTransferStatusCount && RowsAtTheirCodes(kStatuses));

}  // namespace

const TransferText* TransferErrorText(uint32_t code) {
  return code < kTransferErrorCount ? &kErrors[code].text : nullptr;
}

const TransferText* TransferStatusText(uint32_t code) {
  return code < kTransferStatusCount ? &kStatuses[code].text : nullptr;
}

}  // namespace ulvo
