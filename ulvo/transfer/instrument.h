#pragma once

#include <cstdint>
#include <filesystem>
#include <map>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "ulvo/transfer/link_protocol.h"
#include "ulvo/transfer/profile_store.h"
#include "ulvo/transfer/transfer_params.h"

namespace ulvo {

// Directions as the engine counts them; the instrument file names them from its own side.
inline constexpr int kDirectionSend = 0;     // computer to instrument ("RECEIVE" keys)
inline constexpr int kDirectionReceive = 1;  // instrument to computer ("SEND" keys)

struct InstrumentOption {
  std::string name;
  std::string hint;
  std::string format;          // conversion format for a received file
  uint32_t dataFormat = 0;     // 0: no requirement
  int32_t hardHandshake = -1;  // negative: no requirement
  int32_t softHandshake = -1;
};

struct InstrumentTimeouts {
  uint32_t readInterval = 50;
  uint32_t readMultiplier = 10;
  uint32_t readConstant = 100;
  uint32_t writeMultiplier = 10;
  uint32_t writeConstant = 100;
};

// Every byte complemented; the same operation scrambles and unscrambles.
std::string ComplementBytes(std::string_view bytes);
// Turn a plain initialisation text into the scrambled layout of an instrument file and back:
// section names, key names and values are complemented, brackets, "=", comments and line
// structure are kept.
std::string EncodeInterfaceText(std::string_view plain);
std::string DecodeInterfaceText(std::string_view scrambled);
// "\n", "\r" and "\t" written out in a text value become LF, CR and TAB.
std::string ExpandEscapes(std::string_view text);

// Largest instrument file read; anything bigger is not an instrument file.
inline constexpr uintmax_t kMaxInterfaceFileSize = 1 << 20;

// One instrument interface file and the current settings of each direction.
class CInstrument {
 public:
  // False when the file is not a valid instrument interface file; the object is then unusable.
  // The current settings are restored from `store` when given.
  bool LoadInterfaceFile(const std::filesystem::path& path, const ProfileStore* store);
  bool LoadInterfaceText(std::string_view scrambled, const ProfileStore* store);

  const std::string& Name() const { return name_; }
  const std::string& Message() const { return message_; }
  const std::filesystem::path& Path() const { return path_; }
  const InstrumentTimeouts& Timeouts() const { return timeouts_; }
  const ControlChars& Chars() const { return chars_; }

  const TransferParams& Capabilities(int direction) const { return caps_[Dir(direction)]; }
  const TransferParams& Defaults(int direction) const { return defaults_[Dir(direction)]; }
  const TransferParams& Params(int direction) const { return current_[Dir(direction)]; }
  void SetParams(int direction, const TransferParams& params) { current_[Dir(direction)] = params; }

  const std::vector<InstrumentOption>& Options(int direction) const {
    return options_[Dir(direction)];
  }
  size_t OptionCount(int direction) const { return Options(direction).size(); }

  // The name of a data format bit: the file's own, else ASCII / ITF00 / ITF01 / ITF02.
  std::string FormatName(uint32_t bit) const;
  // Software handshake mask a data format bit requires, -1 when the file names none.
  int32_t RequiredSoftHandshake(int direction, uint32_t formatBit) const;

  bool OptionFits(int direction, size_t index) const;
  void ApplyOption(int direction, size_t index);

  void RestoreCurrent(const ProfileStore* store);
  void SaveLastUsed(ProfileStore& store) const;
  std::string ProfileSection() const { return "INSTRUMENT\\" + name_ + "\\LASTUSED"; }

 private:
  static int Dir(int direction) { return direction == kDirectionReceive ? 1 : 0; }

  int32_t version_ = 0;
  std::string name_;
  std::filesystem::path path_;
  std::string message_;
  ControlChars chars_;
  InstrumentTimeouts timeouts_;
  TransferParams caps_[2];
  TransferParams defaults_[2];
  TransferParams current_[2];
  std::map<uint32_t, std::string> formatNames_;
  std::vector<std::pair<uint32_t, uint8_t>> formatHandshakes_[2];
  std::vector<InstrumentOption> options_[2];
};

// Every "*.IIF" file of a folder that loads, in file-name order.
std::vector<CInstrument> LoadInstruments(const std::filesystem::path& folder,
                                         const ProfileStore* store);

}  // namespace ulvo
