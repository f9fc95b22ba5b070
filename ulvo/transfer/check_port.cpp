#include "ulvo/transfer/check_port.h"

namespace ulvo {

CULVOCheckPort::CULVOCheckPort(const PortProbe& probe) {
  for (const std::string& name : probe.CandidatePorts()) {
    const auto r = probe.Probe(name);
    if (r != PortProbe::Result::kAbsent) entries_.push_back({name, r == PortProbe::Result::kFree});
  }
}

std::string CULVOCheckPort::ListFreePorts() const {
  std::string out;
  for (const PortEntry& e : entries_) {
    if (!e.free) continue;
    if (!out.empty()) out += ';';
    out += e.name;
  }
  return out;
}

}  // namespace ulvo
