#include "kavex/platform/qt_serial_device.h"

#include <gtest/gtest.h>

#include <fcntl.h>
#include <unistd.h>

#include <chrono>
#include <string>
#include <thread>

namespace kavex {
namespace {

// Real time and real sleeps; counts the sleeps a read takes to let bytes gather.
class WatchedClock final : public Clock {
 public:
  TimePoint Now() override { return real_.Now(); }
  void SleepUntil(TimePoint when) override {
    ++sleeps;
    real_.SleepUntil(when);
  }
  CalendarDate Today() override { return real_.Today(); }
  int sleeps = 0;

 private:
  SystemClock real_;
};

// The master side of a fresh pseudo-terminal, the instrument's end; -1 when there is none.
int OpenMaster() {
  const int master = posix_openpt(O_RDWR | O_NOCTTY);
  if (master >= 0 && (grantpt(master) != 0 || unlockpt(master) != 0)) {
    close(master);
    return -1;
  }
  return master;
}

// Bytes that waited in the driver came a while ago: a read that finds them must not rest as
// if they had just arrived (the gathering sleep), or a block's last byte is taken late. Also
// when the driver was seen empty before they came, long enough ago.
TEST(QtSerialDevice, BytesThatWaitedAreNotTakenForNewOnes) {
  for (const bool seenEmptyFirst : {false, true}) {
    SCOPED_TRACE(seenEmptyFirst ? "after an empty read" : "before the first read");
    const int master = OpenMaster();
    ASSERT_GE(master, 0);
    WatchedClock clock;
    QtSerialDevice device(clock);
    ASSERT_TRUE(device.Open(ptsname(master)));
    LineSettings settings;
    settings.baud = 300;  // 33 ms a character: half of one is far less than the wait below
    ASSERT_TRUE(device.Configure(settings));
    if (seenEmptyFirst) {
      EXPECT_EQ(device.ReadByte(std::chrono::milliseconds(20)), -1);
    }
    ASSERT_EQ(write(master, "wait!", 5), 5);
    std::this_thread::sleep_for(std::chrono::milliseconds(100));
    clock.sleeps = 0;
    device.ExpectBytes(15);  // ten more than are there
    EXPECT_EQ(device.ReadByte(std::chrono::milliseconds(2000)), 'w');
    EXPECT_EQ(clock.sleeps, 0) << "rested for bytes that were there";
    device.Close();
    close(master);
  }
}

}  // namespace
}  // namespace kavex
