#include <gtest/gtest.h>

#include <filesystem>

#include "ulvo/platform/qt_profile_store.h"
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

}  // namespace
}  // namespace ulvo
