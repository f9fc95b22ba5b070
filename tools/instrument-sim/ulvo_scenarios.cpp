// ULVO's instrument side, written from the link protocol rules: 136-byte numbered blocks with
// an exclusive-or check, "ITF01" header records, check-character lines, and the answers of
// each software handshake.
#include "ulvo_scenarios.h"

#include <algorithm>
#include <chrono>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <iterator>
#include <string>
#include <thread>
#include <vector>

namespace sim {

namespace {

using namespace std::chrono_literals;

constexpr char STX = 2, ETX = 3, EOT = 4, ENQ = 5, ACK = 6, NAK = 21;

enum class Handshake { kNone, kXonXoff, kAckNak, kAckNak2 };

struct Options {
  std::string format = "ASCII";
  Handshake handshake = Handshake::kNone;
  std::string file, expect, out;
  unsigned baud = 0;
  bool addCrLf = false;
  bool silent = false;
  int nakFirst = 0;
  int delayMs = 1000;
  int waitMs = 15000;  // for the computer's ENQ
};

struct Link;
const Link* FindLink(const std::string& format);

bool Parse(const Args& args, Options& o) {
  for (size_t i = 0; i < args.size(); ++i) {
    const std::string& a = args[i];
    const bool hasValue = i + 1 < args.size();
    if (a == "--addcrlf") {
      o.addCrLf = true;
    } else if (a == "--silent") {
      o.silent = true;
    } else if (!hasValue) {
      std::fprintf(stderr, "instrument-sim: unknown or incomplete option '%s'\n", a.c_str());
      return false;
    } else {
      const std::string& v = args[++i];
      if (a == "--format") {
        o.format = v;
      } else if (a == "--handshake") {
        if (v == "none")
          o.handshake = Handshake::kNone;
        else if (v == "xonxoff")
          o.handshake = Handshake::kXonXoff;
        else if (v == "acknak")
          o.handshake = Handshake::kAckNak;
        else if (v == "acknak2")
          o.handshake = Handshake::kAckNak2;
        else
          return false;
      } else if (a == "--file") {
        o.file = v;
      } else if (a == "--expect") {
        o.expect = v;
      } else if (a == "--out") {
        o.out = v;
      } else if (a == "--baud") {
        o.baud = static_cast<unsigned>(std::atoi(v.c_str()));
      } else if (a == "--nak-first") {
        o.nakFirst = std::atoi(v.c_str());
      } else if (a == "--delay-ms") {
        o.delayMs = std::atoi(v.c_str());
      } else if (a == "--wait-ms") {
        o.waitMs = std::atoi(v.c_str());
        if (o.waitMs < 0) return false;
      } else {
        std::fprintf(stderr, "instrument-sim: unknown option '%s'\n", a.c_str());
        return false;
      }
    }
  }
  return FindLink(o.format) != nullptr;
}

bool ReadFile(const std::string& path, std::string& bytes) {
  std::ifstream in(path, std::ios::binary);
  if (!in) return false;
  bytes.assign(std::istreambuf_iterator<char>(in), {});
  return true;
}

// Sum of signed bytes, low six bits, plus a space.
char Check(const std::string& s) {
  int32_t sum = 0;
  for (char c : s) sum += static_cast<signed char>(c);
  return static_cast<char>((sum & 0x3F) + 0x20);
}

// Exclusive-or of sign-extended bytes, three characters of "%03d".
std::string Bcc(const std::string& s) {
  int32_t x = 0;
  for (char c : s) x ^= static_cast<int32_t>(static_cast<signed char>(c));
  char t[16];
  std::snprintf(t, sizeof t, "%03d", static_cast<int>(x));
  return std::string(t, 3);
}

std::string ControlRecord(char c, const std::string& extra = "") {
  std::string body = std::string(1, c) + extra + ",";
  return body + Check(body) + ",\r\n";
}

std::string Answer(const Options& o, bool good) {
  const char c = good ? ACK : NAK;
  if (o.handshake == Handshake::kAckNak) return std::string(1, c) + (o.addCrLf ? "\r\n" : "");
  if (o.handshake == Handshake::kAckNak2) return ControlRecord(c);
  return "";
}

std::string Block(const std::string& data, char number) {
  std::string body = data + std::string(128 - data.size(), ' ') + number;
  return std::string(1, STX) + body + Bcc(body) + ETX + "\r\n";
}

const std::string kEndRecord{STX, EOT, ETX, '\r', '\n'};

// Waits for the computer's answer to a record; true for an acknowledgement.
enum class Reply { kAck, kNak, kNone };
Reply AwaitReply(Pty& pty, const Options& o) {
  std::string got;
  const auto until = std::chrono::steady_clock::now() + 15s;
  while (std::chrono::steady_clock::now() < until) {
    const int c = pty.ReadByte(200ms);
    if (c < 0) continue;
    got += static_cast<char>(c);
    if (o.handshake == Handshake::kAckNak) {
      if (c == ACK) return Reply::kAck;
      if (c == NAK) return Reply::kNak;
    } else if (c == '\n') {
      if (got.find(ControlRecord(ACK)) != std::string::npos) return Reply::kAck;
      if (got.find(ControlRecord(NAK)) != std::string::npos) return Reply::kNak;
      got.clear();
    }
  }
  return Reply::kNone;
}

bool AwaitEnq(Pty& pty, std::chrono::milliseconds wait) {
  const auto until = std::chrono::steady_clock::now() + wait;
  for (auto now = std::chrono::steady_clock::now(); now < until;
       now = std::chrono::steady_clock::now()) {
    const auto left = std::chrono::ceil<std::chrono::milliseconds>(until - now);
    if (pty.ReadByte(std::min<std::chrono::milliseconds>(200ms, left)) == ENQ) return true;
  }
  return false;
}

// Sends the records one by one, each until it is acknowledged when the handshake asks.
bool SendRecords(Pty& pty, const Options& o, const std::vector<std::string>& records,
                 bool answered) {
  for (const std::string& r : records) {
    for (int attempt = 0;; ++attempt) {
      if (attempt >= 10 || !pty.Write(r)) return false;
      if (!answered) break;
      const Reply reply = AwaitReply(pty, o);
      if (reply == Reply::kAck) break;
      if (reply == Reply::kNone) return false;
    }
  }
  return true;
}

// --- What the instrument sends a file as.

std::vector<std::string> TextRecords(const std::string& data) {
  return {data + EOT};
}

std::vector<std::string> BlockRecords(const std::string& data, bool headers) {
  std::vector<std::string> records;
  size_t start = 0;
  if (headers) {
    records.push_back(std::string(1, STX) + "F00F000" + ETX + "\r\n");
    std::string head = data.substr(0, 36);
    head.resize(36, ' ');
    const std::string body = head + "S";
    records.push_back(std::string(1, STX) + body + Bcc(body) + ETX + "\r\n");
    start = std::min<size_t>(36, data.size());
  }
  char number = '0';
  for (; start < data.size(); start += 128) {
    records.push_back(Block(data.substr(start, 128), number));
    number = number == '9' ? '0' : static_cast<char>(number + 1);
  }
  records.push_back(kEndRecord);
  return records;
}
std::vector<std::string> Itf00Records(const std::string& data) {
  return BlockRecords(data, false);
}
std::vector<std::string> Itf01Records(const std::string& data) {
  return BlockRecords(data, true);
}

// The lines of a text without their line ends.
std::vector<std::string> SplitLines(const std::string& text) {
  std::vector<std::string> lines;
  size_t start = 0;
  while (start < text.size()) {
    size_t lf = text.find('\n', start);
    if (lf == std::string::npos) lf = text.size();
    std::string t = text.substr(start, lf - start);
    if (!t.empty() && t.back() == '\r') t.pop_back();
    lines.push_back(t);
    start = lf + 1;
  }
  return lines;
}

std::vector<std::string> LineRecords(const std::string& data) {
  std::vector<std::string> records = {ControlRecord(ENQ, ",01")};
  for (const std::string& text : SplitLines(data)) {
    const std::string body = text + ",";
    records.push_back(body + Check(body) + ",\r\n");
  }
  records.push_back(ControlRecord(EOT));
  return records;
}

// Whether the instrument waits for the computer's answer to each record it sends.
bool NeverAnswered(Handshake) {
  return false;
}
bool AnsweredInAckNak(Handshake h) {
  return h == Handshake::kAckNak;
}
bool AnsweredInEither(Handshake h) {
  return h == Handshake::kAckNak || h == Handshake::kAckNak2;
}

// --- How the instrument receives a file.

constexpr auto kQuiet = 10s;

// Reads exactly n bytes, or fewer when the line stays quiet for `quiet`.
std::string ReadBytes(Pty& pty, size_t n, std::chrono::milliseconds quiet) {
  std::string s;
  while (s.size() < n) {
    const int c = pty.ReadByte(quiet);
    if (c < 0) break;
    s += static_cast<char>(c);
  }
  return s;
}

std::string ReadLine(Pty& pty, std::chrono::milliseconds quiet) {
  std::string s;
  while (s.size() < 4096) {
    const int c = pty.ReadByte(quiet);
    if (c < 0) return s;
    s += static_cast<char>(c);
    if (c == '\n') break;
  }
  return s;
}

bool BlockOk(const std::string& b, char number) {
  return b.size() == 136 && b[0] == STX && b[129] == number &&
         b.substr(130, 3) == Bcc(b.substr(1, 129)) && b[133] == ETX && b[134] == '\r' &&
         b[135] == '\n';
}

// What the instrument has received, and its answers (the first --nak-first good records are
// rejected, --silent answers none).
class Receiver {
 public:
  Receiver(Pty& pty, const Options& o) : pty_(pty), o_(o), naks_(o.nakFirst) {}

