#pragma once

// Twin of ulvo/platform/port_permission.h: the programs share no code, so the port permission check
// is kept alike in both by hand. A change to one belongs in the other too.

#include <string>

namespace kavex {

// What the system says about using a serial device, as far as permission goes.
struct PortAccess {
  bool denied = false;       // the device exists but this process may not read and write it
  std::string group;         // the group that owns the device; empty when it is root's or unknown
  bool joinedLater = false;  // the user is in that group, but this session began before
};

// Asks the system about the device (a missing device is not denied).
PortAccess CheckPortAccess(const std::string& device);

// What the user can do about a denied device; empty when access was not denied.
std::string PortPermissionText(const std::string& device, const PortAccess& access);

}  // namespace kavex
