#include "ulvo/cli/transfer_commands.h"

#include <cctype>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <memory>
#include <optional>

#include "ulvo/convert/messages.h"
#include "ulvo/platform/port_permission.h"
#include "ulvo/platform/program_folder.h"
#include "ulvo/platform/qt_profile_store.h"
#include "ulvo/platform/qt_serial_device.h"
#include "ulvo/shell/translations.h"
#include "ulvo/transfer/clock.h"
#include "ulvo/transfer/culvo_serial.h"
#include "ulvo/transfer/setting_names.h"
#include "ulvo/transfer/tracing_device.h"
#include "ulvo/transfer/transfer_session.h"

namespace ulvo::cli {

namespace {

const char* DirectionWord(int direction) {
  return direction == kDirectionSend ? "send (computer to instrument)"
                                     : "receive (instrument to computer)";
}

std::string BaudList(uint32_t mask) {
  std::string out;
  for (int b = 0; b < kBaudRateCount; ++b)
    if (mask & (1u << b)) out += (out.empty() ? "" : " ") + std::to_string(kBaudRates[b]);
  return out.empty() ? "-" : out;
}

template <typename Name>
std::string BitList(uint32_t mask, int count, Name name) {
  std::string out;
  for (int b = 0; b < count; ++b)
    if (mask & (1u << b)) out += (out.empty() ? "" : ", ") + std::string(name(b));
  return out.empty() ? "-" : out;
}

std::string FormatList(const CInstrument& i, uint32_t mask) {
  return BitList(mask, kFormatBitCount,
                 [&](int b) { return i.FormatName(LinkProtocols()[b].formatBit); });
}
std::string ParityList(uint32_t byte) {
  return BitList(byte, kParityBitCount, [](int b) { return kParityNames[b].summary.text; });
}
std::string DataBitsList(uint32_t byte) {
  return BitList(byte, kDataBitsBitCount, [](int b) { return kDataBitsNames[b]; });
}
std::string StopList(uint32_t byte) {
  return BitList(byte, kStopBitsBitCount, [](int b) { return kStopBitsNames[b]; });
}
std::string SoftList(uint32_t byte) {
  return BitList(byte, kSoftHandshakeBitCount,
                 [](int b) { return kSoftHandshakeNames[b].text.text; });
}
std::string HardList(uint32_t mask) {
  return BitList(mask, kHardHandshakeBitCount, [](int b) { return kHardHandshakeNames[b].word; });
}

std::string Describe(const CInstrument& i, const TransferParams& p) {
  const PortSettings s = DecodePortSettings(p.baudMask, p.lineFormat, p.hardHandshake);
  std::string out = s.baudRate ? std::to_string(*s.baudRate) + " baud" : "port's baud rate";
  out += std::string(", parity ") + (s.parity ? ParityName(*s.parity) : "as is");
  out += ", " + (s.dataBits ? std::to_string(*s.dataBits) : std::string("port's")) + " data bits";
  out += std::string(", stop bits ") + (s.stopBits ? StopBitsName(*s.stopBits) : "as is");
  out += std::string(", handshake ") + SoftHandshakeName(SoftHandshakeMode(p.lineFormat));
  if (p.hardHandshake) out += " + " + HardList(p.hardHandshake);
  const LinkProtocol protocol = ProtocolOf(p.dataFormat);
  const LinkDescription& link = Describe(protocol);
  out += ", format " +
         (protocol != LinkProtocol::kNone ? i.FormatName(link.formatBit) : std::string(link.name));
  return out;
}

std::vector<CInstrument> Instruments(const Context& context, const ProfileStore* store) {
  return LoadInstruments(context.home / "IIF", store);
}

}  // namespace

int RunInstruments(const Context& context, const Args& args) {
  if (!args.empty()) {
    std::fprintf(stderr, "ulvo-cli: instruments takes no arguments\n");
    return kExitUsage;
  }
  QtProfileStore store;
  const auto instruments = Instruments(context, &store);
  if (instruments.empty()) {
    std::fprintf(stderr, "ulvo-cli: no instrument interface files in %s\n",
                 (context.home / "IIF").string().c_str());
    return kExitFailure;
  }
  for (const CInstrument& i : instruments) {
    std::printf("%s  (%s)\n", i.Name().c_str(), i.Path().filename().string().c_str());
    for (const int d : {kDirectionReceive, kDirectionSend}) {
      const TransferParams& cap = i.Capabilities(d);
      std::printf("  %s\n", DirectionWord(d));
      std::printf("    baud rates: %s\n", BaudList(cap.baudMask).c_str());
      std::printf("    parity: %s; data bits: %s; stop bits: %s\n",
                  ParityList(ParityByte(cap.lineFormat)).c_str(),
                  DataBitsList(DataBitsByte(cap.lineFormat)).c_str(),
                  StopList(StopBitsByte(cap.lineFormat)).c_str());
      std::printf("    handshakes: %s; hardware: %s\n",
                  SoftList(SoftHandshakeByte(cap.lineFormat)).c_str(),
                  HardList(cap.hardHandshake).c_str());
      std::printf("    formats: %s\n", FormatList(i, cap.dataFormat).c_str());
      std::printf("    current: %s\n", Describe(i, i.Params(d)).c_str());
      const auto& options = i.Options(d);
      for (size_t n = 0; n < options.size(); ++n) {
        const InstrumentOption& o = options[n];
        std::printf("    option %zu: %s", n, o.name.c_str());
        if (!o.format.empty()) std::printf(" [conversion format %s]", o.format.c_str());
        std::printf("\n");
        std::printf(
            "      data format: %s; handshake: %s; hardware: %s\n",
            o.dataFormat ? FormatList(i, o.dataFormat).c_str() : "as set",
            o.softHandshake < 0    ? "as set"
            : o.softHandshake == 0 ? "none"
                                   : SoftList(static_cast<uint32_t>(o.softHandshake)).c_str(),
            o.hardHandshake < 0    ? "as set"
            : o.hardHandshake == 0 ? "none"
                                   : HardList(static_cast<uint32_t>(o.hardHandshake)).c_str());
        if (!o.hint.empty()) {
          std::string hint = o.hint;
          for (size_t at = 0; (at = hint.find('\n', at)) != std::string::npos; at += 7)
            hint.replace(at, 1, "\n      ");
          std::printf("      %s\n", hint.c_str());
        }
      }
    }
  }
  return kExitOk;
}

namespace {

// Status and error lines in the words of the program folder's translations file.
class CliOwner : public TransferOwner {
 public:
  explicit CliOwner(const std::filesystem::path& home) { texts_.Load(TranslationsFilePath(home)); }
  void UpdateAllViews(uint8_t, const CULVOSerial&) override {}
  void StatusSet(uint32_t code) override {
    // The engine sets the same status on every record; one line says it.
    if (code == lastStatus_) return;
    lastStatus_ = code;
    if (code == kStatusFileWritten) fileWritten = true;
    if (const TransferText* t = TransferStatusText(code)) {
      std::fprintf(stderr, "%s\n", texts_.Text(*t).c_str());
    }
  }
  void ErrorSet(uint32_t code) override {
    if (const TransferText* t = TransferErrorText(code)) {
      std::fprintf(stderr, "Error: %s\n", texts_.Text(*t).c_str());
    }
  }