  void Answer(bool good) {
    if (o_.silent) return;
    if (good && naks_ > 0) {
      --naks_;
      good = false;
    }
    pty_.Write(sim::Answer(o_, good));
  }
  // Answers, and says whether the record was taken (a rejected one comes again).
  bool Judge(bool good) {
    const bool willNak = good && naks_ > 0 && !o_.silent;
    Answer(good);
    return good && !willNak;
  }

  std::string received;            // file bytes as the instrument keeps them
  std::vector<std::string> lines;  // "ITF02" texts
  bool complete = false;           // the end record arrived

 private:
  Pty& pty_;
  const Options& o_;
  int naks_;
};

void ReceiveText(Pty& pty, const Options&, Receiver& r) {
  std::string record;
  for (;;) {
    const int c = pty.ReadByte(kQuiet);
    if (c < 0) break;
    record += static_cast<char>(c);
    if (c == EOT || record.size() == 253) {
      if (r.Judge(true)) {
        r.received += record.substr(0, c == EOT ? record.size() - 1 : record.size());
        if (c == EOT) {
          r.complete = true;
          break;
        }
      }
      record.clear();
    }
  }
}

void ReceiveBlocks(Pty& pty, Receiver& r, bool headers) {
  char number = '0';
  if (headers) {
    const std::string header0 = std::string(1, STX) + "F00F000" + ETX + "\r\n";
    for (;;) {
      const std::string h0 = ReadBytes(pty, 11, kQuiet);
      if (h0.size() < 11 || r.Judge(h0 == header0)) break;
    }
    for (;;) {
      const std::string h1 = ReadBytes(pty, 48, kQuiet);
      if (h1.size() < 48) break;
      const bool good = h1[0] == STX && h1[37] == 'S' &&
                        h1.substr(38, 3) == Bcc(h1.substr(1, 37)) && h1[41] == ETX &&
                        h1.substr(42, 2) == "\r\n" && h1.substr(46, 2) == "\r\n";
      if (r.Judge(good)) {
        r.received += h1.substr(1, 36);
        break;
      }
    }
  }
  for (;;) {
    std::string frame = ReadBytes(pty, headers ? 5 : 136, kQuiet);
    if (frame.size() < 5) break;
    if (frame.substr(0, 5) == kEndRecord) {
      r.Judge(true);
      r.complete = true;
      break;
    }
    frame += ReadBytes(pty, 136 - frame.size(), kQuiet);
    if (r.Judge(BlockOk(frame, number))) {
      r.received += frame.substr(1, 128);
      number = number == '9' ? '0' : static_cast<char>(number + 1);
    }
  }
}
void ReceiveItf00(Pty& pty, const Options&, Receiver& r) {
  ReceiveBlocks(pty, r, false);
}
void ReceiveItf01(Pty& pty, const Options&, Receiver& r) {
  ReceiveBlocks(pty, r, true);
}

void ReceiveLines(Pty& pty, const Options&, Receiver& r) {
  bool started = false;
  for (;;) {
    const std::string line = ReadLine(pty, kQuiet);
    if (line.empty() || line.back() != '\n') break;
    const bool good =
        line.size() >= 4 && line[line.size() - 4] == Check(line.substr(0, line.size() - 4));
    if (!good) {
      r.Answer(false);
      continue;
    }
    if (line == ControlRecord(ENQ, ",01")) {
      if (r.Judge(true)) started = true;
    } else if (line == ControlRecord(EOT)) {
      if (r.Judge(true)) {
        r.complete = started;
        break;
      }
    } else if (r.Judge(true)) {
      r.lines.push_back(line.substr(0, line.size() - 5));
    }
  }
  for (const auto& l : r.lines) r.received += l + "\r\n";
}

// How what arrived is held against --expect.
enum class Compare {
  kExact,   // byte for byte
  kPadded,  // blocks are padded with spaces up to their full length
  kLines,   // line by line, line ends aside
};

// One link protocol as the instrument plays it.
struct Link {
  const char* format;  // as --format names it
  std::vector<std::string> (*records)(const std::string& data);
  bool (*answered)(Handshake handshake);
  void (*receive)(Pty& pty, const Options& o, Receiver& r);
  Compare compare;
};

const Link kLinks[] = {
    {"ASCII", TextRecords, NeverAnswered, ReceiveText, Compare::kExact},
    {"ITF00", Itf00Records, AnsweredInAckNak, ReceiveItf00, Compare::kPadded},
    {"ITF01", Itf01Records, AnsweredInAckNak, ReceiveItf01, Compare::kPadded},
    {"ITF02", LineRecords, AnsweredInEither, ReceiveLines, Compare::kLines},
};

const Link* FindLink(const std::string& format) {
  for (const Link& link : kLinks)
    if (format == link.format) return &link;
  return nullptr;
}

// "ASCII|ITF00|ITF01|ITF02"
std::string FormatWords() {
  std::string words;
  for (const Link& link : kLinks) words += (words.empty() ? "" : "|") + std::string(link.format);
  return words;
}

}  // namespace

const char* UlvoSendUsage() {
  static const std::string usage =
      "  ulvo-send --format " + FormatWords() +
      " --handshake none|xonxoff|acknak|acknak2\n"
      "            --file FILE [--baud N] [--addcrlf] [--delay-ms N] [--wait-ms N]\n"
      "      the instrument sends FILE: in acknak once the computer's ENQ came, which it waits\n"
      "      for at most --wait-ms (default 15000); otherwise after --delay-ms (default 1000)";
  return usage.c_str();
}

const char* UlvoReceiveUsage() {
  static const std::string usage =
      "  ulvo-receive --format " + FormatWords() +
      " --handshake none|xonxoff|acknak|acknak2\n"
      "            [--expect FILE] [--out FILE] [--nak-first N] [--silent] [--addcrlf] [--baud N]\n"
      "      the instrument receives a file, answers ACK/NAK or control records (or stays\n"
      "      silent), and exits 0 when what arrived matches --expect";
  return usage.c_str();
}

int RunUlvoSend(Pty& pty, const Args& args) {
  Options o;
  std::string data;
  if (!Parse(args, o) || !ReadFile(o.file, data)) {
    std::fprintf(stderr, "instrument-sim: ulvo-send needs --format, --handshake and a --file\n");
    return 2;
  }
  pty.SetBaud(o.baud);
  const Link& link = *FindLink(o.format);
  const std::vector<std::string> records = link.records(data);
  const bool answered = link.answered(o.handshake);
  if (o.handshake == Handshake::kAckNak) {
    if (!AwaitEnq(pty, std::chrono::milliseconds(o.waitMs))) {
      std::fprintf(stderr, "instrument-sim: no ENQ from the computer within %d ms\n", o.waitMs);
      return 1;
    }
  } else {
    std::this_thread::sleep_for(std::chrono::milliseconds(o.delayMs));
  }
  if (!SendRecords(pty, o, records, answered)) {
    std::fprintf(stderr, "instrument-sim: the computer did not take the records\n");
    return 1;
  }
  // Let the last bytes drain before the pseudo-terminal goes away.
  std::this_thread::sleep_for(500ms);
  return 0;
}

int RunUlvoReceive(Pty& pty, const Args& args) {
  Options o;
  if (!Parse(args, o)) {
    std::fprintf(stderr, "instrument-sim: ulvo-receive needs --format and --handshake\n");
    return 2;
  }
  pty.SetBaud(o.baud);
  const Link& link = *FindLink(o.format);
  Receiver r(pty, o);
  link.receive(pty, o, r);

  if (!o.out.empty()) std::ofstream(o.out, std::ios::binary) << r.received;
  if (o.silent) return 0;
  if (!r.complete) {
    std::fprintf(stderr, "instrument-sim: the transfer did not reach its end record\n");
    return 1;
  }
  if (!o.expect.empty()) {
    std::string expected;
    if (!ReadFile(o.expect, expected)) return 2;
    if (link.compare == Compare::kLines) {
      const std::vector<std::string> want = SplitLines(expected);
      for (size_t i = 0; i < std::max(want.size(), r.lines.size()); ++i) {
        const std::string a = i < want.size() ? want[i] : "(none)";
        const std::string b = i < r.lines.size() ? r.lines[i] : "(none)";
        if (a != b) {
          std::fprintf(stderr, "instrument-sim: line %zu: expected '%s', got '%s'\n", i + 1,
                       a.c_str(), b.c_str());
          return 1;
        }
      }
    } else {
      const std::string& received = r.received;
      const bool same =
          link.compare == Compare::kPadded
              ? received.size() >= expected.size() &&
                    received.compare(0, expected.size(), expected) == 0 &&
                    received.find_first_not_of(' ', expected.size()) == std::string::npos
              : received == expected;
      if (!same) {
        std::fprintf(stderr,
                     "instrument-sim: received %zu bytes that differ from the %zu expected\n",
                     received.size(), expected.size());
        return 1;
      }
    }
  }
  std::this_thread::sleep_for(200ms);
  return 0;
}

}  // namespace sim
