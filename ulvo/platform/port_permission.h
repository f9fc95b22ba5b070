#pragma once

// Twin of kavex/platform/port_permission.h: the programs share no code, so the port permission
// check is kept alike in both by hand. A change to one belongs in the other too.

#include <functional>
#include <string>

#include "ulvo/convert/messages.h"

namespace ulvo {

// "%1" is the device, "%2" the group that owns it.
inline constexpr TextId kPortNoPermission{
    "EMSG_PORTNOPERMISSION",
    "You have no permission to use the serial port %1.\nAdd yourself to the group %2 "
    "(sudo adduser $USER %2), then log out and log in again."};
inline constexpr TextId kPortNoPermissionYet{
    "EMSG_PORTNOPERMISSIONYET",
    "You have no permission to use the serial port %1.\nYou are in the group %2 now, but this "
    "session began before: log out and log in again."};
inline constexpr TextId kPortNoPermissionAsk{
    "EMSG_PORTNOPERMISSIONASK",
    "You have no permission to use the serial port %1.\nAsk the administrator of this computer "
    "for read and write access to it."};

// What the system says about using a serial device, as far as permission goes.
struct PortAccess {
  bool denied = false;       // the device exists but this process may not read and write it
  std::string group;         // the group that owns the device; empty when it is root's or unknown
  bool joinedLater = false;  // the user is in that group, but this session began before
};

// Asks the system about the device (a missing device is not denied).
PortAccess CheckPortAccess(const std::string& device);

// The text of a TextId in the program's words (the translations, else its default).
using TranslateId = std::function<std::string(const TextId& id)>;

// What the user can do about a denied device; empty when access was not denied.
std::string PortPermissionText(const TranslateId& translate, const std::string& device,
                               const PortAccess& access);

}  // namespace ulvo
