// kavex-cli recover: downloads that a crash, a kill or a power loss interrupted.
#include <cstdio>
#include <ctime>
#include <string>

#include "kavex/cli/commands.h"
#include "kavex/comm/capture_file.h"
#include "kavex/formats/text_file.h"
#include "kavex/formats/text_format.h"
#include "kavex/platform/config_paths.h"

namespace kavex::cli {
namespace {

int Usage(const std::string& problem) {
  std::fprintf(stderr, "kavex-cli recover: %s (see kavex-cli --help)\n", problem.c_str());
  return kExitUsage;
}

int Failure(const std::string& message) {
  std::fprintf(stderr, "%s\n", message.c_str());
  return kExitFailure;
}

std::string LocalTime(int64_t seconds) {
  const std::time_t t = static_cast<std::time_t>(seconds);
  std::tm local{};
  localtime_r(&t, &local);
  return Format("%04d-%02d-%02d %02d:%02d:%02d", local.tm_year + 1900, local.tm_mon + 1,
                local.tm_mday, local.tm_hour, local.tm_min, local.tm_sec);
}

// What is wrong with a capture, or what its last record lacks; empty when nothing is.
std::string Note(const CaptureInfo& c) {
  if (c.inUse) return "a running download is writing it";
  if (!c.problem.empty()) return c.problem;
  return c.tail ? DescribeTail(*c.tail) : std::string();
}

int List() {
  for (const CaptureInfo& c : ListCaptures(KavexCaptureFolder())) {
    std::printf("%s\t%s\t%s\t%zu lines\t%s\t%s\t%s\n", c.name.c_str(),
                LocalTime(c.header.started).c_str(), c.header.kind.c_str(), c.records,
                c.header.destination.empty() ? "(current data)" : c.header.destination.c_str(),
                c.header.port.c_str(), Note(c).c_str());
  }
  return kExitOk;
}

// The capture named on the command line, readable and not in use.
bool Open(const std::string& name, CaptureContents& capture) {
  const std::optional<std::filesystem::path> file = FindCapture(KavexCaptureFolder(), name);
  if (!file) {
    std::fprintf(stderr,
                 "kavex-cli recover: no unfinished download '%s' (see kavex-cli recover list)\n",
                 name.c_str());
    return false;
  }
  capture = ReadCapture(*file);
  const std::string note =
      capture.info.inUse || !capture.info.problem.empty() ? Note(capture.info) : std::string();
  if (!note.empty()) {
    std::fprintf(stderr, "kavex-cli recover: %s: %s\n", file->string().c_str(), note.c_str());
    return false;
  }
  return true;
}

int Restore(const Args& args) {
  std::string name;
  std::string output;
  bool force = false;
  for (size_t i = 1; i < args.size(); ++i) {
    const std::string& a = args[i];
    if (a == "-o" || a == "--output") {
      if (i + 1 >= args.size() || args[i + 1].empty()) return Usage("-o needs a file");
      output = args[++i];
    } else if (a == "--force") {
      force = true;
    } else if (!a.empty() && a[0] == '-') {
      return Usage("unknown option '" + a + "'");
    } else if (name.empty()) {
      name = a;
    } else {
      return Usage("one capture at a time");
    }
  }
  if (name.empty()) return Usage("which capture (see kavex-cli recover list)");
  CaptureContents capture;
  if (!Open(name, capture)) return kExitFailure;
  if (capture.info.tail)
    std::fprintf(stderr, "kavex-cli recover: %s: not restored\n",
                 DescribeTail(*capture.info.tail).c_str());
  if (output.empty()) output = capture.info.header.destination;
  if (output.empty()) {
    // Standard output may be a pipe that fails unseen: the capture stays until discarded.
    const std::string disk = ToDiskText(JoinLines(capture.lines));
    const bool written = std::fwrite(disk.data(), 1, disk.size(), stdout) == disk.size();
    if (std::fflush(stdout) != 0 || !written) return Failure("Saving Aborted.");
    return kExitOk;
  }
  std::error_code ec;
  if (!force && std::filesystem::exists(output, ec)) {
    return Failure("File exists Overwrite?\n" + output + " (give --force to replace it)");
  }
  if (const std::string why = WriteRestoredLines(capture, output, force); !why.empty())
    return Failure("Saving Aborted.\n" + why);
  std::fprintf(stderr, "Restored %zu lines to %s\n", capture.lines.size(), output.c_str());
  if (const std::string why = DiscardCapture(capture.info.file); !why.empty())
    return Failure("kavex-cli recover: the capture could not be removed: " + why);
  return kExitOk;
}

int Discard(const Args& args) {
  if (args.size() != 2) return Usage("discard takes one capture");
  const std::optional<std::filesystem::path> file = FindCapture(KavexCaptureFolder(), args[1]);
  if (!file) {
    std::fprintf(stderr,
                 "kavex-cli recover: no unfinished download '%s' (see kavex-cli recover list)\n",
                 args[1].c_str());
    return kExitFailure;
  }
  if (const std::string why = DiscardCapture(*file); !why.empty())
    return Failure("kavex-cli recover: " + why);
  return kExitOk;
}

int RunRecover(const Args& args) {
  if (args.empty() || args[0] == "list") {
    if (args.size() > 1) return Usage("list takes no arguments");
    return List();
  }
  if (args[0] == "restore") return Restore(args);
  if (args[0] == "discard") return Discard(args);
  return Usage("unknown action '" + args[0] + "': list, restore or discard");
}

}  // namespace

extern const Command kRecoverCommand = {
    "recover",
    "kavex-cli recover [list]\n"
    "kavex-cli recover restore NAME [-o OUTPUT] [--force]\n"
    "kavex-cli recover discard NAME\n"
    "    Downloads a crash, a kill or a power loss interrupted. list: one line per capture\n"
    "    (name, start, kind, lines, destination, port, what its end lacks, tab-separated).\n"
    "    restore: writes the accepted lines (CR LF) to OUTPUT, else the download's own\n"
    "    file, else standard output, then removes the capture (not after standard output).\n"
    "    An existing file is replaced only with --force. discard: removes the capture.",
    RunRecover};

}  // namespace kavex::cli
