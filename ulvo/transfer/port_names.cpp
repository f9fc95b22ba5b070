#include "ulvo/transfer/port_names.h"

namespace ulvo {

std::string PortLabel(const PortInfo& port) {
  std::string name = port.description;
  if (!port.manufacturer.empty() && port.manufacturer != port.description)
    name += name.empty() ? port.manufacturer : " \u2013 " + port.manufacturer;
  return name.empty() ? port.device : name + " (" + port.device + ")";
}

std::string FollowAdapter(const std::vector<PortInfo>& ports, const std::string& device,
                          const std::string& serialNumber) {
  if (serialNumber.empty()) return device;
  for (const PortInfo& p : ports)
    if (p.serialNumber == serialNumber) return p.device;
  return device;
}

std::string SerialNumberOf(const std::vector<PortInfo>& ports, const std::string& device) {
  for (const PortInfo& p : ports)
    if (p.device == device) return p.serialNumber;
  return {};
}

}  // namespace ulvo
