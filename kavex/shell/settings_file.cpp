#include "kavex/shell/settings_file.h"

#include <fstream>
#include <string_view>
#include <system_error>
#include <vector>

#include "kavex/formats/number_text.h"
#include "kavex/formats/text_file.h"
#include "kavex/formats/text_format.h"

namespace fs = std::filesystem;

namespace kavex {
namespace {

// A settings file is six short lines; anything past this is not ours and is not read.
constexpr std::streamsize kMaxSettingsBytes = 1 << 20;

// Fields after the key, split at ",". A field past the end of the line is missing.
class Fields {
 public:
  explicit Fields(std::string_view value) {
    size_t start = 0;
    while (true) {
      const size_t comma = value.find(',', start);
      if (comma == std::string_view::npos) {
        fields_.push_back(value.substr(start));
        break;
      }
      fields_.push_back(value.substr(start, comma - start));
      start = comma + 1;
    }
  }
  bool Has(size_t i) const { return i < fields_.size(); }
  std::string_view At(size_t i) const { return Has(i) ? fields_[i] : std::string_view(); }
  // The first character of a field, or 0 when it is missing or empty.
  char First(size_t i) const { return At(i).empty() ? '\0' : At(i).front(); }
  bool StartsWith(size_t i, std::string_view prefix) const { return At(i).starts_with(prefix); }

