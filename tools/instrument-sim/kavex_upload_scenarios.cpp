// Kavex's instruments on the receiving side of the four uploads, written from the line
// protocol alone: what each upload must send, in which order, and the acknowledgement
// 0x06 CR LF after each block in Ack/Nak mode.
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <string>
#include <vector>

#include "scenarios.h"

namespace sim {
namespace {

using namespace std::chrono;

constexpr char kStx = 0x02, kEtx = 0x03, kEot = 0x04, kAck = 0x06, kNak = 0x15;
const std::string kStartBlock = std::string(1, kStx) + "F00F000" + kEtx + "\r\n";
const std::string kEndBlock = std::string{kStx, kEot, kEtx} + "\r\n";

struct Options {
  std::string kind;  // terminal, nwf, coords, codes
  bool ackNak = false;
  bool end = true;     // END byte or END block expected
  int refuse = -1;     // record (from 0) answered with NAK
  int silent = -1;     // record (from 0) left unanswered
  int lines = -1;      // terminal: lines expected
  int idleMs = 3000;   // the upload counts as over after this much silence
  int waitMs = 20000;  // for the first byte
  unsigned baud = 0;   // the acknowledgements' pace
  std::string out;     // everything received, byte for byte
  std::string error;
};

bool ParseOptions(const Args& args, Options& o) {
  if (args.empty()) {
    o.error = "which upload: terminal, nwf, coords or codes";
    return false;
  }
  o.kind = args[0];
  if (o.kind != "terminal" && o.kind != "nwf" && o.kind != "coords" && o.kind != "codes") {
    o.error = "unknown upload " + o.kind;
    return false;
  }
  for (size_t i = 1; i < args.size(); ++i) {
    const std::string& a = args[i];
    const bool hasValue = i + 1 < args.size();
    if (a == "--ack-nak") {
      o.ackNak = true;
    } else if (a == "--no-end") {
      o.end = false;
    } else if (a == "--refuse" && hasValue) {
      o.refuse = std::atoi(args[++i].c_str());
    } else if (a == "--silent" && hasValue) {
      o.silent = std::atoi(args[++i].c_str());
    } else if (a == "--lines" && hasValue) {
      o.lines = std::atoi(args[++i].c_str());
    } else if (a == "--idle-ms" && hasValue) {
      o.idleMs = std::atoi(args[++i].c_str());
    } else if (a == "--wait-ms" && hasValue) {
      o.waitMs = std::atoi(args[++i].c_str());
    } else if (a == "--baud" && hasValue) {
      o.baud = static_cast<unsigned>(std::atoi(args[++i].c_str()));
    } else if (a == "--out" && hasValue) {
      o.out = args[++i];
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

// One record as the program sends it: bytes up to LF, or a lone EOT. Empty on silence.
std::string ReadRecord(Pty& pty, int firstWaitMs, int idleMs, std::string& all) {
  std::string record;
  for (;;) {
    const int b = pty.ReadByte(milliseconds(record.empty() ? firstWaitMs : idleMs));
    if (b < 0) return record;
    record.push_back(static_cast<char>(b));
    all.push_back(static_cast<char>(b));
    if (b == '\n' || (b == kEot && record.size() == 1)) return record;
    if (record.size() > 4096) return record;
  }
}

std::string CheckDigits(const std::string& s, size_t from, size_t count) {
  unsigned x = 0;
  for (size_t i = from; i < from + count && i < s.size(); ++i)
    x ^= static_cast<unsigned char>(s[i]);
  char buf[8];
  std::snprintf(buf, sizeof buf, "%03u", x);
  return buf;
}

// A block line: STX, 128 payload characters, block digit, xor check, ETX, CR LF.
std::string BlockProblem(const std::string& r, int expectedNumber) {
  if (r.size() != 136 || r[0] != kStx || r[133] != kEtx || r.compare(134, 2, "\r\n") != 0)
    return "not a block line";
  if (r[129] != '0' + expectedNumber) return "block number out of order";
  if (r.compare(130, 3, CheckDigits(r, 1, 129)) != 0) return "wrong block check";
  return {};
}

// The initial block: STX, 37 characters ending in "S", their xor check, ETX, CR LF.
std::string InitialProblem(const std::string& r) {
  if (r.size() != 44 || r[0] != kStx || r[37] != 'S' || r[41] != kEtx ||
      r.compare(42, 2, "\r\n") != 0 || r[30] != '-')
    return "not an initial block";
  if (r.compare(38, 3, CheckDigits(r, 1, 37)) != 0) return "wrong initial block check";
  return {};
}

int RunReceive(Pty& pty, const Args& args) {
  Options o;
  if (!ParseOptions(args, o)) return Fail(o.error), 2;
  pty.SetBaud(o.baud);
  std::string all;
  auto save = [&]() {
    if (o.out.empty()) return true;
    std::ofstream f(o.out, std::ios::binary | std::ios::trunc);
    f << all;
    return static_cast<bool>(f);
  };
  const bool blocks = o.kind == "coords" || o.kind == "codes";
  int index = 0;        // records received
  int blockNumber = 0;  // the next data block's digit
  bool ended = false;
  std::string problem;
  for (;;) {
    const std::string r = ReadRecord(pty, index == 0 ? o.waitMs : o.idleMs, o.idleMs, all);
    if (r.empty()) break;  // silence: the upload is over
    if (r.back() != '\n' && r != std::string(1, kEot)) {
      problem = "record " + std::to_string(index) + " cut short";
      break;
    }
    if (ended) {
      problem = "bytes after the end";
      break;
    }
    if (o.kind == "nwf" && r == std::string(1, kEot)) {
      ended = true;
      ++index;
      continue;
    }
    if (blocks && r == kEndBlock) {
      ended = true;
      ++index;
      continue;  // no acknowledgement for the END block
    }
    if (o.kind == "coords" && index == 0) {
      if (r != kStartBlock) problem = "no start block";
    } else if (o.kind == "coords" && index == 1) {
      problem = InitialProblem(r);
    } else if (blocks) {
      problem = BlockProblem(r, blockNumber);
      blockNumber = (blockNumber + 1) % 10;
    } else if (r.size() < 3 || r.compare(r.size() - 2, 2, "\r\n") != 0 || r.size() > 193) {
      problem = "line " + std::to_string(index) + " is not at most 191 characters and CR LF";
    }
    if (!problem.empty()) {
      problem = "record " + std::to_string(index) + ": " + problem;
      break;
    }
    if (blocks && o.ackNak) {
      if (index == o.silent) {
        // After the silence the program must give up: nothing more may come.
        if (!ReadRecord(pty, o.idleMs, o.idleMs, all).empty()) problem = "sent on after silence";
        return save() && problem.empty() ? 0 : Fail(problem);
      }
      const char reply = index == o.refuse ? kNak : kAck;
      if (!pty.Write(std::string{reply, '\r', '\n'})) return save(), Fail("the program went away");
      if (reply == kNak) {
        if (!ReadRecord(pty, o.idleMs, o.idleMs, all).empty()) problem = "sent on after NAK";
        return save() && problem.empty() ? 0 : Fail(problem);
      }
    }
    ++index;
  }
  if (!save()) return Fail("cannot write " + o.out);
  if (!problem.empty()) return Fail(problem);
  if (index == 0) return Fail("nothing received");
  if (o.kind != "terminal" && ended != o.end)
    return Fail(o.end ? "no END at the end" : "an END that was not wanted");
  if (o.kind == "terminal" && o.lines >= 0 && index != o.lines)
    return Fail(std::to_string(index) + " lines instead of " + std::to_string(o.lines));
  return 0;
}

}  // namespace

extern const std::vector<Scenario> kKavexUploadScenarios = {
    {"kavex-receive",
     "  kavex-receive terminal|nwf|coords|codes [--ack-nak] [--no-end] [--refuse K]\n"
     "                [--silent K] [--lines N] [--out FILE] [--idle-ms T] [--wait-ms T]\n"
     "                [--baud N]\n"
     "      the instrument side of an upload: checks every record (start block, initial\n"
     "      block, block lines, END) and, with --ack-nak, answers 0x06 CR LF; --refuse K\n"
     "      answers record K (from 0) with 0x15 CR LF, --silent K leaves it unanswered;\n"
     "      --out writes every byte received",
     RunReceive},
};

}  // namespace sim
