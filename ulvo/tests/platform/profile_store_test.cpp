#include <gtest/gtest.h>

#include <fcntl.h>
#include <poll.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <thread>

#include "ulvo/platform/qt_profile_store.h"
#include "ulvo/platform/qt_serial_device.h"
#include "ulvo/transfer/instrument.h"

namespace ulvo {
namespace {

TEST(QtProfileStore, KeepsValuesAcrossInstances) {
  const auto file = std::filesystem::temp_directory_path() / "ulvo_profile_test.ini";
  std::filesystem::remove(file);
  {
    QtProfileStore store(file);
    EXPECT_EQ(store.GetText("INSTRUMENT\\A B\\LASTUSED", "NAME"), std::nullopt);
    store.SetText("INSTRUMENT\\A B\\LASTUSED", "NAME", "A B");
    store.SetNumber("INSTRUMENT\\A B\\LASTUSED", "SENDBAUDRATE", 256);
    store.SetText("INSTRUMENT\\A B\\LASTUSED", "JUNK", "12abc");
  }
  QtProfileStore again(file);
  EXPECT_EQ(again.GetText("INSTRUMENT\\A B\\LASTUSED", "NAME"), "A B");
  EXPECT_EQ(again.GetNumber("INSTRUMENT\\A B\\LASTUSED", "SENDBAUDRATE"), 256);
  EXPECT_EQ(again.GetNumber("INSTRUMENT\\A B\\LASTUSED", "JUNK"), std::nullopt);
  EXPECT_EQ(again.GetNumber("INSTRUMENT\\Other\\LASTUSED", "SENDBAUDRATE"), std::nullopt);

  // An instrument's last used settings come back through the store.
  CInstrument i;
  ASSERT_TRUE(i.LoadInterfaceText(
      EncodeInterfaceText("[HEADER]\nVERSION=1\nTITLE=INSTRUMENT INTERFACE FILE\n"
                          "INSTRUMENT=A B\n[CAPABILITIES]\nSENDBAUDRATES=448\n"
                          "[DEFAULTS]\nSENDBAUDRATES=64\n"),
      &again));
  EXPECT_EQ(i.Params(kDirectionReceive).baudMask, 256u);
  std::filesystem::remove(file);
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
  const int master = posix_openpt(O_RDWR | O_NOCTTY);
  ASSERT_GE(master, 0);
  ASSERT_EQ(grantpt(master), 0);
  ASSERT_EQ(unlockpt(master), 0);
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

}  // namespace
}  // namespace ulvo
