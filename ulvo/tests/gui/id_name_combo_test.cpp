#include "ulvo/gui/id_name_combo.h"

#include <gtest/gtest.h>

#include "ulvo/tests/gui/gui_test_support.h"

namespace ulvo {
namespace {

const std::vector<IdName> kTypes = {{"b", "beta"}, {"A", "Alpha"}, {"a", "alpha2"}, {"c", "Gamma"}};

TEST(IdNameCombo, KeepsDocumentOrderUnlessSortedAndMapsBackToIds) {
  EnsureApplication();
  IdNameCombo plain;
  plain.Fill(kTypes);
  ASSERT_EQ(plain.count(), 4);
  EXPECT_EQ(plain.itemText(0), "beta");
  EXPECT_EQ(plain.currentIndex(), -1);
  EXPECT_EQ(plain.SelectedId(), "");

  IdNameCombo sorted;
  sorted.SetSorted(true);
  sorted.Fill(kTypes);
  // Letter case does not decide the order: "alpha2" after "Alpha", "beta" before "Gamma".
  EXPECT_EQ(sorted.itemText(0), "Alpha");
  EXPECT_EQ(sorted.itemText(1), "alpha2");
  EXPECT_EQ(sorted.itemText(2), "beta");
  EXPECT_EQ(sorted.itemText(3), "Gamma");
  sorted.setCurrentIndex(2);
  EXPECT_EQ(sorted.SelectedId(), "b");
}

TEST(IdNameCombo, SelectIdIsExactAndKeepsSelectionOnUnknown) {
  EnsureApplication();
  IdNameCombo combo;
  combo.SetSorted(true);
  combo.Fill(kTypes);
  EXPECT_TRUE(combo.SelectId("a"));
  EXPECT_EQ(combo.currentText(), "alpha2");
  EXPECT_TRUE(combo.SelectId("A"));
  EXPECT_EQ(combo.currentText(), "Alpha");
  EXPECT_FALSE(combo.SelectId("B"));  // case-sensitive: unknown
  EXPECT_EQ(combo.SelectedId(), "A");
  EXPECT_TRUE(combo.SelectId(""));
  EXPECT_EQ(combo.currentIndex(), -1);
  combo.Fill({});
  EXPECT_EQ(combo.count(), 0);
  EXPECT_FALSE(combo.SelectId("A"));
}

}  // namespace
}  // namespace ulvo