  const Translations& Texts() const { return texts_; }

  bool fileWritten = false;  // status 3: the destination file holds what came

 private:
  Translations texts_;
  uint32_t lastStatus_ = 0xFFFFFFFF;
};

int Usage(const char* why) {
  std::fprintf(stderr, "ulvo-cli: %s\n%s\n", why, kTransferUsage);
  return kExitUsage;
}

int NotOffered(const std::string& what, const CInstrument& i, int direction,
               const std::string& offered) {
  std::fprintf(stderr, "ulvo-cli: %s is not offered by %s for %s (offered: %s)\n", what.c_str(),
               i.Name().c_str(), direction == kDirectionSend ? "sending" : "receiving",
               offered.c_str());
  return kExitUsage;
}

// The transfer's error code as an exit status: the files' own errors are data errors,
// everything else went wrong on the port, the line or in the instrument.
int ExitStatusOf(uint32_t result) {
  switch (result) {
    case kErrorNone:
      return kExitOk;
    case kErrorWriteFile:       // the destination file
    case kErrorReadFile:        // the source file
    case kErrorEmptyFile:       // a source file without data
    case kErrorNotImplemented:  // a protocol the interface file names but the engine lacks
      return kExitFailure;
    default:
      return kExitDevice;
  }
}

bool EqualNoCase(const std::string& a, const std::string& b) {
  if (a.size() != b.size()) return false;
  for (size_t n = 0; n < a.size(); ++n)
    if (std::toupper(static_cast<unsigned char>(a[n])) !=
        std::toupper(static_cast<unsigned char>(b[n])))
      return false;
  return true;
}

}  // namespace

int RunTransfer(const Context& context, const Args& args) {
  std::optional<int> direction;
  bool force = false;
  std::string instrumentName, port, file, trace;
  std::optional<std::string> option, baud, parity, bits, stop, handshake, format;
  for (size_t n = 0; n < args.size(); ++n) {
    const std::string& a = args[n];
    const auto value = [&](std::optional<std::string>& slot) {
      if (n + 1 >= args.size()) return false;
      slot = args[++n];
      return true;
    };
    std::optional<std::string> text;
    if (a == "--force") {
      force = true;
    } else if (a == "--send" || a == "--receive") {
      if (direction) return Usage("give one of --send and --receive");
      direction = a == "--send" ? kDirectionSend : kDirectionReceive;
    } else if (a == "--instrument" || a == "--port" || a == "--trace") {
      if (!value(text)) return Usage((a + " needs a value").c_str());
      (a == "--instrument" ? instrumentName : a == "--port" ? port : trace) = *text;
    } else if (a == "--option" || a == "--baud" || a == "--parity" || a == "--bits" ||
               a == "--stop" || a == "--handshake" || a == "--format") {
      auto& slot = a == "--option"      ? option
                   : a == "--baud"      ? baud
                   : a == "--parity"    ? parity
                   : a == "--bits"      ? bits
                   : a == "--stop"      ? stop
                   : a == "--handshake" ? handshake
                                        : format;
      if (!value(slot)) return Usage((a + " needs a value").c_str());
    } else if (!a.empty() && a[0] == '-') {
      return Usage(("unknown option " + a).c_str());
    } else if (file.empty()) {
      file = a;
    } else {
      return Usage("give one FILE");
    }
  }
  if (!direction) return Usage("give --send or --receive");
  if (instrumentName.empty()) return Usage("give --instrument NAME (see ulvo-cli instruments)");
  if (port.empty()) return Usage("give --port DEVICE");
  if (file.empty()) return Usage("give the FILE to send or to receive into");
  const int d = *direction;

  QtProfileStore store;
  auto instruments = Instruments(context, &store);
  CInstrument* instrument = nullptr;
  for (auto& i : instruments)
    if (i.Name() == instrumentName) instrument = &i;
  if (!instrument)
    for (auto& i : instruments)
      if (EqualNoCase(i.Name(), instrumentName)) instrument = &i;
  // The interface file's name, with or without ".IIF".
  if (!instrument)
    for (auto& i : instruments)
      if (EqualNoCase(i.Path().filename().string(), instrumentName) ||
          EqualNoCase(i.Path().stem().string(), instrumentName))
        instrument = &i;
  if (!instrument) {
    std::fprintf(stderr, "ulvo-cli: no instrument named '%s' in %s (see ulvo-cli instruments)\n",
                 instrumentName.c_str(), (context.home / "IIF").string().c_str());
    return kExitUsage;
  }
  CInstrument& i = *instrument;

  if (option) {
    char* end = nullptr;
    const unsigned long index = std::strtoul(option->c_str(), &end, 10);
    if (option->empty() || *end || index >= i.OptionCount(d)) {
      std::fprintf(stderr, "ulvo-cli: %s has no option %s for %s (it has %zu)\n", i.Name().c_str(),
                   option->c_str(), d == kDirectionSend ? "sending" : "receiving",
                   i.OptionCount(d));
      return kExitUsage;
    }
    i.ApplyOption(d, index);
    std::fprintf(stderr, "Option: %s\n", i.Options(d)[index].name.c_str());
  }

  const TransferParams& cap = i.Capabilities(d);
  TransferParams p = i.Params(d);
  uint32_t parityByte = ParityByte(p.lineFormat), bitsByte = DataBitsByte(p.lineFormat),
           stopByte = StopBitsByte(p.lineFormat), softByte = SoftHandshakeByte(p.lineFormat);
  if (baud) {
    int bit = -1;
    for (int b = 0; b < kBaudRateCount; ++b)
      if (*baud == std::to_string(kBaudRates[b])) bit = b;
    if (bit < 0 || !(cap.baudMask & (1u << bit)))
      return NotOffered(*baud + " baud", i, d, BaudList(cap.baudMask));
    p.baudMask = 1u << bit;
  }
  if (parity) {
    int bit = -1;
    for (int b = 0; b < kParityBitCount; ++b)
      if (*parity == kParityNames[b].summary.text) bit = b;
    if (bit < 0 || !(ParityByte(cap.lineFormat) & (1u << bit)))
      return NotOffered("parity " + *parity, i, d, ParityList(ParityByte(cap.lineFormat)));
    parityByte = 1u << bit;
  }
  if (bits) {
    int bit = -1;
    for (int b = 0; b < kDataBitsBitCount; ++b)
      if (*bits == kDataBitsNames[b]) bit = b;
    if (bit < 0 || !(DataBitsByte(cap.lineFormat) & (1u << bit)))
      return NotOffered(*bits + " data bits", i, d, DataBitsList(DataBitsByte(cap.lineFormat)));
    bitsByte = 1u << bit;
  }
  if (stop) {
    int bit = -1;
    for (int b = 0; b < kStopBitsBitCount; ++b)
      if (*stop == kStopBitsNames[b]) bit = b;
    if (bit < 0 || !(StopBitsByte(cap.lineFormat) & (1u << bit)))
      return NotOffered(*stop + " stop bits", i, d, StopList(StopBitsByte(cap.lineFormat)));
    stopByte = 1u << bit;
  }
  if (handshake) {
    int mode = -1;
    for (int m = 0; m <= kSoftHandshakeBitCount; ++m)
      if (*handshake == SoftHandshakeWord(m) || EqualNoCase(*handshake, SoftHandshakeName(m)))
        mode = m;
    if (mode < 0 || (mode > 0 && !(SoftHandshakeByte(cap.lineFormat) & (1u << (mode - 1)))))
      return NotOffered("handshake " + *handshake, i, d,
                        "none, " + SoftList(SoftHandshakeByte(cap.lineFormat)));
    softByte = mode == 0 ? 0 : 1u << (mode - 1);
  }
  if (format) {
    uint32_t bit = 0;
    for (const LinkDescription& link : LinkProtocols())
      if (EqualNoCase(*format, i.FormatName(link.formatBit)) || EqualNoCase(*format, link.name))
        bit = link.formatBit;
    if (!(cap.dataFormat & bit))
      return NotOffered("format " + *format, i, d, FormatList(i, cap.dataFormat));
    p.dataFormat = bit;
  }
  p.lineFormat = MakeLineFormat(parityByte, bitsByte, stopByte, softByte);
  i.SetParams(d, p);

  CliOwner owner(context.home);
  if (d == kDirectionSend) {
    // Found out before the port is opened: a missing file is no fault of the line.
    std::error_code ec;
    const bool folder = std::filesystem::is_directory(file, ec);
    errno = 0;
    if (folder || !std::ifstream(file, std::ios::binary)) {
      const int why = folder ? EISDIR : errno;
      owner.ErrorSet(kErrorReadFile);
      std::fprintf(stderr, "%s: %s\n", file.c_str(), std::strerror(why ? why : ENOENT));
      return kExitFailure;
    }
  }
  if (d == kDirectionReceive && !force) {
    std::error_code ec;
    if (std::filesystem::exists(file, ec)) {
      std::fprintf(stderr, "%s\n", DefaultText(Message{kAlreadyExistsMsg, file}).c_str());
      return kExitFailure;
    }
  }

  std::fprintf(stderr, "%s %s %s %s: %s\n", d == kDirectionSend ? "Sending" : "Receiving",
               file.c_str(), d == kDirectionSend ? "to" : "from", port.c_str(),
               (i.Name() + ", " + Describe(i, p)).c_str());

  QtSerialDevice qtDevice;
  SteadyClock clock;
  std::ofstream traceFile;
  std::unique_ptr<StreamTraceSink> traceSink;
  if (!trace.empty()) {
    traceFile.open(trace, std::ios::binary | std::ios::trunc);
    if (!traceFile) {
      std::fprintf(stderr, "ulvo-cli: cannot write the trace file %s\n", trace.c_str());
      return kExitFailure;
    }
    traceSink = std::make_unique<StreamTraceSink>(traceFile);
  }
  const std::filesystem::path userData = CurrentProgramFolderSources().userDataDir;
  TransferSessionOptions options;
  options.trace = traceSink.get();
  options.fallbackFolder = userData / "Received";
  // What the instrument sends is on disk as it is accepted, until it reaches a file.
  options.captureFolder = userData / "Captures";
  options.captureFailed = [](const std::string& problem) {
    std::fprintf(stderr, "ulvo-cli: warning: the receive is not captured: %s\n", problem.c_str());
  };
  TransferSession session(qtDevice, clock, std::move(options));
  const TransferOutcome outcome = session.Run(&owner, i, port, d, file);
  const uint32_t result = outcome.result;
  if (!outcome.keptCapture.empty())
    std::fprintf(stderr, "The received data is kept for ulvo-cli recover: %s\n",
                 outcome.keptCapture.string().c_str());
  for (const std::string& why : outcome.failure) std::fprintf(stderr, "%s\n", why.c_str());
  if (result >= kErrorPortNotOpened && result <= kErrorReadState) {
    const std::string hint = PortPermissionText(
        [&owner](const TextId& id) { return owner.Texts().Text(id); }, port, CheckPortAccess(port));
    if (!hint.empty()) std::fprintf(stderr, "%s\n", hint.c_str());
  }
  if (!outcome.fallbackFile.empty())
    std::fprintf(stderr, "The received data was saved to %s\n",
                 outcome.fallbackFile.string().c_str());
  if (result == 0)
    std::fprintf(stderr, "%u bytes transferred\n", session.Serial().BytesTransferred());
  if (result != 0 && d == kDirectionReceive && owner.fileWritten) {
    // A receive that failed part-way still wrote what came; say where it is.
    std::error_code ec;
    const auto size = std::filesystem::file_size(file, ec);
    std::fprintf(stderr, "What was received (%ju bytes) is in %s\n",
                 static_cast<uintmax_t>(ec ? 0 : size), file.c_str());
  }
  if (d == kDirectionReceive && outcome.fileProblem.empty() && !outcome.written) {
    std::error_code ec;
    if (std::filesystem::exists(file, ec))
      std::fprintf(stderr, "Nothing was received; %s was left as it was\n", file.c_str());
    else
      std::fprintf(stderr, "Nothing was received; no file was written\n");
  }
  return ExitStatusOf(result);
}

int RunIif(const Context&, const Args& args) {
  if (args.size() != 2 || (args[0] != "decode" && args[0] != "encode")) {
    std::fprintf(stderr, "ulvo-cli: usage: %s\n", kIifUsage);
    return kExitUsage;
  }
  std::ifstream in(args[1], std::ios::binary);
  if (!in) {
    std::fprintf(stderr, "ulvo-cli: cannot read %s\n", args[1].c_str());
    return kExitFailure;
  }
  std::string bytes;
  char chunk[65536];
  while (in.read(chunk, sizeof chunk) || in.gcount() > 0) {
    bytes.append(chunk, static_cast<size_t>(in.gcount()));
    if (bytes.size() > kMaxInterfaceFileSize) {
      std::fprintf(stderr, "ulvo-cli: %s is too large for an instrument interface file\n",
                   args[1].c_str());
      return kExitFailure;
    }
  }
  const std::string out =
      args[0] == "decode" ? DecodeInterfaceText(bytes) : EncodeInterfaceText(bytes);
  std::fwrite(out.data(), 1, out.size(), stdout);
  return std::ferror(stdout) ? kExitFailure : kExitOk;
}

int RunPorts(const Context&, const Args& args) {
  if (!args.empty()) {
    std::fprintf(stderr, "ulvo-cli: ports takes no arguments\n");
    return kExitUsage;
  }
  const QtPortProbe probe;
  const CULVOCheckPort check(probe);
  for (const PortEntry& e : check.Entries())
    std::printf("%s %s\n", e.name.c_str(), e.free ? "free" : "in use");
  if (check.Entries().empty()) std::printf("(no serial ports)\n");
  return kExitOk;
}

}  // namespace ulvo::cli
