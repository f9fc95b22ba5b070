#include "ulvo/platform/qt_port_lister.h"

#include <QSerialPortInfo>
#include <algorithm>

namespace ulvo {

std::vector<PortInfo> SystemPortLister::Ports() const {
  std::vector<PortInfo> ports;
  for (const QSerialPortInfo& info : QSerialPortInfo::availablePorts())
    ports.push_back({info.systemLocation().toStdString(), info.description().toStdString(),
                     info.manufacturer().toStdString(), info.serialNumber().toStdString()});
  std::sort(ports.begin(), ports.end(),
            [](const PortInfo& a, const PortInfo& b) { return a.device < b.device; });
  return ports;
}

}  // namespace ulvo
