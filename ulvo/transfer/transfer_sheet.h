#pragma once

#include <cstdint>
#include <optional>
#include <vector>

#include "ulvo/transfer/instrument.h"
#include "ulvo/transfer/transfer_codes.h"

namespace ulvo {

namespace sheet_texts {
inline constexpr TransferText kSpeed{"Speed", "TP_SPEED"};
inline constexpr TransferText kBaudrate{" &Baudrate ", "TP_BAUDRATE"};
inline constexpr TransferText kParity{" &Parity ", "TP_PARITY"};
inline constexpr TransferText kDataBits{" &Data bits ", "TP_DATABITS"};
inline constexpr TransferText kStopBits{" S&top bits ", "TP_STOPBITS"};
inline constexpr TransferText kHandshake{"Handshake && Format", "TP_HANDSHAKE"};
inline constexpr TransferText kSoftware{" &Software handshake ", "TP_HSSOFTWARE"};
inline constexpr TransferText kHardware{" &Hardware handshake ", "TP_HSHARDWARE"};
inline constexpr TransferText kFormat{" &Format ", "TP_FORMAT"};
inline constexpr TransferText kOk{"OK", "DT_PROP_OK"};
inline constexpr TransferText kCancel{"Cancel", "DT_PROP_CANCEL"};
inline constexpr TransferText kUploadTitle{"Upload parameters", "DT_UPLOADPARAMS"};
inline constexpr TransferText kDownloadTitle{"Download parameters", "DT_DOWNLOADPARAMS"};
inline constexpr TransferText kFormatHandshake{
    "The format selected has to use the\nsoftware handshake currently selected.",
    "EMSG_FORMATHANDSHAKE"};
inline constexpr TransferText kDetect{"D&etect...", "TP_DETECT"};
inline constexpr TransferText kDetectTip{
    "Listen on the port while the instrument sends, and find its line settings", "TP_DETECTTIP"};
inline constexpr TransferText kDetectTitle{"Detect", "TP_DETECTTITLE"};
inline constexpr TransferText kDetectPrompt{"Start sending on the instrument now\u2026",
                                            "TP_DETECTPROMPT"};
inline constexpr TransferText kDetectUse{"Use these settings?", "TP_DETECTUSE"};
inline constexpr TransferText kDetectNotAllowed{
    "The instrument file does not allow %1 for this instrument: set the instrument to "
    "settings the sheet offers.",
    "TP_DETECTNOTALLOWED"};
// Every text the sheet's detection shows, for the translations to cover.
inline constexpr const TransferText* kDetectTexts[] = {
    &kDetect, &kDetectTip, &kDetectTitle, &kDetectPrompt, &kDetectUse, &kDetectNotAllowed};
}  // namespace sheet_texts

// The speed page's choice: one bit per mask (0 when a group has no button checked).
struct SpeedChoice {
  uint32_t baud = 0;
  uint32_t parity = 0;
  uint32_t dataBits = 0;
  uint32_t stopBits = 0;
};

// The handshake page's choice: software and data format bit (0 for none) and the hardware OR.
struct HandshakeChoice {
  uint32_t soft = 0;
  uint32_t hard = 0;
  uint32_t format = 0;
};

// The speed choice the page shows for the current settings: the highest bit of each mask.
SpeedChoice SpeedChoiceOf(const TransferParams& current);
HandshakeChoice HandshakeChoiceOf(const TransferParams& current);

// Bit values of a mask in bit order, among its first `count` bits.
std::vector<uint32_t> BitsOf(uint32_t mask, int count);

// The sheet's result: the current settings with the fields of each page that was shown
// replaced by that page's choice.
TransferParams SheetResult(const TransferParams& current, const std::optional<SpeedChoice>& speed,
                           const std::optional<HandshakeChoice>& handshake);

// The speed page's choice for line settings found on the line (stop bits 1 or 2), or nullopt
// when the instrument's capabilities lack any of them.
std::optional<SpeedChoice> DetectedSpeedChoice(const TransferParams& capabilities, uint32_t baud,
                                               int dataBits, Parity parity, int stopBits);

// A data format bit that names a software handshake other than the one shown: the handshake
// the list must switch to. Nullopt when nothing has to change.
std::optional<uint32_t> RequiredHandshakeSwitch(const CInstrument& instrument, int direction,
                                                uint32_t formatBit, uint32_t shownSoft);

}  // namespace ulvo
