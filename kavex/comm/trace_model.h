#pragma once

// Twin of ulvo/transfer/trace_model.h: the programs share no code, so the line trace is kept alike
// in both by hand. A change to one belongs in the other too.

#include <cstddef>
#include <cstdint>
#include <deque>
#include <filesystem>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "kavex/comm/tracing_device.h"

namespace kavex {

// The trace of one transfer for the window's "Line" pane. The last kWindowBytes of trace
// text stay in memory for display; every record is also spooled to an unlinked temporary
// file, so "Save trace..." writes the whole transfer while memory stays bounded. A trace
// stays until the next transfer begins, so a failed transfer's can still be saved. Add may
// run on a transfer thread while the window reads.
class TraceModel final : public TraceSink {
 public:
  static constexpr size_t kWindowBytes = size_t{1} << 20;

  // spoolFolder: where the whole trace is kept meanwhile (empty: the system's temporary
  // folder).
  explicit TraceModel(size_t windowBytes = kWindowBytes, std::filesystem::path spoolFolder = {});
  ~TraceModel() override;
  TraceModel(const TraceModel&) = delete;
  TraceModel& operator=(const TraceModel&) = delete;

  // A transfer starts: the previous trace is dropped.
  void Begin();
  void Add(TraceEntry entry) override;

  struct Rows {
    uint64_t generation = 0;  // changes with every Begin
    uint64_t first = 0;       // number of entries[0] since Begin, counted from 0
    std::vector<TraceEntry> entries;
  };
  // The records numbered `from` and later that the window still holds, oldest first. When
  // some of them have left the window already, `first` is above `from`.
  Rows Since(uint64_t from) const;
  uint64_t Generation() const;
  // Records since Begin, and the trace text (line ends counted) the window holds.
  uint64_t Count() const;
  size_t WindowTextBytes() const;

  // Writes the whole trace since Begin, as --trace FILE writes it, to path through a
  // temporary file beside it. Empty on success, else "path: reason".
  std::string SaveTo(const std::filesystem::path& path) const;

 private:
  struct Row {
    uint64_t number;
    size_t textBytes;
    TraceEntry entry;
  };
  struct Spool;

  void FlushSpoolLocked();

  const size_t windowBytes_;
  const std::filesystem::path spoolFolder_;
  mutable std::mutex mutex_;
  uint64_t generation_ = 0;
  uint64_t count_ = 0;
  std::deque<Row> window_;
  size_t windowText_ = 0;
  std::shared_ptr<Spool> spool_;
};

}  // namespace kavex
