#include "kavex/comm/capture_file.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <cerrno>
#include <condition_variable>
#include <cstring>
#include <ctime>
#include <limits>
#include <mutex>
#include <system_error>
#include <thread>

#include "kavex/formats/replace_file.h"
#include "kavex/formats/text_file.h"
#include "kavex/formats/text_format.h"

namespace kavex {

namespace fs = std::filesystem;

namespace {

std::string ErrnoText(int error) {
  return std::strerror(error != 0 ? error : EIO);
}

bool WriteAll(int fd, std::string_view bytes) {
  while (!bytes.empty()) {
    const ssize_t n = ::write(fd, bytes.data(), bytes.size());
    if (n < 0) {
      if (errno == EINTR) continue;
      return false;
    }
    bytes.remove_prefix(static_cast<size_t>(n));
  }
  return true;
}

void SyncData(int fd) {
  while (::fdatasync(fd) != 0 && errno == EINTR) {
  }
}

std::string Record(char tag, std::string_view payload) {
  std::string r = Format("%c %zu %08x\n", tag, payload.size(), Crc32(payload));
  r.append(payload);
  r.push_back('\n');
  return r;
}

std::string HeaderRecords(const CaptureHeader& h) {
  std::string s(kCaptureMagic);
  s += Record('H', "program=" + h.program);
  s += Record('H', "kind=" + h.kind);
  s += Record('H', "port=" + h.port);
  s += Record('H', "started=" + std::to_string(h.started));
  s += Record('H', "destination=" + h.destination);
  return s;
}

// The capture's file name: its start in local time, then the process, so captures of two
// programs started in the same second do not meet.
std::string CaptureStem(int64_t started, int attempt) {
  const std::time_t t = static_cast<std::time_t>(started);
  std::tm local{};
  localtime_r(&t, &local);
  std::string stem =
      Format("%04d%02d%02d-%02d%02d%02d-%ld", local.tm_year + 1900, local.tm_mon + 1, local.tm_mday,
             local.tm_hour, local.tm_min, local.tm_sec, static_cast<long>(::getpid()));
  if (attempt > 1) stem += Format("-%d", attempt);
  return stem;
}

class BackgroundSyncer final : public CaptureSyncer {
 public:
  BackgroundSyncer() : thread_([this] { Loop(); }) {}
  ~BackgroundSyncer() override {
    {
      const std::lock_guard lock(mutex_);
      quit_ = true;
      pending_ = false;
    }
    wake_.notify_all();
    thread_.join();
  }

  void SyncAt(int fd, Clock::TimePoint when) override {
    {
      const std::lock_guard lock(mutex_);
      fd_ = fd;
      when_ = pending_ ? std::min(when_, when) : when;
      pending_ = true;
    }
    wake_.notify_all();
  }
  void SyncNow(int fd) override {
    Cancel();
    SyncData(fd);
  }
  void Cancel() override {
    std::unique_lock lock(mutex_);
    pending_ = false;
    idle_.wait(lock, [this] { return !running_; });
  }

 private:
  void Loop() {
    std::unique_lock lock(mutex_);
    for (;;) {
      if (quit_) return;
      if (!pending_) {
        wake_.wait(lock);
        continue;
      }
      if (std::chrono::steady_clock::now() < when_) {
        wake_.wait_until(lock, when_);
        continue;  // look again: cancelled, quit, moved, or due
      }
      pending_ = false;
      running_ = true;
      const int fd = fd_;
      lock.unlock();
      SyncData(fd);
      lock.lock();
      running_ = false;
      idle_.notify_all();
    }
  }

