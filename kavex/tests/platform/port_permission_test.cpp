#include "kavex/platform/port_permission.h"

#include <grp.h>
#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <vector>

namespace fs = std::filesystem;

namespace kavex {
namespace {

TEST(PortPermissionTextTest, SaysWhatTheUserCanDo) {
  const std::string head = "You have no permission to use the serial port /dev/ttyUSB0.\n";
  const struct {
    PortAccess access;
    std::string expected;
  } cases[] = {
      {{false, "dialout", false}, ""},
      {{true, "dialout", false},
       head + "Add yourself to the group dialout (sudo adduser $USER dialout), then log out "
              "and log in again."},
      {{true, "uucp", true},
       head + "You are in the group uucp now, but this session began before: log out and log "
              "in again."},
      {{true, "", false},
       head + "Ask the administrator of this computer for read and write access to it."},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(PortPermissionText("/dev/ttyUSB0", c.access), c.expected) << c.access.group;
  }
}

// CheckPortAccess in a child process that runs as the user nobody with the given groups.
PortAccess AsNobody(const std::string& device, std::vector<gid_t> groups) {
  int fds[2];
  if (pipe(fds) != 0) return {};
  const pid_t child = fork();
  if (child == 0) {
    close(fds[0]);
    if (setgroups(groups.size(), groups.data()) != 0 || setgid(65534) != 0 || setuid(65534) != 0)
      _exit(2);
    const PortAccess a = CheckPortAccess(device);
    const std::string out =
        std::string(a.denied ? "1" : "0") + (a.joinedLater ? "1" : "0") + a.group;
    _exit(write(fds[1], out.data(), out.size()) == static_cast<ssize_t>(out.size()) ? 0 : 3);
  }
  close(fds[1]);
  std::string out;
  char buffer[256];
  for (ssize_t n; (n = read(fds[0], buffer, sizeof buffer)) > 0;) out.append(buffer, n);
  close(fds[0]);
  int status = 0;
  waitpid(child, &status, 0);
  EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << status;
  if (out.size() < 2) return {};
  return {out[0] == '1', out.substr(2), out[1] == '1'};
}

TEST(CheckPortAccessTest, AsksTheSystem) {
  const fs::path dir = fs::path(testing::TempDir()) / "kavex_port_access";
  fs::create_directories(dir);
  fs::permissions(dir, fs::perms::all);
  const fs::path device = dir / "ttyFAKE0";
  std::ofstream(device).put('x');
  fs::permissions(device, fs::perms::owner_read | fs::perms::owner_write);

  EXPECT_FALSE(CheckPortAccess((dir / "missing").string()).denied);
  EXPECT_FALSE(CheckPortAccess("").denied);
  if (geteuid() != 0) {
    fs::remove_all(dir);
    GTEST_SKIP() << "the other cases need a second user: run as root";
  }
  EXPECT_FALSE(CheckPortAccess(device.string()).denied);  // root may

  const group* dialout = getgrnam("dialout");
  ASSERT_TRUE(dialout) << "no group dialout on this machine";
  const gid_t gid = dialout->gr_gid;
  const struct {
    const char* what;
    gid_t owner;
    fs::perms mode;
    std::vector<gid_t> groups;
    bool denied;
    const char* group;
  } cases[] = {
      {"not in the port's group",
       gid,
       fs::perms::owner_all | fs::perms::group_read | fs::perms::group_write,
       {},
       true,
       "dialout"},
      {"in the port's group",
       gid,
       fs::perms::owner_all | fs::perms::group_read | fs::perms::group_write,
       {gid},
       false,
       "dialout"},
      {"root's own port: only the administrator can help",
       0,
       fs::perms::owner_all | fs::perms::group_read | fs::perms::group_write,
       {},
       true,
       ""},
      {"in the group, but the group may not write",
       gid,
       fs::perms::owner_all | fs::perms::group_read,
       {gid},
       true,
       ""},
      {"open to everyone", gid, fs::perms::all, {}, false, "dialout"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    ASSERT_EQ(chown(device.c_str(), 0, c.owner), 0);
    fs::permissions(device, c.mode);
    const PortAccess access = AsNobody(device.string(), c.groups);
    EXPECT_EQ(access.denied, c.denied);
    if (c.denied) {
      EXPECT_EQ(access.group, c.group);
      EXPECT_FALSE(access.joinedLater);  // nobody is in no group of the database
    }
  }
  fs::remove_all(dir);
}

}  // namespace
}  // namespace kavex
