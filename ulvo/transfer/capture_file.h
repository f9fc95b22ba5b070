#pragma once

// Twin of kavex/comm/capture_file.h: the programs share no code, so the capture journal is kept
// alike in both by hand. A change to one belongs in the other too.

#include <chrono>
#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "ulvo/transfer/clock.h"
#include "ulvo/transfer/instrument.h"

namespace ulvo {

// A capture keeps on disk what a receive has accepted, as it is accepted, so that a crash,
// a kill or a power loss costs at most the record being written. One file per receive in the
// per-user data folder; it starts with the line kCaptureMagic, then records of the form
//   <tag> <length> <crc>\n<payload>\n
// tag H: a header field "name=value" (program, instrument, kind, port, started,
// destination); tag D: the bytes one accepted record adds to the destination file. length is
// decimal, crc the CRC-32 of the payload as 8 lower-case hexadecimal digits. A normal end
// removes the file.
inline constexpr std::string_view kCaptureMagic = "ULVO CAPTURE 1\n";
inline constexpr std::string_view kCaptureExtension = ".ucapture";
// Each record is on disk before it is answered (CaptureSyncer::SyncRecord). A syncer that
// leaves records to the timed sync instead (SyncRecord doing nothing) gets them there at most
// this long after they came, syncing no more often, so a slow disk cannot hold up the line.
inline constexpr std::chrono::milliseconds kCaptureSyncInterval{250};

struct CaptureHeader {
  std::string program = "ULVO";
  std::string instrument;   // the instrument's name
  std::string kind;         // data format and software handshake: "ITF00, ACK NAK"
  std::string port;         // device and line settings: "/dev/ttyUSB0 9600,none,8,1"
  int64_t started = 0;      // seconds since 1970-01-01 UTC
  std::string destination;  // the file the data was to go to
};

// The header of a receive from instrument, with its receive settings, that starts now.
CaptureHeader CaptureHeaderFor(const CInstrument& instrument, const std::string& port,
                               const std::string& destination);

// Makes written data durable (fdatasync). The real one works on a thread of its own, so the
// line never waits for the disk; tests record the requests.
class CaptureSyncer {
 public:
  virtual ~CaptureSyncer() = default;
  // Syncs fd at `when` or as soon after as it can; returns at once.
  virtual void SyncAt(int fd, Clock::TimePoint when) = 0;
  // Drops a sync not yet begun, waits for one under way, then syncs fd before returning.
  virtual void SyncNow(int fd) = 0;
  // Drops a sync not yet begun and waits for one under way.
  virtual void Cancel() = 0;
  // Makes a record just written durable before it is answered (fdatasync), so a power cut
  // can never lose what the instrument was told had arrived.
  virtual void SyncRecord(int fd);
};
std::unique_ptr<CaptureSyncer> MakeBackgroundSyncer();

// Writes one receive's capture file.
class CaptureWriter {
 public:
  // Creates a new capture file in folder (made when missing) with the header, on disk before
  // this returns. Nothing, with problem set, when it cannot be made.
  static std::unique_ptr<CaptureWriter> Create(const std::filesystem::path& folder,
                                               const CaptureHeader& header, Clock& clock,
                                               std::string& problem,
                                               std::unique_ptr<CaptureSyncer> syncer = nullptr);
  // Without Finish the file stays, synced, as after a crash.
  ~CaptureWriter();
  CaptureWriter(const CaptureWriter&) = delete;
  CaptureWriter& operator=(const CaptureWriter&) = delete;

  // Appends the bytes an accepted record adds to the destination file. False once the
  // capture file could not be written (Problem says why); the capture then stops and the
  // receive goes on.
  bool Append(std::string_view bytes);
  // A normal end: the data is safe in a file, the capture is removed.
  void Finish();
  // The data reached no file: the capture stays for recovery, synced.
  void Keep();

  const std::filesystem::path& Path() const { return path_; }
  const std::string& Problem() const { return problem_; }
  size_t Records() const { return records_; }

 private:
  CaptureWriter(int fd, std::filesystem::path path, Clock& clock,
                std::unique_ptr<CaptureSyncer> syncer);
  void Close(bool remove);

  int fd_;
  std::filesystem::path path_;
  Clock& clock_;
  std::unique_ptr<CaptureSyncer> syncer_;
  Clock::TimePoint nextSync_;  // the latest sync asked for; data written before it is covered
  size_t records_ = 0;
  std::string problem_;
};

// Where reading a capture stopped before the end of its file.
struct CaptureTail {
  size_t record = 0;      // the data record concerned, counted from 1
  bool inHeader = false;  // the header itself is cut short or damaged
  bool damaged = false;   // complete but failing its check (else: cut short)
  uint64_t offset = 0;    // where it starts in the file
  size_t have = 0;        // bytes of its payload present
  size_t expected = 0;    // bytes it should have; 0 when its length could not be read
};
// "record 26 is unfinished (40 of 136 bytes)", "record 26 is damaged".
std::string DescribeTail(const CaptureTail& tail);

struct CaptureInfo {
  std::filesystem::path file;
  std::string name;  // the file name without its extension
  CaptureHeader header;
  bool inUse = false;   // a running receive is still writing it
  std::string problem;  // why it cannot be read; empty when it can
  size_t records = 0;   // complete data records
  uint64_t dataBytes = 0;
  std::optional<CaptureTail> tail;
};

struct CaptureContents {
  CaptureInfo info;
  std::string bytes;  // the destination file's bytes as far as they were accepted
};

// Reads one capture; reading stops at a cut-short or damaged record, described in tail.
CaptureContents ReadCapture(const std::filesystem::path& file);
// Every capture in folder, oldest first (records are counted, not kept).
std::vector<CaptureInfo> ListCaptures(const std::filesystem::path& folder);
// The capture in folder called `name` (with or without its extension), or a capture file's
// path. Nothing when there is none.
std::optional<std::filesystem::path> FindCapture(const std::filesystem::path& folder,
                                                 const std::string& name);
// Removes a capture; empty on success, else why not (in use, or the system's reason).
std::string DiscardCapture(const std::filesystem::path& file);

// Writes the restored bytes through a temporary file beside path that reaches the disk
// before it is renamed over path. An existing path is replaced only with replace; empty on
// success, else "path: reason".
std::string WriteRestoredData(const CaptureContents& capture, const std::filesystem::path& path,
                              bool replace);

// CRC-32 (the polynomial of zip and Ethernet) of bytes.
uint32_t Crc32(std::string_view bytes);

}  // namespace ulvo
