#include "ulvo/platform/port_permission.h"

#include <grp.h>
#include <pwd.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <vector>

namespace ulvo {
namespace {

std::string ReplaceAll(std::string text, const std::string& mark, const std::string& value) {
  for (size_t at = text.find(mark); at != std::string::npos;
       at = text.find(mark, at + value.size()))
    text.replace(at, mark.size(), value);
  return text;
}

bool InSessionGroup(gid_t gid) {
  if (::getegid() == gid) return true;
  const int count = ::getgroups(0, nullptr);
  std::vector<gid_t> groups(static_cast<size_t>(std::max(count, 0)));
  const int got = ::getgroups(count, groups.data());
  return got > 0 && std::find(groups.begin(), groups.begin() + got, gid) != groups.begin() + got;
}

// Whether the group database lists the user in the group; this session's own groups were
// fixed when it began.
bool ListedInGroup(gid_t gid) {
  const passwd* pw = ::getpwuid(::getuid());
  if (!pw) return false;
  int count = 64;
  std::vector<gid_t> groups(static_cast<size_t>(count));
  if (::getgrouplist(pw->pw_name, pw->pw_gid, groups.data(), &count) < 0) {
    groups.resize(static_cast<size_t>(count));
    ::getgrouplist(pw->pw_name, pw->pw_gid, groups.data(), &count);
  }
  groups.resize(static_cast<size_t>(std::max(count, 0)));
  return std::find(groups.begin(), groups.end(), gid) != groups.end();
}

}  // namespace

PortAccess CheckPortAccess(const std::string& device) {
  PortAccess access;
  if (device.empty() || ::access(device.c_str(), R_OK | W_OK) == 0 || errno != EACCES)
    return access;
  access.denied = true;
  struct stat st {};
  // root's devices, and devices whose group this process already has, are not opened by
  // joining a group: only the administrator can help then.
  if (::stat(device.c_str(), &st) != 0 || st.st_gid == 0 || InSessionGroup(st.st_gid))
    return access;
  if (const group* g = ::getgrgid(st.st_gid)) access.group = g->gr_name;
  access.joinedLater = !access.group.empty() && ListedInGroup(st.st_gid);
  return access;
}

std::string PortPermissionText(const TranslateId& translate, const std::string& device,
                               const PortAccess& access) {
  if (!access.denied) return {};
  const TextId& id = access.group.empty() ? kPortNoPermissionAsk
                     : access.joinedLater ? kPortNoPermissionYet
                                          : kPortNoPermission;
  // The group first: a group name cannot hold "%1", a device path could hold "%2".
  return ReplaceAll(ReplaceAll(translate(id), "%2", access.group), "%1", device);
}

}  // namespace ulvo