  std::mutex mutex_;
  std::condition_variable wake_;
  std::condition_variable idle_;
  bool pending_ = false;
  bool running_ = false;
  bool quit_ = false;
  int fd_ = -1;
  Clock::TimePoint when_{};
  std::thread thread_;
};

bool ReadWholeFile(int fd, std::string& bytes) {
  bytes.clear();
  char buffer[65536];
  for (;;) {
    const ssize_t n = ::read(fd, buffer, sizeof buffer);
    if (n < 0 && errno == EINTR) continue;
    if (n < 0) return false;
    if (n == 0) return true;
    bytes.append(buffer, static_cast<size_t>(n));
  }
}

// "<tag> <length> <crc>" at the start of line; false when it is not one.
bool ParseRecordLine(std::string_view line, char& tag, size_t& length, uint32_t& crc) {
  if (line.size() < 12 || line[1] != ' ') return false;  // "D 0 0123abcd"
  tag = line[0];
  const size_t space = line.find(' ', 2);
  if (space == std::string_view::npos || space == 2 || space > 12) return false;
  length = 0;
  for (size_t i = 2; i < space; ++i) {
    if (line[i] < '0' || line[i] > '9') return false;
    length = length * 10 + static_cast<size_t>(line[i] - '0');
  }
  const std::string_view hex = line.substr(space + 1);
  if (hex.size() != 8) return false;
  crc = 0;
  for (const char c : hex) {
    const int v = c >= '0' && c <= '9' ? c - '0' : c >= 'a' && c <= 'f' ? c - 'a' + 10 : -1;
    if (v < 0) return false;
    crc = crc << 4 | static_cast<uint32_t>(v);
  }
  return tag == 'H' || tag == 'D';
}

void ApplyHeaderField(std::string_view field, CaptureHeader& h) {
  const size_t eq = field.find('=');
  if (eq == std::string_view::npos) return;
  const std::string_view key = field.substr(0, eq);
  const std::string value(field.substr(eq + 1));
  if (key == "program") {
    h.program = value;
  } else if (key == "kind") {
    h.kind = value;
  } else if (key == "port") {
    h.port = value;
  } else if (key == "destination") {
    h.destination = value;
  } else if (key == "started") {
    h.started = 0;
    for (const char c : value) {
      if (c < '0' || c > '9') break;
      // A time past what the field can hold is no time: the capture reads as of unknown start.
      if (h.started > (std::numeric_limits<int64_t>::max() - (c - '0')) / 10) {
        h.started = 0;
        break;
      }
      h.started = h.started * 10 + (c - '0');
    }
  }
}

// Reads the records of a capture's bytes into out; lines when given.
void Parse(std::string_view data, CaptureInfo& out, std::vector<std::string>* lines) {
  out.header = CaptureHeader{};
  out.header.program.clear();
  if (!data.starts_with(kCaptureMagic)) {
    out.problem = data.empty() || kCaptureMagic.starts_with(data) ? "the file is empty"
                                                                  : "not a capture file";
    return;
  }
  size_t pos = kCaptureMagic.size();
  bool inData = false;
  while (pos < data.size()) {
    CaptureTail tail;
    tail.record = out.records + 1;
    tail.offset = pos;
    tail.inHeader = !inData;
    const size_t end = data.find('\n', pos);
    char tag = 0;
    size_t length = 0;
    uint32_t crc = 0;
    if (end == std::string_view::npos) {
      // A record line cut short is unfinished unless what is there can never become one.
      const std::string_view part = data.substr(pos);
      constexpr size_t kLongestRecordLine = 21;  // "D 4294967295 0123abcd"
      tail.damaged = part.size() > kLongestRecordLine || (part[0] != 'H' && part[0] != 'D');
      tail.inHeader = part[0] == 'H' || (part[0] != 'D' && !inData);
      out.tail = tail;
      return;
    }
    if (!ParseRecordLine(data.substr(pos, end - pos), tag, length, crc)) {
      tail.damaged = true;
      out.tail = tail;
      return;
    }
    tail.inHeader = tag == 'H' && !inData;
    tail.expected = length;
    const size_t payload = end + 1;
    const size_t present = data.size() - payload;
    if (present < length + 1) {
      tail.have = std::min(present, length);
      out.tail = tail;
      return;
    }
    const std::string_view bytes = data.substr(payload, length);
    tail.have = length;
    if (data[payload + length] != '\n' || Crc32(bytes) != crc || (tag == 'H' && inData)) {
      tail.damaged = true;
      out.tail = tail;
      return;
    }
    if (tag == 'H') {
      ApplyHeaderField(bytes, out.header);
    } else {
      inData = true;
      ++out.records;
      out.dataBytes += length;
      if (lines) lines->emplace_back(bytes);
    }
    pos = payload + length + 1;
  }
}

// Opens and reads a capture, noting whether a running download holds it.
CaptureContents Load(const fs::path& file, bool keepLines) {
  CaptureContents c;
  c.info.file = file;
  c.info.name = file.stem().string();
  const int fd = ::open(file.c_str(), O_RDONLY | O_CLOEXEC);
  if (fd < 0) {
    c.info.problem = ErrnoText(errno);
    return c;
  }
  if (::flock(fd, LOCK_SH | LOCK_NB) != 0) c.info.inUse = errno == EWOULDBLOCK;
  std::string bytes;
  if (!ReadWholeFile(fd, bytes))
    c.info.problem = ErrnoText(errno);
  else
    Parse(bytes, c.info, keepLines ? &c.lines : nullptr);
  ::close(fd);
  return c;
}

bool HasCaptureExtension(const fs::path& p) {
  return p.extension() == kCaptureExtension;
}

void SyncFolder(const fs::path& folder) {
  const int fd = ::open(folder.empty() ? "." : folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (fd < 0) return;
  ::fsync(fd);
  ::close(fd);
}

}  // namespace

uint32_t Crc32(std::string_view bytes) {
  static const std::array<uint32_t, 256> kTable = [] {
    std::array<uint32_t, 256> t{};
    for (uint32_t i = 0; i < 256; ++i) {
      uint32_t c = i;
      for (int k = 0; k < 8; ++k) c = c & 1 ? 0xEDB88320u ^ (c >> 1) : c >> 1;
      t[i] = c;
    }
    return t;
  }();
  uint32_t crc = 0xFFFFFFFFu;
  for (const char ch : bytes)
    crc = kTable[(crc ^ static_cast<unsigned char>(ch)) & 0xFF] ^ (crc >> 8);
  return crc ^ 0xFFFFFFFFu;
}

CaptureHeader CaptureHeaderFor(const std::string& kind, const std::string& device,
                               const CommSettings& s, const std::string& destination) {
  CaptureHeader h;
  h.kind = kind;
  const char parity = s.parityCode == 1 ? 'E' : s.parityCode == 2 ? 'O' : 'N';
  h.port = Format("%s %d %d%c%d%s", device.c_str(), BaudOfRateCode(s.rateCode), s.sevenBits ? 7 : 8,
                  parity, s.stopBits == 2 ? 2 : 1, s.useAckNak ? " Ack/Nak" : "");
  h.started = std::chrono::duration_cast<std::chrono::seconds>(
                  std::chrono::system_clock::now().time_since_epoch())
                  .count();
  h.destination = destination;
  return h;
}

void CaptureSyncer::SyncRecord(int fd) {
  SyncData(fd);
}

std::unique_ptr<CaptureSyncer> MakeBackgroundSyncer() {
  return std::make_unique<BackgroundSyncer>();
}

std::unique_ptr<CaptureWriter> CaptureWriter::Create(const fs::path& folder,
                                                     const CaptureHeader& header, Clock& clock,
                                                     std::string& problem,
                                                     std::unique_ptr<CaptureSyncer> syncer) {
  std::error_code ec;
  fs::create_directories(folder, ec);
  for (int attempt = 1; attempt <= 100; ++attempt) {
    const fs::path path =
        folder / (CaptureStem(header.started, attempt) + std::string(kCaptureExtension));
    const int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_APPEND | O_CLOEXEC, 0600);
    if (fd < 0) {
      if (errno == EEXIST) continue;
      problem = path.string() + ": " + ErrnoText(errno);
      return nullptr;
    }
    // Held for the whole download: a lister sees the capture in use, and nobody can discard
    // it under us. A file discarded between open and lock is given up for a new one.
    // A file system without locks still gets its capture, only without that guard.
    while (::flock(fd, LOCK_EX) != 0 && errno == EINTR) {
    }
    struct stat st {};
    if (::fstat(fd, &st) != 0 || st.st_nlink == 0) {
      ::close(fd);
      continue;
    }
    if (!WriteAll(fd, HeaderRecords(header))) {
      problem = path.string() + ": " + ErrnoText(errno);
      ::close(fd);
      fs::remove(path, ec);
      return nullptr;
    }
    SyncData(fd);
    SyncFolder(folder);
    if (!syncer) syncer = MakeBackgroundSyncer();
    return std::unique_ptr<CaptureWriter>(new CaptureWriter(fd, path, clock, std::move(syncer)));
  }
  problem = (folder / "").string() + ": no free capture name";
  return nullptr;
}

CaptureWriter::CaptureWriter(int fd, fs::path path, Clock& clock,
                             std::unique_ptr<CaptureSyncer> syncer)
    : fd_(fd),
      path_(std::move(path)),
      clock_(clock),
      syncer_(std::move(syncer)),
      nextSync_(clock.Now()) {}

CaptureWriter::~CaptureWriter() {
  Keep();
}

bool CaptureWriter::Append(std::string_view line) {
  if (fd_ < 0 || !problem_.empty()) return false;
  if (!WriteAll(fd_, Record('D', line))) {
    problem_ = path_.string() + ": " + ErrnoText(errno);
    return false;
  }
  ++records_;
  syncer_->SyncRecord(fd_);
  // A sync asked for a time still ahead covers this line too; otherwise ask for one, no
  // sooner than kCaptureSyncInterval after the last.
  const Clock::TimePoint now = clock_.Now();
  if (now >= nextSync_) {
    nextSync_ = std::max(now, nextSync_ + kCaptureSyncInterval);
    syncer_->SyncAt(fd_, nextSync_);
  }
  return true;
}

void CaptureWriter::Close(bool remove) {
  if (fd_ < 0) return;
  if (remove) {
    syncer_->Cancel();
    std::error_code ec;
    fs::remove(path_, ec);
  } else {
    syncer_->SyncNow(fd_);
  }
  ::close(fd_);
  fd_ = -1;
}

void CaptureWriter::Finish() {
  Close(true);
}

void CaptureWriter::Keep() {
  Close(false);
}

void CapturingReceiver::Accepted(const std::string& line) {
  if (capture_) capture_->Append(StoredLineOf(line));
  inner_.Accepted(line);
}

std::string DescribeTail(const CaptureTail& t) {
  const std::string what = t.inHeader ? std::string("the header") : Format("record %zu", t.record);
  if (t.damaged) return what + " is damaged";
  if (t.expected == 0) return what + " is unfinished";
  return Format("%s is unfinished (%zu of %zu bytes)", what.c_str(), t.have, t.expected);
}

CaptureContents ReadCapture(const fs::path& file) {
  return Load(file, true);
}

std::vector<CaptureInfo> ListCaptures(const fs::path& folder) {
  std::vector<fs::path> files;
  std::error_code ec;
  for (fs::directory_iterator it(folder, ec), end; !ec && it != end; it.increment(ec)) {
    if (HasCaptureExtension(it->path()) && it->is_regular_file(ec)) files.push_back(it->path());
  }
  std::vector<CaptureInfo> list;
  for (const fs::path& f : files) list.push_back(Load(f, false).info);
  // By start; captures of one second in the order they were made ("x" before "x-2").
  std::sort(list.begin(), list.end(), [](const CaptureInfo& a, const CaptureInfo& b) {
    return a.header.started != b.header.started ? a.header.started < b.header.started
                                                : a.name < b.name;
  });
  return list;
}

std::optional<fs::path> FindCapture(const fs::path& folder, const std::string& name) {
  std::error_code ec;
  if (name.empty()) return std::nullopt;
  const fs::path given(name);
  if (given.has_parent_path() && HasCaptureExtension(given) && fs::is_regular_file(given, ec))
    return given;
  if (given.has_parent_path()) return std::nullopt;
  fs::path candidate = folder / given;
  if (!HasCaptureExtension(candidate)) candidate += kCaptureExtension;
  if (fs::is_regular_file(candidate, ec)) return candidate;
  return std::nullopt;
}

std::string DiscardCapture(const fs::path& file) {
  const int fd = ::open(file.c_str(), O_RDONLY | O_CLOEXEC);
  if (fd < 0) return file.string() + ": " + ErrnoText(errno);
  std::string why;
  if (::flock(fd, LOCK_EX | LOCK_NB) != 0 && errno == EWOULDBLOCK) {
    why = file.string() + ": a running download is writing it";
  } else if (::unlink(file.c_str()) != 0) {
    why = file.string() + ": " + ErrnoText(errno);
  }
  ::close(fd);
  return why;
}

std::string WriteRestoredLines(const CaptureContents& capture, const fs::path& path, bool replace) {
  std::error_code ec;
  if (!replace && fs::exists(fs::symlink_status(path, ec)))
    return path.string() + ": " + ErrnoText(EEXIST);
  const std::string why = ReplaceFileWith(path, ToDiskText(JoinLines(capture.lines)));
  return why.empty() ? why : path.string() + ": " + why;
}

}  // namespace kavex
