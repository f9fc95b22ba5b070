#pragma once

// Twin of ulvo/transfer/port_names.h and ulvo/platform/qt_port_lister.h: the programs share
// no code, so the port list is kept alike in both by hand.

#include <string>
#include <vector>

namespace kavex {

// What the system knows of one serial port.
struct PortInfo {
  std::string device;  // "/dev/ttyUSB0"
  std::string description;
  std::string manufacturer;
  std::string serialNumber;  // empty when the adapter has none

  bool operator==(const PortInfo&) const = default;
};

// The serial ports there are now; tests give a list of their own.
class PortLister {
 public:
  virtual ~PortLister() = default;
  virtual std::vector<PortInfo> Ports() const = 0;
};

// The machine's ports, in device order.
class SystemPortLister final : public PortLister {
 public:
  std::vector<PortInfo> Ports() const override;
};

// "FT232R USB UART – FTDI (/dev/ttyUSB0)"; the bare device when nothing else is known.
std::string PortLabel(const PortInfo& port);

// The device a remembered adapter has now: the port with its serial number when one is
// remembered and present, else `device` as it was.
std::string FollowAdapter(const std::vector<PortInfo>& ports, const std::string& device,
                          const std::string& serialNumber);

// The serial number of the adapter at `device`, empty when unknown.
std::string SerialNumberOf(const std::vector<PortInfo>& ports, const std::string& device);

}  // namespace kavex
