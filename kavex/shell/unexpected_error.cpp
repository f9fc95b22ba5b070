#include "kavex/shell/unexpected_error.h"

#include <unistd.h>

#include <new>
#include <system_error>

#include "kavex/comm/capture_file.h"

namespace kavex {
namespace {

// The lines are written at once, then synced once: nobody is waiting for an answer per line.
class SyncAtEnd final : public CaptureSyncer {
 public:
  void SyncAt(int, Clock::TimePoint) override {}
  void SyncNow(int fd) override { ::fdatasync(fd); }
  void Cancel() override {}
  void SyncRecord(int) override {}
};

}  // namespace

std::string DescribeException(std::exception_ptr error) {
  try {
    if (error) std::rethrow_exception(error);
  } catch (const std::bad_alloc&) {
    return std::string(kOutOfMemory);
  } catch (const std::exception& e) {
    return e.what();
  } catch (...) {
  }
  return "an unexpected error";
}

std::vector<std::string> FilesNamed(const std::vector<std::string>& args) {
  std::vector<std::string> files;
  std::vector<std::string> operands;
  for (const std::string& a : args) {
    if (a.empty() || a[0] == '-') continue;
    operands.push_back(a);
    std::error_code ec;
    if (std::filesystem::is_regular_file(a, ec)) files.push_back(a);
  }
  return files.empty() ? operands : files;
}

std::filesystem::path KeepCurrentDataForRecovery(MainLogic& logic,
                                                 const std::filesystem::path& folder,
                                                 std::string& problem) {
  const std::vector<std::string> lines = logic.View().Lines();
  if (lines.empty()) return {};
  CaptureHeader header;
  header.kind = "unsaved data";
  header.started = std::chrono::duration_cast<std::chrono::seconds>(
                       std::chrono::system_clock::now().time_since_epoch())
                       .count();
  header.destination = logic.hasFile ? logic.currentPath : std::string();
  std::unique_ptr<CaptureWriter> capture =
      CaptureWriter::Create(folder, header, logic.Time(), problem, std::make_unique<SyncAtEnd>());
  if (!capture) return {};
  for (const std::string& line : lines) {
    if (!capture->Append(line)) {
      problem = capture->Problem();
      return {};
    }
  }
  std::filesystem::path path = capture->Path();
  capture->Keep();
  // Offered at the next start unless the lines are saved or let go before then.
  logic.HoldCaptureFile(path);
  return path;
}

std::string UnexpectedErrorMessage(const std::string& what, const std::filesystem::path& kept,
                                   const std::string& problem) {
  std::string text = "The command could not be finished: " + what + ".";
  if (!kept.empty())
    text += "\nThe current data is kept in " + kept.string() +
            " and is offered again at the next start.";
  else if (!problem.empty())
    text += "\nThe current data could not be kept: " + problem;
  return text;
}

}  // namespace kavex
