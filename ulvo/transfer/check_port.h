#pragma once

#include <string>
#include <vector>

namespace ulvo {

struct PortEntry {
  std::string name;
  bool free = false;  // false: the port exists but is in use
};

// How the ports of this machine are found and tried.
class PortProbe {
 public:
  enum class Result { kFree, kInUse, kAbsent };
  virtual ~PortProbe() = default;
  virtual std::vector<std::string> CandidatePorts() const = 0;
  // Opens the port exclusively and closes it again at once.
  virtual Result Probe(const std::string& name) const = 0;
};

// The ports this machine has, free or in use, in port order.
class CULVOCheckPort {
 public:
  explicit CULVOCheckPort(const PortProbe& probe);
  const std::vector<PortEntry>& Entries() const { return entries_; }
  // Names of the free ports joined by ";", or the empty text.
  std::string ListFreePorts() const;

 private:
  std::vector<PortEntry> entries_;
};

}  // namespace ulvo
