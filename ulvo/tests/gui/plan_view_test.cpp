#include "ulvo/gui/cplan_view.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <filesystem>
#include <fstream>

#include "ulvo/gui/plan_canvas.h"
#include "ulvo/tests/gui/gui_test_support.h"

namespace ulvo {
namespace {

namespace fs = std::filesystem;

constexpr const char* kCsv = "Point list (comma-separated)";
constexpr const char* kFixed = "Point list (fixed columns)";

class PlanViewTest : public ::testing::Test {
 protected:
  void SetUp() override {
    EnsureApplication();
    folder = fs::temp_directory_path() / ("ulvo_plan_view_test-" + std::to_string(getpid()));
    fs::remove_all(folder);
    fs::create_directories(folder / "Formats");
    for (const auto& entry : fs::directory_iterator(ULVO_SHIPPED_DATA_DIR "/Formats"))
      fs::copy_file(entry.path(), folder / "Formats" / entry.path().filename());
    formats.Refresh(folder);
    const std::string settings =
        "<settings><conversion><elements><element id=\"N\" name=\"Northing\"/>"
        "<element id=\"E\" name=\"Easting\"/></elements><dialog><from><type id=\"POINTS\"/>"
        "<format name=\"" +
        std::string(kCsv) + "\"/><file name=\"" + (folder / "in.csv").string() +
        "\"/></from><to><type id=\"POINTS\"/><format name=\"" + kFixed + "\"/><file name=\"" +
        (folder / "out.txt").string() + "\"/></to></dialog></conversion></settings>";
    ASSERT_TRUE(document.load_string(settings.c_str()));
    context.programFolder = folder;
    context.formats = &formats;
    context.settings = [this] { return document.document_element(); };
    std::ofstream(folder / "in.csv", std::ios::binary)
        << "A,100,200,0,\r\nB,110,200,0,PEG\r\nA,100,230,0,\r\n";
  }
  void TearDown() override { fs::remove_all(folder); }

  std::unique_ptr<CPlanView> Open() {
    auto view = std::make_unique<CPlanView>(context);
    view->SetMessageSink([this](const std::string& text) { messages.push_back(text); });
    view->resize(700, 500);
    return view;
  }

  fs::path folder;
  FormatList formats;
  pugi::xml_document document;
  TaskContext context;
  std::vector<std::string> messages;
};

TEST_F(PlanViewTest, OpensOnTheConversionSourceAndDrawsIt) {
  auto view = Open();
  EXPECT_EQ(view->windowTitle(), "Plan");
  EXPECT_EQ(view->Format()->currentText(), kCsv);
  EXPECT_EQ(view->File()->text().toStdString(), (folder / "in.csv").string());
  EXPECT_EQ(view->Element(0)->currentText(), "N");
  EXPECT_EQ(view->Element(3)->currentText(), "NR");
  ASSERT_TRUE(view->Draw());
  EXPECT_EQ(view->Header()->text(), "3 points, 2 with the same name");
  EXPECT_EQ(view->Model().Points()[1].code, "PEG");
  EXPECT_TRUE(messages.empty());
}

TEST_F(PlanViewTest, TheElementChoiceIsRememberedPerFormat) {
  {
    auto view = Open();
    view->Element(0)->setEditText("E");
    view->Element(1)->setEditText("N");
    ASSERT_TRUE(view->Draw());
    // Northing and easting the other way round: A at E 100, N 200.
    EXPECT_DOUBLE_EQ(view->Model().Points()[0].northing, 200);
    EXPECT_DOUBLE_EQ(view->Model().Points()[0].easting, 100);
  }
  const pugi::xml_node remembered = document.document_element()
                                        .child("conversion")
                                        .child("plan")
                                        .find_child_by_attribute("format", "name", kCsv);
  EXPECT_STREQ(remembered.attribute("northing").value(), "E");
  EXPECT_STREQ(remembered.attribute("easting").value(), "N");
  auto again = Open();
  EXPECT_EQ(again->Element(0)->currentText(), "E");
  // Another format has its own choice: the defaults.
  again->Format()->setCurrentIndex(again->Format()->findText(kFixed));
  EXPECT_EQ(again->Element(0)->currentText(), "N");
  again->Format()->setCurrentIndex(again->Format()->findText(kCsv));
  EXPECT_EQ(again->Element(1)->currentText(), "N");
}

TEST_F(PlanViewTest, ConversionTargetAndFailures) {
  auto view = Open();
  // The target of the last conversion does not exist yet.
  EXPECT_FALSE(view->DrawConversion(true));
  EXPECT_EQ(view->Format()->currentText(), kFixed);
  ASSERT_EQ(messages.size(), 1u);
  EXPECT_NE(messages[0].find("out.txt"), std::string::npos) << messages[0];
  {  // The conversion's target as the fixed-columns format writes one point.
    std::ofstream(folder / "one.csv", std::ios::binary) << "A,100,200,0,\r\n";
    pugi::xml_document doc;
    const pugi::xml_node data = doc.append_child("data");
    ASSERT_TRUE(formats.Find(kCsv)->ParseFile(folder / "one.csv", data));
    ASSERT_TRUE(formats.Find(kFixed)->WriteFile(data, folder / "out.txt"));
  }
  EXPECT_TRUE(view->DrawConversion(true));
  EXPECT_EQ(view->Header()->text(), "1 point");
  EXPECT_TRUE(view->DrawConversion(false));
  EXPECT_EQ(view->Header()->text(), "3 points, 2 with the same name");

  view->SheetBox()->setCurrentIndex(2);  // A3
  ASSERT_TRUE(view->SaveTo(QString::fromStdString((folder / "plan.svg").string())));
  std::ifstream in(folder / "plan.svg", std::ios::binary);
  const std::string svg{std::istreambuf_iterator<char>(in), {}};
  EXPECT_NE(svg.find(R"(width="420mm")"), std::string::npos);
  EXPECT_NE(svg.find(">in.csv<"), std::string::npos);
  EXPECT_FALSE(view->SaveTo(QString::fromStdString((folder / "none" / "plan.pdf").string())));
  EXPECT_EQ(messages.back().rfind(kPlanNotSavedMessage, 0), 0u);
}

}  // namespace
}  // namespace ulvo
