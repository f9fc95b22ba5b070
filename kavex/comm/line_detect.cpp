#include "kavex/comm/line_detect.h"

#include <algorithm>
#include <bit>
#include <cstdio>
#include <vector>

namespace kavex {

namespace {

using std::chrono::milliseconds;

bool EvenOnes(unsigned char b) {
  return std::popcount(static_cast<unsigned>(b)) % 2 == 0;
}
bool AnyByte(unsigned char) {
  return true;
}
bool OddOnes(unsigned char b) {
  return !EvenOnes(b);
}
bool HighBitSet(unsigned char b) {
  return (b & 0x80) != 0;
}

// Read at 8N1: 7E1's parity bit is the eighth bit, so every byte has an even number of ones;
// 8E1's parity bit is sampled as the stop bit, so only bytes with an odd number survive.
const DetectFrame kFrames[] = {
    {"7E1", 7, 1, 1, EvenOnes, true, false},   {"7O1", 7, 2, 1, OddOnes, true, false},
    {"8E1", 8, 1, 1, OddOnes, false, true},    {"8O1", 8, 2, 1, EvenOnes, false, true},
    {"7N1", 7, 0, 1, HighBitSet, true, false}, {"8N1", 8, 0, 1, AnyByte, false, false},
};

// What instruments send in bulk: printable ASCII, line ends, tabs, a block's STX and ETX. The
// other control bytes come once a transfer, if at all, and a receiver out of step makes them
// often (EOT is four zero bits after one).
bool InstrumentData(unsigned char c) {
  if (c >= 0x20 && c < 0x7F) return true;
  switch (c) {
    case '\r':
    case '\n':
    case '\t':
    case 0x02:  // STX
    case 0x03:  // ETX
      return true;
    default:
      return false;
  }
}

// Fewer fitting bytes than this tell nothing: a parity pattern holds by chance too often.
constexpr size_t kMinFitting = 16;
// A receiver at a fraction of the sender's speed makes a few values over and over; what an
// instrument sends has more.
constexpr size_t kMinDistinct = 5;
// Bytes a receiver makes of the line while it falls into step after a change of speed.
constexpr size_t kSettling = 2;

struct Fit {
  size_t data = 0;     // fitting bytes with data
  size_t dropped = 0;  // NULs where a framing error is expected
  size_t highBit = 0;  // fitting bytes with the eighth bit set
  size_t other = 0;
  size_t distinct = 0;  // data values among the fitting bytes
  size_t digits = 0;    // digits and spaces
};

// The bytes after those a receiver made while falling into step: from the last byte that
// fits `f` no more than kSettling others follow.
std::string_view Settled(const DetectFrame& f, std::string_view bytes, bool anyLength = false) {
  size_t others = 0;
  for (size_t i = bytes.size(); i-- > 0;) {
    const auto b = static_cast<unsigned char>(bytes[i]);
    const bool fits =
        (f.dropsOnParity && b == 0) || (f.fits(b) && InstrumentData(f.sevenBits ? b & 0x7F : b));
    // Falling into step takes a few bytes, not most of them: a long enough run of bytes fits
    // some frame by chance.
    if (!fits && ++others > kSettling)
      return anyLength || i + 1 <= bytes.size() / 2 ? bytes.substr(i + 1) : bytes;
  }
  return bytes;
}

Fit FitOf(const DetectFrame& f, std::string_view bytes) {
  Fit fit;
  bool seen[256] = {};
  for (const char ch : bytes) {
    const auto b = static_cast<unsigned char>(ch);
    if (f.dropsOnParity && b == 0) {
      ++fit.dropped;
    } else if (f.fits(b) && InstrumentData(f.sevenBits ? b & 0x7F : b)) {
      ++fit.data;
      fit.highBit += b >> 7;
      const unsigned char data = f.sevenBits ? b & 0x7F : b;
      fit.distinct += seen[data] ? 0 : 1;
      fit.digits += (data >= '0' && data <= '9') || data == ' ' ? 1 : 0;
      seen[data] = true;
    } else {
      ++fit.other;
    }
  }
  return fit;
}

bool Explains(const DetectFrame& f, const Fit& fit, size_t minFitting = kMinFitting) {
  const size_t total = fit.data + fit.dropped + fit.other;
  // Instruments send numbers in columns; what a receiver makes of a faster line is mostly
  // letters and signs.
  // In a stream without pauses a receiver set to a new speed can take data bits for start bits
  // for dozens of bytes before it falls into step; those are left out (Settled), but among
  // what is left no more than a few may be others.
  if (fit.data < minFitting || fit.distinct < std::min(kMinDistinct, minFitting / 2) ||
      fit.digits < fit.data / 4 || fit.other > std::max(kSettling, total / 32))
    return false;
  // A parity bit in the eighth place shows as both values there: without any set the bytes
  // are 8-bit data that happen to fit.
  if (f.sevenBits && f.parity != 0)
    return fit.highBit >= fit.data / 8 && fit.data - fit.highBit >= fit.data / 8;
  if (f.dropsOnParity) return fit.dropped <= 5 * fit.data;
  return true;
}

// The time at `baud` for at least `frames` 11-bit frames, and never less than 150 ms: long
// enough for kMinFitting bytes to survive even when half of them are dropped.
milliseconds WindowAt(int baud, int frames) {
  return std::max(milliseconds(150), milliseconds(frames * 11 * 1000 / baud + 1));
}

constexpr int kWindowFrames = 96;
// A receiver can stay out of step through a whole block of zeros at 8E1 or 8O1 until the pause
// after it; a first look shorter than a block and its pause can see nothing that fits and cost
// a sweep more. Where that takes little time (4800 baud and faster) the look lasts that long.
constexpr int kBlockFrames = 150;
constexpr milliseconds kLongestBlockLook{350};
constexpr int kConfirmFrames = 64;
constexpr size_t kEnoughBytes = 128;
constexpr size_t kFirstBytes = 16;
constexpr milliseconds kPoll{50};
// Long enough to hear a byte of a line that is busy at any speed.
constexpr milliseconds kQuietLook{60};
// How long a look waits for its first byte.
constexpr milliseconds kBusyWait{400};
// A look out of step lasts no longer than a block of this many characters and what fits after.
constexpr int kOutOfStepFrames = 300;
// Out of step at the sender's speed a byte arrives for most characters (in tenths); at another
// speed for half of them or fewer.
constexpr size_t kInStepTenths = 6;
// Bytes enough to tell that, even when a port hands them on in bursts.
constexpr size_t kDenseRun = 64;

// How many 10-bit characters the line carries at `baud` in `span`.
size_t CharactersIn(std::chrono::steady_clock::duration span, int baud) {
  return static_cast<size_t>(std::chrono::duration_cast<std::chrono::microseconds>(span).count() *
                             baud / 10'000'000);
}

std::string Seconds(milliseconds ms) {
  const double seconds = static_cast<double>(ms.count()) / 1000.0;
  char text[32];
  std::snprintf(text, sizeof text, seconds < 10.0 ? "%.1f" : "%.0f", seconds);
  return text;
}

// Where the end of a window that fits a frame begins, however long the receiver took to fall
// into step (worth listening on at that speed), with `atLeast` fitting bytes; npos when none.
size_t EndFits(std::string_view bytes, size_t atLeast) {
  size_t from = std::string_view::npos;
  for (const DetectFrame& f : kFrames) {
    const std::string_view settled = Settled(f, bytes, true);
    if (Explains(f, FitOf(f, settled), atLeast))
      from = std::min(from, bytes.size() - settled.size());
  }
  return from;
}

}  // namespace

const DetectFrame* DetectFrames(size_t& count) {
  count = std::size(kFrames);
  return kFrames;
}

const DetectFrame* FrameOfBytes(std::string_view bytes) {
  for (const DetectFrame& f : kFrames)
    if (Explains(f, FitOf(f, Settled(f, bytes)))) return &f;
  return nullptr;
}

std::string DetectReport::Settings() const {
  if (outcome != Outcome::kFound || frame == nullptr) return {};
  return std::to_string(baud) + " " + frame->name;
}

std::string DetectReport::Message(const std::string& port) const {
  switch (outcome) {
    case Outcome::kFound:
      return "The instrument sends at " + std::to_string(baud) + " baud, " + frame->name + ".";
    case Outcome::kNothingArrived:
      return "Nothing arrived on " + port + " in " + Seconds(listened) +
             " s: check the cable, the port, and that the instrument is sending";
    case Outcome::kNothingFits:
      return std::to_string(bytes) + " bytes arrived on " + port +
             " that fit no speed from 1200 to 115200 baud and no frame (first: " +
             HexPreview(firstBytes, 8) + ")";
    case Outcome::kCancelled:
      return "Detection cancelled.";
    case Outcome::kCannotOpen:
      return "Cannot open " + port + ".";
    case Outcome::kPortFailed:
      return "Cannot set the line settings of " + port + ".";
  }
  return {};
}

std::string ExplainLine(const std::string& port, const LineTally& arrived, size_t records,
                        milliseconds waited, int portBaud, const std::string& portFrame) {
  if (arrived.bytes == 0)
    return "Nothing arrived on " + port + " in " + Seconds(waited) +
           " s: check the cable, the port, and that the instrument is sending";
  // Read at 8N1 the bytes tell the frame, and the speed is the port's when they fit one.
  if (portFrame == "8N1") {
    const DetectFrame* f =
        FrameOfBytes(std::string_view(arrived.first).substr(arrived.first.size() / 4));
    if (f != nullptr && portFrame != f->name)
      return "The instrument seems to send at " + std::to_string(portBaud) + " baud, " + f->name +
             "; the port is set to " + std::to_string(portBaud) + " baud, " + portFrame;
  }
  // Some records came, or what came looks like data: the line works, and the protocol's
  // message says what went wrong.
  if (records > 0 || std::all_of(arrived.first.begin(), arrived.first.end(), [](char c) {
        return InstrumentData(static_cast<unsigned char>(c));
      }))
    return {};
  return std::to_string(arrived.bytes) +
         " bytes arrived that fit no record (first: " + HexPreview(arrived.first, 4) +
         "): the instrument's speed or frame is probably not the port's; try Detect";
}

std::string HexPreview(std::string_view bytes, size_t count) {
  std::string text;
  char hex[4];
  for (size_t i = 0; i < std::min(count, bytes.size()); ++i) {
    std::snprintf(hex, sizeof hex, "%02X", static_cast<unsigned char>(bytes[i]));
    text += (i == 0 ? "" : " ") + std::string(hex);
  }
  if (bytes.size() > count) text += "\u2026";
  return text;
}

DetectReport DetectLineSettings(DetectPort& port, milliseconds listen, DetectProgress* progress) {
  DetectReport report;
  const auto start = port.Now();
  const auto end = start + listen;
  const auto elapsed = [&] { return std::chrono::duration_cast<milliseconds>(port.Now() - start); };
  // When the bytes of the current look arrived.
  std::vector<std::chrono::steady_clock::time_point> arrivals;
  // Reads until `until` or until `enough` bytes are in `got`; false when cancelled.
  const auto gather = [&](std::chrono::steady_clock::time_point until, size_t enough,
                          std::string& got) {
    until = std::min(until, end);
    for (auto now = port.Now(); now < until && got.size() < enough; now = port.Now()) {
      if (progress && !progress->Listening(static_cast<double>((now - start).count()) /
                                           static_cast<double>((end - start).count())))
        return false;
      const int b = port.ReadByte(std::min(kPoll, std::chrono::ceil<milliseconds>(until - now)));
      if (b < 0) continue;
      got.push_back(static_cast<char>(b));
      arrivals.push_back(port.Now());
      ++report.bytes;
      if (report.firstBytes.size() < kFirstBytes) report.firstBytes.push_back(static_cast<char>(b));
    }
    return true;
  };
  const auto stopped = [&](DetectReport::Outcome outcome) {
    report.outcome = outcome;
    report.listened = elapsed();
    return report;
  };
  // Until the instrument is heard, a short look at each speed in turn: any byte tells it is
  // sending, and the sweep that follows starts with the line busy, so where the instrument
  // happened to be when it began costs nothing.
  for (size_t i = 0; report.bytes == 0 && port.Now() < end; i = (i + 1) % std::size(kDetectBauds)) {
    if (!port.SetSpeed(kDetectBauds[i])) return stopped(DetectReport::Outcome::kPortFailed);
    std::string got;
    if (!gather(port.Now() + kQuietLook, 1, got)) return stopped(DetectReport::Outcome::kCancelled);
  }
  // A receiver slower than the sender samples its bits here and there and may make something
  // of them that fits; one faster than the sender sees each bit several times over and makes
  // runs of equal bits that hardly ever do. So the sweep goes from the fastest speed down, and
  // the first that fits is the instrument's.
  while (port.Now() < end) {
    for (auto baudAt = std::rbegin(kDetectBauds); baudAt != std::rend(kDetectBauds); ++baudAt) {
      const int baud = *baudAt;
      if (port.Now() >= end) break;
      if (!port.SetSpeed(baud)) return stopped(DetectReport::Outcome::kPortFailed);
      std::string got;
      arrivals.clear();
      // The look lasts from the first byte: an instrument that pauses between lines can be
      // quiet for the whole of a short look at the right speed.
      if (!gather(port.Now() + kBusyWait, 1, got))
        return stopped(DetectReport::Outcome::kCancelled);
      if (got.empty()) continue;
      const auto lookStart = arrivals.front();
      const milliseconds look = std::max(WindowAt(baud, kWindowFrames),
                                         std::min(kLongestBlockLook, WindowAt(baud, kBlockFrames)));
      if (!gather(lookStart + look, kEnoughBytes, got))
        return stopped(DetectReport::Outcome::kCancelled);
      // Bytes that begin to fit at a slow speed: the window was too short for what a frame
      // that drops half of them lets through.
      for (int longer = 0; longer < 2 && EndFits(got, kMinFitting) == std::string_view::npos &&
                           EndFits(got, kMinFitting / 4) != std::string_view::npos;
           ++longer)
        if (!gather(port.Now() + WindowAt(baud, kWindowFrames / 2), got.size() + kEnoughBytes / 2,
                    got))
          return stopped(DetectReport::Outcome::kCancelled);
      // A receiver at the sender's speed that fell into step on a data bit makes a byte of
      // every character and stays out of step until the line pauses, which in a run of zeros
      // (a block at 8E1 or 8O1, a line of numbers at 7O1) can take a whole block. Only a byte
      // that often tells that apart from another speed: when some run of bytes came that often
      // (the line may have paused since), the look goes on until the bytes fit.
      const auto outOfStep = [&] {
        for (size_t i = kDenseRun; i <= arrivals.size(); ++i)
          if (CharactersIn(arrivals[i - 1] - arrivals[i - kDenseRun], baud) * kInStepTenths <=
              kDenseRun * 10)
            return true;
        return false;
      };
      while (port.Now() < end && EndFits(got, kMinFitting) == std::string_view::npos &&
             port.Now() - lookStart < WindowAt(baud, kOutOfStepFrames) && outOfStep())
        if (!gather(port.Now() + WindowAt(baud, kWindowFrames / 2), got.size() + kEnoughBytes, got))
          return stopped(DetectReport::Outcome::kCancelled);
      const size_t settled = EndFits(got, kMinFitting);
      if (settled == std::string_view::npos) continue;
      // That can fit by chance; what follows must fit as well, and tells frames apart that few
      // bytes cannot.
      if (!gather(port.Now() + WindowAt(baud, kConfirmFrames), got.size() + 2 * kEnoughBytes, got))
        return stopped(DetectReport::Outcome::kCancelled);
      if (const DetectFrame* f = FrameOfBytes(std::string_view(got).substr(settled))) {
        report.baud = baud;
        report.frame = f;
        return stopped(DetectReport::Outcome::kFound);
      }
    }
  }
  report.outcome = report.bytes == 0 ? DetectReport::Outcome::kNothingArrived
                                     : DetectReport::Outcome::kNothingFits;
  report.listened = elapsed();
  return report;
}

namespace {

class DevicePort final : public DetectPort {
 public:
  DevicePort(SerialDevice& device, Clock& clock) : device_(device), clock_(clock) {}
  bool SetSpeed(int baud) override {
    // XON/XOFF off: a DC3 that arrives is evidence, not flow control.
    if (!device_.Configure({baud, 8, 0, 1, false})) return false;
    device_.PurgeInput();
    return true;
  }
  int ReadByte(milliseconds timeout) override { return device_.ReadByte(timeout); }
  std::chrono::steady_clock::time_point Now() override { return clock_.Now(); }

 private:
  SerialDevice& device_;
  Clock& clock_;
};

}  // namespace

DetectReport DetectLineSettings(SerialDevice& device, Clock& clock, const std::string& devicePath,
                                milliseconds listen, DetectProgress* progress) {
  if (!device.Open(devicePath)) {
    DetectReport report;
    report.outcome = DetectReport::Outcome::kCannotOpen;
    return report;
  }
  DevicePort port(device, clock);
  DetectReport report = DetectLineSettings(port, listen, progress);
  device.Close();
  return report;
}

}  // namespace kavex
