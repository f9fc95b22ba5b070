#include "ulvo/transfer/instrument.h"

#include <algorithm>
#include <cctype>
#include <fstream>
#include <system_error>

namespace ulvo {

namespace {

// Counts announced by a file beyond these are garbage, not instruments.
constexpr int64_t kMaxListEntries = 1000;
constexpr size_t kMaxValueLength = 498;  // what a 499-byte answer buffer holds

std::string Upper(std::string_view s) {
  std::string out(s);
  for (char& c : out) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
  return out;
}

std::string_view Trim(std::string_view s) {
  while (!s.empty() && (s.front() == ' ' || s.front() == '\t')) s.remove_prefix(1);
  while (!s.empty() && (s.back() == ' ' || s.back() == '\t' || s.back() == '\r'))
    s.remove_suffix(1);
  return s;
}

// Leading decimal number, sign allowed; anything else reads as 0.
int64_t LeadingNumber(std::string_view s) {
  size_t i = 0;
  while (i < s.size() && (s[i] == ' ' || s[i] == '\t')) ++i;
  bool negative = false;
  if (i < s.size() && (s[i] == '-' || s[i] == '+')) negative = s[i++] == '-';
  int64_t value = 0;
  for (; i < s.size() && std::isdigit(static_cast<unsigned char>(s[i])); ++i)
    value = std::min<int64_t>(value * 10 + (s[i] - '0'), int64_t{1} << 40);
  return negative ? -value : value;
}

// The sections of a scrambled initialisation text, names upper-cased after unscrambling;
// the first value of a key wins.
class IniText {
 public:
  explicit IniText(std::string_view scrambled) {
    std::string section;
    size_t start = 0;
    while (start < scrambled.size()) {
      size_t end = scrambled.find('\n', start);
      if (end == std::string_view::npos) end = scrambled.size();
      const std::string_view line = Trim(scrambled.substr(start, end - start));
      start = end + 1;
      if (line.empty() || line.front() == ';') continue;
      if (line.front() == '[') {
        const size_t close = line.find(']');
        section = Upper(ComplementBytes(
            line.substr(1, close == std::string_view::npos ? line.size() - 1 : close - 1)));
        continue;
      }
      const size_t eq = line.find('=');
      if (eq == std::string_view::npos) continue;
      const std::string key = Upper(ComplementBytes(Trim(line.substr(0, eq))));
      std::string_view value = Trim(line.substr(eq + 1));
      if (value.size() > kMaxValueLength) value = value.substr(0, kMaxValueLength);
      values_.try_emplace({section, key}, ComplementBytes(value));
    }
  }

  std::optional<std::string> Text(std::string_view section, std::string_view key) const {
    const auto it = values_.find({Upper(section), Upper(key)});
    if (it == values_.end()) return std::nullopt;
    return it->second;
  }
  std::string Text(std::string_view section, std::string_view key,
                   std::string_view fallback) const {
    auto v = Text(section, key);
    return v ? ExpandEscapes(*v) : std::string(fallback);
  }
  int64_t Number(std::string_view section, std::string_view key, int64_t fallback) const {
    auto v = Text(section, key);
    return v ? LeadingNumber(*v) : fallback;
  }

