#include "kavex/platform/port_list.h"

#include <QSerialPortInfo>
#include <algorithm>

namespace kavex {

std::vector<PortInfo> SystemPortLister::Ports() const {
  std::vector<PortInfo> ports;
  for (const QSerialPortInfo& info : QSerialPortInfo::availablePorts())
    ports.push_back({info.systemLocation().toStdString(), info.description().toStdString(),
                     info.manufacturer().toStdString(), info.serialNumber().toStdString()});
  std::sort(ports.begin(), ports.end(),
            [](const PortInfo& a, const PortInfo& b) { return a.device < b.device; });
  return ports;
}

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

}  // namespace kavex
