#include "ulvo/transfer/transfer_codes.h"

namespace ulvo {

namespace {

// Texts are shown to users as they stand, spelling included: translations are keyed on them.
constexpr TransferText kErrors[kTransferErrorCount] = {
    {"OK", "MSG_COMOK"},
    {"Could not open the comport", "EMSG_HANDLEINUSE"},
    {"Could not initialize the compot", "EMSG_HANDLEINIT"},
    {"Failed setting the comport-parameters", "EMSG_SETSTATE"},
    {"Failed reading the comport-parameters", "EMS_SETSTATE"},
    {"Failed setting timeout-parameters", "EMS_SETTIMEOUT"},
    {"Failed reading the comport", "EMSG_READFAIL"},
    {"Could not write handshake-character to the comport", "EMSG_WRITEHSCHAR"},
    {"Failed writing the destinationfile", "EMSG_WRITEFILE"},
    {"Failed reading the sourcefile", "EMSG_READFILE"},
    {"Failed closing the comport", "EMSG_CLOSE"},
    {"A protocol-error occurred", "EMSG_PROTOCOL"},
    {"No response was received from the intrument", "EMSG_NORESPONSE"},
    {"Could not establish correct handshake", "EMSG_NOHANDSHAKE"},
    {"Reading failed", "EMSG_READ"},
    {"Could not write data to the comport", "EMSG_WRITEDATE"},
    {"File contains no data", "EMSG_EMPTYFILE"},
    {"Specified protocol is not implemented yet", "EMSG_PROTNOTIMPLEMENTED"},
};

constexpr TransferText kStatuses[kTransferStatusCount] = {
    {"OK", "MSG_TMES_OK"},
    {"Reading the sourcefile", "MSG_TMES_READFILE"},
    {"Writing the destinationfile", "MSG_TMES_WRITEFILE"},
    {"File has been written", "MSG_TMES_FILE_WRITTEN"},
    {"File has been read", "MSG_TMES_FILE_READ"},
    {"Uploading file to instrument", "MSG_TMES_UPLOADING"},
    {"Downloading file to instument", "MSG_TMES_DOWNLOADING"},
    {"No datatranser occurred for some time", "MSG_TMES_NODATA"},
    {"Waiting for data ....", "MSG_TMES_WAITINGFORDATA"},
    {"Waiting for handshake", "MSG_TMES_HANDSHAKE"},
    {"Transfer succesful", "MSG_TMES_TRANSFEROK"},
    {"Transfer failed", "MSG_TMES_TRANSFERFAIL"},
    {"Initializing the comport", "MSG_TMES_INITIALIZING"},
    {"BCC-character failed", "MSG_TMES_BCCFAIL"},
    {"Blocknumber failed", "MSG_TMES_BLOCKFAIL"},
    {"File does not contain any data", "MSG_TMES_EMPTYFILE"},
    {"Waiting for instrument (Xoff received)", "MSG_TMES_XOFFRECEIVED"},
};

}  // namespace

const TransferText* TransferErrorText(uint32_t code) {
  return code < kTransferErrorCount ? &kErrors[code] : nullptr;
}

const TransferText* TransferStatusText(uint32_t code) {
  return code < kTransferStatusCount ? &kStatuses[code] : nullptr;
}

}  // namespace ulvo
