// Kavex's instruments: the sending side of the terminal/NWF, QRX-6 and HK-101/102
// downloads, written from the line protocol alone.
#include <fcntl.h>
#include <sys/ioctl.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <fstream>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "scenarios.h"

namespace sim {
namespace {

using namespace std::chrono;

constexpr char kStx = 0x02, kEtx = 0x03, kEot = 0x04, kEnq = 0x05, kAck = 0x06, kDc1 = 0x11,
               kNak = 0x15;

struct Options {
  std::vector<std::string> lines;  // from --file and --line, in order
  bool haveFile = false;
  int blocks = 0;
  bool ackNak = false;
  int spoil = -1;      // index of the block/line sent once with a wrong check
  int badRecord = -1;  // index of the made-up coordinate record with a field too wide
  char end = kEot;
  unsigned baud = 0;
  int waitMs = 20000;
  int startMs = 0;  // silence before the first byte
  std::string error;
};

std::vector<std::string> ReadLines(const std::string& path, bool& ok) {
  std::ifstream in(path, std::ios::binary);
  ok = static_cast<bool>(in);
  std::vector<std::string> lines;
  std::string line;
  while (std::getline(in, line)) {
    if (!line.empty() && line.back() == '\r') line.pop_back();
    lines.push_back(line);
  }
  return lines;
}

bool ParseOptions(const Args& args, Options& o) {
  for (size_t i = 0; i < args.size(); ++i) {
    const std::string& a = args[i];
    const bool hasValue = i + 1 < args.size();
    if (a == "--file" && hasValue) {
      bool ok = false;
      auto lines = ReadLines(args[++i], ok);
      if (!ok) {
        o.error = "cannot read " + args[i];
        return false;
      }
      o.lines.insert(o.lines.end(), lines.begin(), lines.end());
      o.haveFile = true;
    } else if (a == "--line" && hasValue) {
      o.lines.push_back(args[++i]);
    } else if (a == "--blocks" && hasValue) {
      o.blocks = std::atoi(args[++i].c_str());
    } else if (a == "--ack-nak") {
      o.ackNak = true;
    } else if (a == "--bad-record" && hasValue) {
      o.badRecord = std::atoi(args[++i].c_str());
    } else if (a == "--spoil" && hasValue) {
      o.spoil = std::atoi(args[++i].c_str());
    } else if (a == "--end" && hasValue) {
      const std::string e = args[++i];
      if (e != "eot" && e != "dc1") {
        o.error = "--end is eot or dc1";
        return false;
      }
      o.end = e == "eot" ? kEot : kDc1;
    } else if (a == "--baud" && hasValue) {
      o.baud = static_cast<unsigned>(std::atoi(args[++i].c_str()));
    } else if (a == "--wait-ms" && hasValue) {
      o.waitMs = std::atoi(args[++i].c_str());
    } else if (a == "--start-ms" && hasValue) {
      o.startMs = std::atoi(args[++i].c_str());
    } else {
      o.error = "unknown option " + a;
      return false;
    }
  }
  return true;
}

int Fail(const std::string& why) {
  std::fprintf(stderr, "instrument-sim: %s\n", why.c_str());
  return 1;
}

// Returns once the program has read everything sent (or after a while), so that closing
// the pseudo-terminal never takes unread bytes with it.
void Drain(Pty& pty) {
  const int fd = open(pty.DevicePath().c_str(), O_RDONLY | O_NOCTTY | O_NONBLOCK);
  const auto until = steady_clock::now() + seconds(30);
  while (fd >= 0 && steady_clock::now() < until) {
    int pending = 0;
    if (ioctl(fd, FIONREAD, &pending) != 0 || pending == 0) break;
    std::this_thread::sleep_for(milliseconds(10));
  }
  if (fd >= 0) close(fd);
  std::this_thread::sleep_for(milliseconds(200));
}

// The three check digits of a block: exclusive-or of payload and block digit.
std::string CheckDigits(const std::string& payloadAndNumber) {
  unsigned x = 0;
  for (const char c : payloadAndNumber) x ^= static_cast<unsigned char>(c);
  char buf[8];
  std::snprintf(buf, sizeof buf, "%03u", x & 0xFFu);
  return buf;
}

std::string MakeBlock(std::string payload, int number) {
  payload.resize(128, ' ');
  payload.push_back(static_cast<char>('0' + number % 10));
  return std::string(1, kStx) + payload + CheckDigits(payload) + kEtx;
}

// A field stream of coordinate records cut into n blocks, each record as the coordinate
// conversion writes it: the name in 10 characters, millimetres in 10 ("%+09d" after a
// blank). Record bad (from 0) gets an x one character too wide, as a faulty instrument
// would send it.
std::vector<std::string> SyntheticBlocks(int n, int bad) {
  std::string stream = "_";
  for (int k = 0; static_cast<int>(stream.size()) < n * 128; ++k) {
    const int x = (1000 * k + 17) % 100000000, y = (2000 * k + 29) % 100000000,
              z = (100 * k + 3) % 100000000;
    char rec[96];
    std::snprintf(
        rec, sizeof rec,
        k == bad ? "+P%-9d_ x%+011d_ y %+09d_ z %+09d_" : "+P%-9d_ x %+09d_ y %+09d_ z %+09d_",
        k + 1, x, y, z);
    stream += rec;
  }
  std::vector<std::string> blocks;
  for (int i = 0; i < n; ++i) {
    std::string payload = stream.substr(static_cast<size_t>(i) * 128, 128);
    if (i == n - 1) {
      // The stream of the last block ends after its last complete field.
      const size_t last = payload.find_last_of('_');
      payload = payload.substr(0, last + 1);
    }
    blocks.push_back(MakeBlock(payload, i));
  }
  return blocks;
}

std::string Spoiled(const std::string& block) {
  std::string b = block;
  char& digit = b[132];
  digit = digit == '9' ? '0' : static_cast<char>(digit + 1);
  return b;
}

int WaitByte(Pty& pty, const Options& o) {
  return pty.ReadByte(milliseconds(o.waitMs));
}

int RunText(Pty& pty, const Args& args) {
  Options o;
  if (!ParseOptions(args, o)) return Fail(o.error), 2;
  pty.SetBaud(o.baud);
  std::this_thread::sleep_for(milliseconds(o.startMs));
  for (const auto& line : o.lines)
    if (!pty.Write(line + "\r\n")) return Fail("the program went away");
  if (!pty.Write(std::string(1, o.end))) return Fail("the program went away");
  Drain(pty);
  return 0;
}

int RunQrx6(Pty& pty, const Args& args) {
  Options o;
  if (!ParseOptions(args, o)) return Fail(o.error), 2;
  std::vector<std::string> blocks;
  for (const auto& line : o.lines)
    if (line.size() >= 134 && line[0] == kStx) blocks.push_back(line.substr(0, 134));
  if (o.blocks > 0) {
    const auto more = SyntheticBlocks(o.blocks, o.badRecord);
    blocks.insert(blocks.end(), more.begin(), more.end());
  }
  if (blocks.empty()) return Fail("no blocks to send (--file or --blocks)"), 2;
  pty.SetBaud(o.baud);

  if (!o.ackNak) {
    std::this_thread::sleep_for(milliseconds(o.startMs));
    for (size_t i = 0; i < blocks.size(); ++i) {
      const std::string b = static_cast<int>(i) == o.spoil ? Spoiled(blocks[i]) : blocks[i];
      if (!pty.Write(b + "\r\n")) return Fail("the program went away");
    }
    if (!pty.Write(std::string(1, kEot))) return Fail("the program went away");
    Drain(pty);
    return 0;
  }

  if (WaitByte(pty, o) != kEnq) return Fail("no ENQ");
  bool spoilPending = o.spoil >= 0;
  for (size_t i = 0; i < blocks.size();) {
    const bool spoil = spoilPending && static_cast<int>(i) == o.spoil;
    if (spoil) spoilPending = false;
    if (!pty.Write((spoil ? Spoiled(blocks[i]) : blocks[i]) + "\r\n"))
      return Fail("the program went away");
    const int reply = WaitByte(pty, o);
    if (reply == kAck && !spoil) {
      ++i;
    } else if (reply == kNak) {
      continue;  // send the block again
    } else {
      return Fail("block " + std::to_string(i) + ": unexpected answer " + std::to_string(reply));
    }
  }
  if (!pty.Write(std::string(1, kEot))) return Fail("the program went away");
  if (WaitByte(pty, o) != kAck) return Fail("no final ACK");
  return 0;
}

// HK-101/102: each line goes out as its text, the sum check character and a space, then
// CR LF, and is sent again until the program answers it with the good reply.
char HkCheck(const std::string& text) {
  long sum = 0;
  for (const char c : text) sum += static_cast<signed char>(c);
  return static_cast<char>(32 + sum % 64);
}

bool ReadReply(Pty& pty, const Options& o, std::string& reply) {
  reply.clear();
  while (reply.size() < 6) {
    const int b = WaitByte(pty, o);
    if (b < 0) return false;
    reply.push_back(static_cast<char>(b));
  }
  return true;
}

int RunHk(Pty& pty, const Args& args) {
  Options o;
  if (!ParseOptions(args, o)) return Fail(o.error), 2;
  if (o.lines.empty()) return Fail("no lines to send (--file or --line)"), 2;
  pty.SetBaud(o.baud);
  const std::string good = std::string(1, kAck) + ",R,\r\n";
  const std::string bad = std::string(1, kNak) + ",!,\r\n";
  std::this_thread::sleep_for(milliseconds(o.startMs));
  bool spoilPending = o.spoil >= 0;
  for (size_t i = 0; i < o.lines.size();) {
    const std::string& text = o.lines[i];
    char check = HkCheck(text);
    const bool spoil = spoilPending && static_cast<int>(i) == o.spoil;
    if (spoil) {
      spoilPending = false;
      check = static_cast<char>(check == '~' ? '!' : check + 1);
    }
    if (!pty.Write(text + check + " \r\n")) return Fail("the program went away");
    std::string reply;
    if (!ReadReply(pty, o, reply)) return Fail("no reply to line " + std::to_string(i));
    if (reply == good && !spoil) {
      if (!text.empty() && text[0] == 'Z') return 0;
      ++i;
    } else if (reply != bad) {
      return Fail("line " + std::to_string(i) + ": unexpected reply");
    }
  }
  return 0;
}

}  // namespace

extern const std::vector<Scenario> kKavexScenarios = {
    {"kavex-text",
     "  kavex-text [--file F] [--line TEXT]... [--end eot|dc1] [--baud N] [--start-ms T]\n"
     "      terminal/NWF download: each line with CR LF, then EOT or DC1 (after T ms)",
     RunText},
    {"kavex-qrx6",
     "  kavex-qrx6 [--file F.qr6] [--blocks N [--bad-record R]] [--ack-nak] [--spoil K]\n"
     "             [--baud N] [--wait-ms T] [--start-ms T]\n"
     "      QRX-6 download: the file's blocks (or N made-up ones of coordinate records named\n"
     "      P1, P2, ...), then EOT; with --ack-nak waits for ENQ, repeats a block on NAK and\n"
     "      wants the final ACK; --spoil K sends block K (from 0) once with a wrong check;\n"
     "      --bad-record R gives made-up record R (from 0) an 11-character x; without\n"
     "      --ack-nak the first block follows after --start-ms",
     RunQrx6},
    {"kavex-hk",
     "  kavex-hk [--file F] [--line TEXT]... [--spoil K] [--baud N] [--wait-ms T] [--start-ms T]\n"
     "      HK-101/102 download: each line plus its sum check character, a space and CR LF,\n"
     "      repeated until answered 0x06 \",R,\"; ends after a line beginning with \"Z\"",
     RunHk},
};

}  // namespace sim
