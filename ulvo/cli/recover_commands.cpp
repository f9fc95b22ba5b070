// ulvo-cli recover: receives that a crash, a kill or a power loss interrupted.
#include "ulvo/cli/recover_commands.h"

#include <cstdio>
#include <ctime>
#include <string>

#include "ulvo/convert/messages.h"
#include "ulvo/platform/program_folder.h"
#include "ulvo/transfer/capture_file.h"

namespace ulvo::cli {
namespace {

int Usage(const std::string& why) {
  std::fprintf(stderr, "ulvo-cli recover: %s\n%s\n", why.c_str(), kRecoverUsage);
  return kExitUsage;
}

int Failure(const std::string& message) {
  std::fprintf(stderr, "%s\n", message.c_str());
  return kExitFailure;
}

std::filesystem::path CaptureFolder() {
  return CurrentProgramFolderSources().userDataDir / "Captures";
}

std::string LocalTime(int64_t seconds) {
  const std::time_t t = static_cast<std::time_t>(seconds);
  std::tm local{};
  localtime_r(&t, &local);
  char text[32];
  std::strftime(text, sizeof text, "%Y-%m-%d %H:%M:%S", &local);
  return text;
}

// What is wrong with a capture, or what its last record lacks; empty when nothing is.
std::string Note(const CaptureInfo& c) {
  if (c.inUse) return "a running receive is writing it";
  if (!c.problem.empty()) return c.problem;
  return c.tail ? DescribeTail(*c.tail) : std::string();
}

int List() {
  for (const CaptureInfo& c : ListCaptures(CaptureFolder())) {
    std::printf("%s\t%s\t%s\t%s\t%llu bytes\t%s\t%s\t%s\n", c.name.c_str(),
                LocalTime(c.header.started).c_str(), c.header.instrument.c_str(),
                c.header.kind.c_str(), static_cast<unsigned long long>(c.dataBytes),
                c.header.destination.c_str(), c.header.port.c_str(), Note(c).c_str());
  }
  return kExitOk;
}

std::optional<std::filesystem::path> Find(const std::string& name) {
  std::optional<std::filesystem::path> file = FindCapture(CaptureFolder(), name);
  if (!file)
    std::fprintf(stderr,
                 "ulvo-cli recover: no unfinished receive '%s' (see ulvo-cli recover list)\n",
                 name.c_str());
  return file;
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
      return Usage("unknown option " + a);
    } else if (name.empty()) {
      name = a;
    } else {
      return Usage("one capture at a time");
    }
  }
  if (name.empty()) return Usage("which capture (see ulvo-cli recover list)");
  const std::optional<std::filesystem::path> file = Find(name);
  if (!file) return kExitFailure;
  const CaptureContents capture = ReadCapture(*file);
  if (capture.info.inUse || !capture.info.problem.empty())
    return Failure("ulvo-cli recover: " + file->string() + ": " + Note(capture.info));
  if (capture.info.tail)
    std::fprintf(stderr, "ulvo-cli recover: %s: not restored\n",
                 DescribeTail(*capture.info.tail).c_str());
  if (output.empty()) output = capture.info.header.destination;
  if (output.empty()) return Usage("the capture names no file: give -o FILE");
  std::error_code ec;
  if (!force && std::filesystem::exists(output, ec))
    return Failure(DefaultText(Message{kAlreadyExistsMsg, output}) +
                   "\n(give --force to replace it)");
  if (const std::string why = WriteRestoredData(capture, output, force); !why.empty())
    return Failure("Failed writing the destinationfile\n" + why);
  std::fprintf(stderr, "Restored %zu bytes to %s\n", capture.bytes.size(), output.c_str());
  if (const std::string why = DiscardCapture(capture.info.file); !why.empty())
    return Failure("ulvo-cli recover: the capture could not be removed: " + why);
  return kExitOk;
}

int Discard(const Args& args) {
  if (args.size() != 2) return Usage("discard takes one capture");
  const std::optional<std::filesystem::path> file = Find(args[1]);
  if (!file) return kExitFailure;
  if (const std::string why = DiscardCapture(*file); !why.empty())
    return Failure("ulvo-cli recover: " + why);
  return kExitOk;
}

}  // namespace

int RunRecover(const Context& /*context*/, const Args& args) {
  if (args.empty() || args[0] == "list") {
    if (args.size() > 1) return Usage("list takes no arguments");
    return List();
  }
  if (args[0] == "restore") return Restore(args);
  if (args[0] == "discard") return Discard(args);
  return Usage("unknown action " + args[0] + ": list, restore or discard");
}

}  // namespace ulvo::cli
