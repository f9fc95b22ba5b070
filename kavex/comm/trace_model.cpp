#include "kavex/comm/trace_model.h"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <system_error>

#include "kavex/formats/replace_file.h"

namespace kavex {

namespace {

// Spooled text is written in pieces of this size, so a byte costs no system call.
constexpr size_t kSpoolChunk = 64 * 1024;

std::string ErrnoText(int error) {
  return std::strerror(error != 0 ? error : EIO);
}

bool WriteAll(int fd, const char* data, size_t size) {
  while (size > 0) {
    const ssize_t n = ::write(fd, data, size);
    if (n < 0) {
      if (errno == EINTR) continue;
      return false;
    }
    data += n;
    size -= static_cast<size_t>(n);
  }
  return true;
}

}  // namespace

struct TraceModel::Spool {
  int fd = -1;
  uint64_t written = 0;  // bytes in the file, whole lines only
  std::string pending;   // lines not yet written
  uint64_t pendingFirst = 0;
  bool failed = false;
  uint64_t failedFrom = 0;  // the first record that did not reach the file
  std::string problem;

  explicit Spool(const std::filesystem::path& folder) {
    std::error_code ec;
    const std::filesystem::path base =
        folder.empty() ? std::filesystem::temp_directory_path(ec) : folder;
    std::string name = (base / "kavex-trace-XXXXXX").string();
    fd = ::mkstemp(name.data());
    if (fd < 0) {
      failed = true;
      problem = ErrnoText(errno);
      return;
    }
    // Nothing is left behind, whatever happens to the program.
    ::unlink(name.c_str());
  }
  ~Spool() {
    if (fd >= 0) ::close(fd);
  }
  Spool(const Spool&) = delete;
  Spool& operator=(const Spool&) = delete;

  void Flush() {
    if (failed || pending.empty()) return;
    if (WriteAll(fd, pending.data(), pending.size())) {
      written += pending.size();
    } else {
      failed = true;
      failedFrom = pendingFirst;
      problem = ErrnoText(errno);
      // A line cut short would read as part of the next one.
      if (::ftruncate(fd, static_cast<off_t>(written)) != 0) written = 0;
    }
    pending.clear();
  }
};

TraceModel::TraceModel(size_t windowBytes, std::filesystem::path spoolFolder)
    : windowBytes_(windowBytes),
      spoolFolder_(std::move(spoolFolder)),
      spool_(std::make_shared<Spool>(spoolFolder_)) {}

TraceModel::~TraceModel() = default;

void TraceModel::Begin() {
  auto fresh = std::make_shared<Spool>(spoolFolder_);
  const std::lock_guard lock(mutex_);
  ++generation_;
  count_ = 0;
  window_.clear();
  windowText_ = 0;
  spool_ = std::move(fresh);
}

void TraceModel::Add(TraceEntry entry) {
  std::string text = FormatTraceLine(entry);
  text.push_back('\n');
  const std::lock_guard lock(mutex_);
  const uint64_t number = count_++;
  Spool& spool = *spool_;
  if (!spool.failed) {
    if (spool.pending.empty()) spool.pendingFirst = number;
    spool.pending += text;
    if (spool.pending.size() >= kSpoolChunk) spool.Flush();
  }
  window_.push_back(Row{number, text.size(), std::move(entry)});
  windowText_ += text.size();
  // The newest record stays even when it alone is larger than the window.
  while (windowText_ > windowBytes_ && window_.size() > 1) {
    windowText_ -= window_.front().textBytes;
    window_.pop_front();
  }
}

TraceModel::Rows TraceModel::Since(uint64_t from) const {
  const std::lock_guard lock(mutex_);
  Rows rows;
  rows.generation = generation_;
  rows.first = count_;
  if (window_.empty() || from >= count_) return rows;
  const uint64_t oldest = window_.front().number;
  const size_t skip = from > oldest ? static_cast<size_t>(from - oldest) : 0;
  rows.first = window_[skip].number;
  rows.entries.reserve(window_.size() - skip);
  for (size_t i = skip; i < window_.size(); ++i) rows.entries.push_back(window_[i].entry);
  return rows;
}

uint64_t TraceModel::Generation() const {
  const std::lock_guard lock(mutex_);
  return generation_;
}

uint64_t TraceModel::Count() const {
  const std::lock_guard lock(mutex_);
  return count_;
}

size_t TraceModel::WindowTextBytes() const {
  const std::lock_guard lock(mutex_);
  return windowText_;
}

std::string TraceModel::SaveTo(const std::filesystem::path& path) const {
  std::shared_ptr<Spool> spool;
  uint64_t size = 0;
  std::string tail;  // what the spool lost, as far as the window still holds it
  {
    const std::lock_guard lock(mutex_);
    spool = spool_;
    spool->Flush();
    size = spool->written;
    if (spool->failed) {
      const uint64_t oldest = window_.empty() ? count_ : window_.front().number;
      const uint64_t lost = spool->failedFrom < oldest ? oldest - spool->failedFrom : 0;
      TraceEntry note;
      if (!window_.empty()) note.time = window_.front().entry.time;
      note.note = "(trace incomplete: " + spool->problem +
                  (lost ? "; lines missing here: " + std::to_string(lost) + ")" : ")");
      tail = FormatTraceLine(note) + '\n';
      for (const Row& row : window_) {
        if (row.number < spool->failedFrom) continue;
        tail += FormatTraceLine(row.entry);
        tail += '\n';
      }
    }
  }

  ReplacingFile out(path);
  std::string why;
  if (!out.Open(why)) return path.string() + ": " + why;
  std::string buffer(kSpoolChunk, '\0');
  for (uint64_t at = 0; at < size;) {
    const size_t want = static_cast<size_t>(std::min<uint64_t>(buffer.size(), size - at));
    const ssize_t n = ::pread(spool->fd, buffer.data(), want, static_cast<off_t>(at));
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) return path.string() + ": " + ErrnoText(n < 0 ? errno : EIO);
    out.Write(std::string_view(buffer.data(), static_cast<size_t>(n)));
    at += static_cast<uint64_t>(n);
  }
  out.Write(tail);
  if (!out.Commit(why)) return path.string() + ": " + why;
  return {};
}

}  // namespace kavex
