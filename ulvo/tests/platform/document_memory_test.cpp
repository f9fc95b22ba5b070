#include <gtest/gtest.h>

#include <pugixml.hpp>
#include <string>
#include <vector>

#include "ulvo/engine/data_document.h"
#include "ulvo/platform/document_memory.h"
#include "ulvo/tests/engine/engine_test_support.h"

namespace ulvo {
namespace {

// Run on its own (as ctest does), the first document comes from the heap: it must still be
// extended and freed after the arenas took over.
TEST(DocumentMemory, DocumentsFromBeforeAndAfterLiveTogether) {
  pugi::xml_document before;
  EXPECT_FALSE(ArenaMemoryInUse());
  before.append_child("a").text().set("before");
  UseArenaMemoryForDocuments();
  UseArenaMemoryForDocuments();
#if defined(__unix__) && !defined(__SANITIZE_ADDRESS__)
  EXPECT_TRUE(ArenaMemoryInUse());
#endif
  pugi::xml_document after;
  after.append_child("b").text().set("after");
  before.append_child("c").text().set("added later");
  EXPECT_STREQ(before.child("a").text().get(), "before");
  EXPECT_STREQ(before.child("c").text().get(), "added later");
  EXPECT_STREQ(after.child("b").text().get(), "after");
  before.reset();
  after.reset();
}

// Documents larger than one arena, with values larger than the part of an arena a single
// block may take, built, saved, reloaded and freed repeatedly: any overlap or early reuse of
// memory shows as a changed value.
TEST(DocumentMemory, LargeDocumentsKeepEveryValue) {
  UseArenaMemoryForDocuments();
  test::TempDir dir;
  const std::string big(3u << 20, 'x');
  for (int round = 0; round < 3; ++round) {
    pugi::xml_document doc;
    pugi::xml_node data = NewDataDocument(doc);
    constexpr int kRecords = 60000;
    for (int i = 0; i < kRecords; ++i) {
      data.append_child("V").text().set((std::to_string(i) + "-" + std::to_string(round)).c_str());
    }
    data.append_child("B").text().set(big.c_str());
    ASSERT_TRUE(SaveDocument(doc, dir / "doc.xml"));

    pugi::xml_document again;
    ASSERT_TRUE(LoadDataDocument(again, dir / "doc.xml"));
    doc.reset();
    int i = 0;
    for (pugi::xml_node v = again.child("data").child("V"); v; v = v.next_sibling("V"), ++i) {
      ASSERT_EQ(std::string(v.text().get()), std::to_string(i) + "-" + std::to_string(round));
    }
    EXPECT_EQ(i, kRecords);
    EXPECT_EQ(std::string(again.child("data").child("B").text().get()), big);
  }
}

}  // namespace
}  // namespace ulvo
