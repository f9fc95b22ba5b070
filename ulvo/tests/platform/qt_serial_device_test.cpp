#include "ulvo/platform/qt_serial_device.h"

#include <gtest/gtest.h>

#include <fcntl.h>
#include <poll.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <string>
#include <thread>

namespace ulvo {
namespace {

// The master side of a fresh pseudo-terminal, the instrument's end; -1 when there is none.
int OpenMaster() {
  const int master = posix_openpt(O_RDWR | O_NOCTTY);
  if (master >= 0 && (grantpt(master) != 0 || unlockpt(master) != 0)) {
    close(master);
    return -1;
  }
  return master;
}

TEST(QtSerialDevice, AbsentPortCannotOpen) {
  QtSerialDevice device;
  EXPECT_EQ(device.Open("/dev/ulvo-no-such-port", PortSettings{}), OpenResult::kCannotOpen);
  EXPECT_FALSE(device.IsOpen());
  std::string out;
  EXPECT_EQ(device.Read(out, 10), -1);
  EXPECT_FALSE(device.Write("x", std::chrono::milliseconds(10)));
  EXPECT_TRUE(device.Close());
  EXPECT_EQ(QtPortProbe().Probe("/dev/ulvo-no-such-port"), PortProbe::Result::kAbsent);
}

// Writes go to the driver directly while Qt holds nothing back, and through Qt's queue for
// what the driver cannot take yet: neither way may lose, repeat or reorder a byte.
TEST(QtSerialDevice, WritesMoreThanTheDriverHoldsInOrder) {
  const int master = OpenMaster();
  ASSERT_GE(master, 0);
  QtSerialDevice device;
  PortSettings settings;
  settings.baudRate = 115200;
  ASSERT_EQ(device.Open(ptsname(master), settings), OpenResult::kOk);

  std::string sent;
  for (int n = 0; sent.size() < 300'000; ++n) sent += "PT" + std::to_string(n) + ",1.5,2.5\r\n";
  std::string got;
  std::thread reader([&] {
    char buffer[700];
    // Slower than the writer at first, so the driver's queue fills and Qt's takes the rest.
    while (got.size() < sent.size() + 3) {
      pollfd p{master, POLLIN, 0};
      if (poll(&p, 1, 3000) <= 0) break;
      const ssize_t n = read(master, buffer, sizeof buffer);
      if (n <= 0) break;
      got.append(buffer, static_cast<size_t>(n));
      if (got.size() < 100'000) std::this_thread::sleep_for(std::chrono::microseconds(200));
    }
  });
  EXPECT_TRUE(device.Write(sent, std::chrono::seconds(20)));
  EXPECT_TRUE(device.Write("\x06\r\n", std::chrono::seconds(5)));  // nothing queued again
  reader.join();
  EXPECT_TRUE(device.Close());
  close(master);
  ASSERT_EQ(got.size(), sent.size() + 3);
  EXPECT_TRUE(got == sent + "\x06\r\n");
}

// Bytes that waited in the driver came a while ago: a read that finds them must not rest as if
// they had just arrived, or the frame's last byte is taken late. They wait before the read,
// or behind a read that filled Qt's buffer.
TEST(QtSerialDevice, BytesThatWaitedAreNotTakenForNewOnes) {
  struct Case {
    const char* what;
    size_t waiting;    // in the driver before the first read
    size_t firstRead;  // taken by a read before the one timed (0: none)
  };
  const Case cases[] = {{"before the read", 5, 0}, {"behind a full buffer", 2100, 2048}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    const int master = OpenMaster();
    ASSERT_GE(master, 0);
    QtSerialDevice device;
    PortSettings settings;
    settings.baudRate = 300;  // 33 ms a byte: a rest for the missing bytes would show
    ASSERT_EQ(device.Open(ptsname(master), settings), OpenResult::kOk);
    ASSERT_TRUE(device.SetTimeouts({2000, 0, 5000}));
    const std::string waiting(c.waiting, 'w');
    ASSERT_EQ(write(master, waiting.data(), waiting.size()), static_cast<ssize_t>(waiting.size()));
    std::this_thread::sleep_for(std::chrono::milliseconds(60));
    std::string out;
    if (c.firstRead > 0) {
      ASSERT_EQ(device.ReadFrame(out, c.firstRead, nullptr), static_cast<long>(c.firstRead));
      out.clear();
    }
    // The frame is whole with ten bytes more than those left waiting.
    const size_t left = c.waiting - c.firstRead;
    const auto start = std::chrono::steady_clock::now();
    std::thread instrument([master] {
      std::this_thread::sleep_for(std::chrono::milliseconds(30));
      EXPECT_EQ(write(master, "0123456789", 10), 10);
    });
    const long got = device.ReadFrame(out, 64, [left](std::string_view s) {
      return s.size() >= left + 10 ? size_t{0} : left + 10 - s.size();
    });
    const auto took = std::chrono::steady_clock::now() - start;
    instrument.join();
    EXPECT_EQ(got, static_cast<long>(left + 10));
    EXPECT_LT(took, std::chrono::milliseconds(120)) << "rested for bytes that were there";
    EXPECT_TRUE(device.Close());
    close(master);
  }
}

}  // namespace
}  // namespace ulvo