 private:
  std::vector<std::string_view> fields_;
};

bool StartsWithKey(std::string_view line, std::string_view key, std::string_view& rest) {
  if (!line.starts_with(key)) return false;
  rest = line.substr(key.size());
  return true;
}

// A decimal integer from the leading digits of a field, or fallback when the field is
// missing or the value lies outside lo..hi.
long RangedInteger(const Fields& f, size_t i, long lo, long hi, long fallback) {
  if (!f.Has(i)) return fallback;
  const long v = ReadLong(f.At(i));
  return v < lo || v > hi ? fallback : v;
}

void ParseProtocol(const Fields& f, CommSettings& comm) {
  comm.useAckNak = f.First(0) == 'A' || f.First(0) == 'a';
  comm.writeTextFile = f.First(1) == 'Y' || f.First(1) == 'y';
  comm.readTextFile = f.First(2) == 'Y' || f.First(2) == 'y';
}

void ParseComStatus(std::string_view value, const Fields& f, CommSettings& comm) {
  const std::string_view port = value.substr(0, 4);
  comm.useCom2 = port == "COM2" || port == "com2" || port == "Com2";
  if (f.StartsWith(1, "12")) {
    comm.rateCode = RateCodeOfBaud(1200);
  } else if (f.StartsWith(1, "24")) {
    comm.rateCode = RateCodeOfBaud(2400);
  } else if (f.StartsWith(1, "48")) {
    comm.rateCode = RateCodeOfBaud(4800);
  } else if (f.StartsWith(1, "192")) {
    comm.rateCode = RateCodeOfBaud(19200);
  } else if (f.StartsWith(1, "384")) {
    comm.rateCode = RateCodeOfBaud(38400);
  } else {
    comm.rateCode = RateCodeOfBaud(9600);
  }
  comm.sevenBits = f.First(2) == '7';
  const char parity = f.First(3);
  comm.parityCode = (parity == 'E' || parity == 'e') ? 1 : (parity == 'O' || parity == 'o') ? 2 : 0;
  comm.stopBits = f.First(4) == '2' ? 2 : 1;
}

void ParseAdvanced(const Fields& f, CommSettings& comm) {
  const auto interval = static_cast<unsigned>(RangedInteger(f, 0, 100, 999, 400));
  const auto delay = static_cast<unsigned>(RangedInteger(f, 1, 10, 999, 100));
  const auto timeout = static_cast<unsigned>(RangedInteger(f, 2, 1000, 60000, 10000));
  comm.blockInterval = Format("%-4u", interval);
  comm.delayTime = Format("%-3u", delay);
  comm.receiveTimeout = Format("%-4u", timeout);
  const auto flag = [&f](size_t i) { return !(f.First(i) == 'N' || f.First(i) == 'n'); };
  comm.checkBlockNumber = flag(3);
  comm.checkBlockSum = flag(4);
  comm.addEndBlock = flag(5);
}

void ParsePrint(const Fields& f, PrintSettings& print) {
  print.charsPerLine = Format("%-3u", static_cast<unsigned>(RangedInteger(f, 0, 1, 256, 100)));
  double interval = 1.2;
  if (f.Has(1)) {
    const double v = ReadDouble(f.At(1));
    if (v >= 1.0 && v <= 2.0) interval = v;
  }
  print.lineInterval = Format("%-3.1f", interval);
  // Small print only when the field is the number 0; anything else keeps the large size.
  const bool isZero = f.Has(2) && NumberPrefixLength(f.At(2)) > 0 && ReadLong(f.At(2)) == 0;
  print.printLarge = isZero ? 0 : 1;
}

void ParseLine(std::string_view line, KavexSettings& s) {
  std::string_view value;
  if (StartsWithKey(line, "DATA_DIR=", value)) {
    // A path cannot hold a NUL byte; what follows one is not part of it.
    s.dataDir = std::string(value.substr(0, value.find('\0')));
  } else if (StartsWithKey(line, "PROTOCOL=", value)) {
    ParseProtocol(Fields(value), s.comm);
  } else if (StartsWithKey(line, "COM_STATUS=", value)) {
    ParseComStatus(value, Fields(value), s.comm);
  } else if (StartsWithKey(line, "ADVANCED=", value)) {
    ParseAdvanced(Fields(value), s.comm);
  } else if (StartsWithKey(line, "PRINT=", value)) {
    ParsePrint(Fields(value), s.print);
  } else if (StartsWithKey(line, "UPDDLG=", value)) {
    s.showUpdateDialog = !value.empty() && value.front() == 'Y';
  }
}

std::string Head(const std::string& text, size_t n) {
  return text.substr(0, n);
}

const char* RateText(int rateCode) {
  switch (BaudOfRateCode(rateCode)) {
    case 1200:
      return ",1200";
    case 2400:
      return ",2400";
    case 4800:
      return ",4800";
    case 19200:
      return ",19200";
    case 38400:
      return ",38400";
    default:
      return ",9600";
  }
}

const char* YesNo(bool b) {
  return b ? ",Y" : ",N";
}

}  // namespace

KavexSettings DefaultSettings(const std::string& defaultDataDir) {
  KavexSettings s;
  s.dataDir = defaultDataDir;
  return s;
}

KavexSettings ParseSettings(const std::string& text, const std::string& defaultDataDir) {
  KavexSettings s = DefaultSettings(defaultDataDir);
  for (std::string line : SplitLines(text)) {
    // Text mode leaves a CR that stood before CR LF; it is not part of any value.
    if (!line.empty() && line.back() == '\r') line.pop_back();
    ParseLine(line, s);
  }
  return s;
}

std::string FormatSettings(const KavexSettings& s) {
  const CommSettings& c = s.comm;
  std::string out;
  // A line break in the folder name would start a line of its own when read back.
  out += "DATA_DIR=" + s.dataDir.substr(0, s.dataDir.find_first_of("\r\n")) + "\n";
  out += std::string("PROTOCOL=") + (c.useAckNak ? "A" : "N") + YesNo(c.writeTextFile) +
         YesNo(c.readTextFile) + "\n";
  out += std::string("COM_STATUS=") + (c.useCom2 ? "COM2" : "COM1") + RateText(c.rateCode) +
         (c.sevenBits ? ",7" : ",8") +
         (c.parityCode == 2   ? ",O"
          : c.parityCode == 1 ? ",E"
                              : ",N") +
         (c.stopBits == 2 ? ",2" : ",1") + "\n";
  out += "ADVANCED=" + Head(c.blockInterval, 4) + "," + Head(c.delayTime, 3) + "," +
         Head(c.receiveTimeout, 5) + YesNo(c.checkBlockNumber) + YesNo(c.checkBlockSum) +
         YesNo(c.addEndBlock) + "\n";
  out += "PRINT=" + Head(s.print.charsPerLine, 3) + "," + Head(s.print.lineInterval, 3) + "," +
         (s.print.printLarge != 0 ? "1" : "0") + "\n";
  out += std::string("UPDDLG=") + (s.showUpdateDialog ? "Y" : "N") + "\n";
  return out;
}

KavexSettings ReadSettings(const SettingsPaths& paths, const std::string& defaultDataDir) {
  std::error_code ec;
  if (!fs::is_regular_file(paths.settingsFile, ec)) return DefaultSettings(defaultDataDir);
  std::ifstream in(paths.settingsFile, std::ios::binary);
  if (!in) return DefaultSettings(defaultDataDir);
  std::string disk(static_cast<size_t>(kMaxSettingsBytes), '\0');
  in.read(disk.data(), kMaxSettingsBytes);
  if (in.bad()) return DefaultSettings(defaultDataDir);
  disk.resize(static_cast<size_t>(in.gcount()));
  return ParseSettings(FromDiskText(disk), defaultDataDir);
}

bool WriteSettings(const SettingsPaths& paths, const KavexSettings& settings) {
  std::error_code ec;
  const fs::path folder = paths.settingsFile.parent_path();
  if (!folder.empty()) fs::create_directories(folder, ec);
  // The new file is on disk before the previous one becomes Kavex.ibk, and Kavex.ini never
  // stands empty: a failed write or a power cut leaves the old or the new settings.
  return ReplaceFileWith(paths.settingsFile, ToDiskText(FormatSettings(settings)), paths.backupFile)
      .empty();
}

}  // namespace kavex