 private:
  std::map<std::pair<std::string, std::string>, std::string> values_;
};

const char* const kParamKeys[] = {"BAUDRATES",     "PARITY",        "DATABITS",  "STOPBITS",
                                  "SOFTHANDSHAKE", "HARDHANDSHAKE", "DATAFORMAT"};

TransferParams ReadParams(const IniText& ini, const char* section, const std::string& prefix) {
  uint32_t v[7];
  for (int i = 0; i < 7; ++i)
    v[i] = static_cast<uint32_t>(ini.Number(section, prefix + kParamKeys[i], 0));
  TransferParams p;
  p.baudMask = v[0];
  p.lineFormat = MakeLineFormat(v[1], v[2], v[3], v[4]);
  p.hardHandshake = v[5];
  p.dataFormat = v[6];
  return p;
}

// A stored or default mask narrowed to what the instrument can do.
uint32_t RestoreMask(uint32_t capability, std::optional<int64_t> stored, uint32_t fallback) {
  if (capability == 0) return 0;
  if (stored && *stored >= 0 && (static_cast<uint32_t>(*stored) & capability))
    return static_cast<uint32_t>(*stored) & capability;
  if (fallback & capability) return fallback & capability;
  return LowestBit(capability);
}

uint32_t RestoreHandshake(uint32_t capability, std::optional<int64_t> stored, uint32_t fallback) {
  const uint32_t value = stored && *stored >= 0 ? static_cast<uint32_t>(*stored) : fallback;
  return value & capability;
}

}  // namespace

std::string ComplementBytes(std::string_view bytes) {
  std::string out(bytes);
  for (char& c : out) c = static_cast<char>(~static_cast<unsigned char>(c));
  return out;
}

namespace {

std::string TransformInterfaceText(std::string_view in) {
  std::string out;
  size_t start = 0;
  while (start < in.size()) {
    size_t end = in.find('\n', start);
    const bool hasLf = end != std::string_view::npos;
    if (!hasLf) end = in.size();
    std::string_view line = in.substr(start, end - start);
    start = end + 1;
    const bool hasCr = !line.empty() && line.back() == '\r';
    if (hasCr) line.remove_suffix(1);
    const std::string_view t = Trim(line);
    if (t.empty() || t.front() == ';') {
      out += line;
    } else if (t.front() == '[') {
      const size_t close = t.find(']');
      if (close == std::string_view::npos) {
        out += "[" + ComplementBytes(t.substr(1));
      } else {
        out += "[" + ComplementBytes(t.substr(1, close - 1)) + std::string(t.substr(close));
      }
    } else {
      const size_t eq = t.find('=');
      if (eq == std::string_view::npos) {
        out += line;
      } else {
        out +=
            ComplementBytes(Trim(t.substr(0, eq))) + "=" + ComplementBytes(Trim(t.substr(eq + 1)));
      }
    }
    if (hasCr) out += '\r';
    if (hasLf) out += '\n';
  }
  return out;
}

}  // namespace

std::string EncodeInterfaceText(std::string_view plain) {
  return TransformInterfaceText(plain);
}
std::string DecodeInterfaceText(std::string_view scrambled) {
  return TransformInterfaceText(scrambled);
}

std::string ExpandEscapes(std::string_view text) {
  std::string out;
  for (size_t i = 0; i < text.size(); ++i) {
    if (text[i] == '\\' && i + 1 < text.size()) {
      const char n = text[i + 1];
      if (n == 'n' || n == 'r' || n == 't') {
        out += n == 'n' ? '\n' : n == 'r' ? '\r' : '\t';
        ++i;
        continue;
      }
    }
    out += text[i];
  }
  return out;
}

bool CInstrument::LoadInterfaceFile(const std::filesystem::path& path, const ProfileStore* store) {
  std::error_code ec;
  const auto size = std::filesystem::file_size(path, ec);
  if (ec || size > kMaxInterfaceFileSize) return false;
  std::ifstream in(path, std::ios::binary);
  if (!in) return false;
  std::string bytes(static_cast<size_t>(size), '\0');
  in.read(bytes.data(), static_cast<std::streamsize>(bytes.size()));
  bytes.resize(static_cast<size_t>(in.gcount()));
  if (!LoadInterfaceText(bytes, store)) return false;
  path_ = path;
  return true;
}

bool CInstrument::LoadInterfaceText(std::string_view scrambled, const ProfileStore* store) {
  *this = CInstrument();
  const IniText ini(scrambled);

  version_ = static_cast<int32_t>(ini.Number("HEADER", "VERSION", 0));
  if (version_ != 1) return false;
  if (ini.Text("HEADER", "TITLE", "FAILED") != "INSTRUMENT INTERFACE FILE") return false;
  const auto name = ini.Text("HEADER", "INSTRUMENT");
  if (!name) return false;
  name_ = ExpandEscapes(*name);

  caps_[kDirectionReceive] = ReadParams(ini, "CAPABILITIES", "SEND");
  caps_[kDirectionSend] = ReadParams(ini, "CAPABILITIES", "RECEIVE");
  defaults_[kDirectionReceive] = ReadParams(ini, "DEFAULTS", "SEND");
  defaults_[kDirectionSend] = ReadParams(ini, "DEFAULTS", "RECEIVE");

  const auto ch = [&](const char* key, int fallback) {
    return static_cast<char>(ini.Number("SOFTHANDSHAKECHARS", key, fallback));
  };
  chars_.ack = ch("ACK", 6);
  chars_.nak = ch("NAK", 21);
  chars_.etx = ch("ETX", 3);
  chars_.stx = ch("STX", 2);
  chars_.eot = ch("EOT", 4);
  chars_.enq = ch("ENQ", 5);
  chars_.addCrLf = ini.Number("SOFTHANDSHAKECHARS", "ADDCRLF", 0) != 0;

  message_ = ini.Text("FIRSTMESSAGE", "MESSAGE", "");

  const auto contains = static_cast<uint32_t>(ini.Number("FORMATNAMES", "ContainsFormats", 0));
  for (int bit = 0; bit < 32; ++bit) {
    const uint32_t value = 1u << bit;
    if (!(contains & value)) continue;
    const std::string text = ini.Text("FORMATNAMES", std::to_string(value), "_");
    if (text != "_") formatNames_[value] = text;
  }

  for (int d = 0; d < 2; ++d) {
    const int direction = d == 0 ? kDirectionReceive : kDirectionSend;
    const int64_t count = std::clamp<int64_t>(
        ini.Number("FORMATPROTOCOLSTICK", d == 0 ? "send" : "receive", 0), 0, kMaxListEntries);
    for (int64_t i = 1; i <= count; ++i) {
      const auto pair = ini.Text("FORMATPROTOCOLSTICK", (d == 0 ? "s" : "r") + std::to_string(i));
      if (!pair) continue;
      const size_t comma = pair->find(',');
      if (comma == std::string::npos) continue;
      formatHandshakes_[direction].emplace_back(
          static_cast<uint32_t>(LeadingNumber(pair->substr(0, comma))),
          static_cast<uint8_t>(LeadingNumber(pair->substr(comma + 1))));
    }
  }

  for (int d = 0; d < 2; ++d) {
    const char* section = d == 0 ? "SENDOPTIONS" : "RECEIVEOPTIONS";
    const int direction = d == 0 ? kDirectionReceive : kDirectionSend;
    const int64_t count = std::clamp<int64_t>(ini.Number(section, "ITEMS", 0), 0, kMaxListEntries);
    for (int64_t i = 1; i <= count; ++i) {
      const std::string n = std::to_string(i);
      const auto optionName = ini.Text(section, "ITEMM_" + n);
      if (!optionName) continue;
      InstrumentOption o;
      o.name = ExpandEscapes(*optionName);
      o.hint = ini.Text(section, "ITEMH_" + n, "");
      o.format = ini.Text(section, "ITEMF_" + n, "");
      o.dataFormat = static_cast<uint32_t>(ini.Number(section, "ITEMD_" + n, 0));
      o.hardHandshake = static_cast<int32_t>(ini.Number(section, "ITEMP_" + n, -1));
      o.softHandshake = static_cast<int32_t>(ini.Number(section, "ITEMS_" + n, -1));
      options_[direction].push_back(std::move(o));
    }
  }

  const auto timeout = [&](const char* key, int fallback) {
    return static_cast<uint32_t>(
        std::clamp<int64_t>(ini.Number("TIMEOUTS", key, fallback), 0, 0xFFFFFFFF));
  };
  timeouts_.readInterval = timeout("READINTERVALTIMEOUT", 50);
  timeouts_.readMultiplier = timeout("READTOTALTIMEOUTMULTIPLIER", 10);
  timeouts_.readConstant = timeout("READTOTALTIMEOUTCONSTANT", 100);
  timeouts_.writeMultiplier = timeout("WRITETOTALTIMEOUTMULTIPLIER", 10);
  timeouts_.writeConstant = timeout("WRITETOTALTIMEOUTCONSTANT", 100);

  RestoreCurrent(store);
  return true;
}

std::string CInstrument::FormatName(uint32_t bit) const {
  const auto it = formatNames_.find(bit);
  return it != formatNames_.end() ? it->second : DefaultFormatName(bit);
}

int32_t CInstrument::RequiredSoftHandshake(int direction, uint32_t formatBit) const {
  for (const auto& [format, soft] : formatHandshakes_[Dir(direction)])
    if (format == formatBit) return soft;
  return -1;
}

bool CInstrument::OptionFits(int direction, size_t index) const {
  const auto& options = Options(direction);
  if (index >= options.size()) return false;
  const InstrumentOption& o = options[index];
  const TransferParams& p = Params(direction);
  if (o.dataFormat != 0 && o.dataFormat != p.dataFormat) return false;
  if (o.softHandshake >= 0 &&
      static_cast<uint32_t>(o.softHandshake) != SoftHandshakeByte(p.lineFormat))
    return false;
  if (o.hardHandshake >= 0 && static_cast<uint32_t>(o.hardHandshake) != (p.hardHandshake & 0xFF))
    return false;
  return true;
}

void CInstrument::ApplyOption(int direction, size_t index) {
  const auto& options = Options(direction);
  if (index >= options.size()) return;
  const InstrumentOption& o = options[index];
  TransferParams& p = current_[Dir(direction)];
  if (o.dataFormat != 0) p.dataFormat = o.dataFormat;
  if (o.softHandshake >= 0)
    p.lineFormat = (p.lineFormat & 0x00FFFFFF) | (static_cast<uint32_t>(o.softHandshake) & 0xFF)
                                                     << 24;
  if (o.hardHandshake >= 0)
    p.hardHandshake = (p.hardHandshake & ~0xFFu) | (static_cast<uint32_t>(o.hardHandshake) & 0xFF);
}

namespace {
const char* const kStoredKeys[] = {"BAUDRATE",      "PARITY",        "DATABITS", "STOPBITS",
                                   "HARDHANDSHAKE", "SOFTHANDSHAKE", "FORMAT"};
}

void CInstrument::RestoreCurrent(const ProfileStore* store) {
  const std::string section = ProfileSection();
  for (int d = 0; d < 2; ++d) {
    const std::string prefix = d == kDirectionReceive ? "SEND" : "RECEIVE";
    std::optional<int64_t> stored[7];
    if (store)
      for (int i = 0; i < 7; ++i) stored[i] = store->GetNumber(section, prefix + kStoredKeys[i]);
    const TransferParams& cap = caps_[d];
    const TransferParams& def = defaults_[d];
    TransferParams& cur = current_[d];
    cur.baudMask = RestoreMask(cap.baudMask, stored[0], def.baudMask);
    const uint32_t parity =
        RestoreMask(ParityByte(cap.lineFormat), stored[1], ParityByte(def.lineFormat));
    const uint32_t dataBits =
        RestoreMask(DataBitsByte(cap.lineFormat), stored[2], DataBitsByte(def.lineFormat));
    const uint32_t stopBits =
        RestoreMask(StopBitsByte(cap.lineFormat), stored[3], StopBitsByte(def.lineFormat));
    cur.hardHandshake = RestoreHandshake(cap.hardHandshake, stored[4], def.hardHandshake);
    const uint32_t soft = RestoreHandshake(SoftHandshakeByte(cap.lineFormat), stored[5],
                                           SoftHandshakeByte(def.lineFormat));
    cur.lineFormat = MakeLineFormat(parity, dataBits, stopBits, soft);
    cur.dataFormat = RestoreMask(cap.dataFormat, stored[6], def.dataFormat);
  }
}

void CInstrument::SaveLastUsed(ProfileStore& store) const {
  const std::string section = ProfileSection();
  store.SetText(section, "NAME", name_);
  for (int d = 0; d < 2; ++d) {
    const std::string prefix = d == kDirectionReceive ? "SEND" : "RECEIVE";
    const TransferParams& p = current_[d];
    const uint32_t values[7] = {p.baudMask,
                                ParityByte(p.lineFormat),
                                DataBitsByte(p.lineFormat),
                                StopBitsByte(p.lineFormat),
                                p.hardHandshake,
                                SoftHandshakeByte(p.lineFormat),
                                p.dataFormat};
    for (int i = 0; i < 7; ++i) store.SetNumber(section, prefix + kStoredKeys[i], values[i]);
  }
}

std::vector<CInstrument> LoadInstruments(const std::filesystem::path& folder,
                                         const ProfileStore* store) {
  std::vector<std::filesystem::path> files;
  std::error_code ec;
  for (std::filesystem::directory_iterator it(folder, ec), end; !ec && it != end;
       it.increment(ec)) {
    if (Upper(it->path().extension().string()) == ".IIF") files.push_back(it->path());
  }
  std::sort(files.begin(), files.end());
  std::vector<CInstrument> instruments;
  for (const auto& file : files) {
    CInstrument instrument;
    if (instrument.LoadInterfaceFile(file, store)) instruments.push_back(std::move(instrument));
  }
  return instruments;
}

}  // namespace ulvo
