#include <gtest/gtest.h>

#include <QAction>
#include <QPushButton>
#include <QSignalSpy>

#include "ulvo/gui/cconvert_view.h"
#include "ulvo/gui/format_design_view.h"
#include "ulvo/gui/id_name_combo.h"
#include "ulvo/gui/main_frame.h"
#include "ulvo/gui/task_windows.h"
#include "ulvo/tests/engine/engine_test_support.h"
#include "ulvo/tests/gui/gui_test_support.h"
#include "ulvo/transfer/profile_store.h"

namespace ulvo {
namespace {

void Choose(IdNameCombo* combo, const std::string& id) {
  ASSERT_TRUE(combo->SelectId(id)) << id;
  emit combo->activated(combo->currentIndex());
}

TEST(DesignInFrame, OkReadsTheApplicationsFormatsAgain) {
  EnsureApplication();
  test::TempDir dir;
  const std::filesystem::path data = ULVO_DATA_DIR;
  std::filesystem::copy(data / "Formats", dir / "Formats");
  std::filesystem::copy(data / "Settings.xml", dir / "Settings.xml");
  MemoryProfileStore profile;
  CDunmarkApp app;
  app.Start(dir.Path(), &profile);
  CMainFrame frame(app);
  frame.SetMessageHandler([](const QString&) {});
  RegisterTaskWindows(frame);
  for (int command : {kCmdFormats, kCmdTypes, kCmdGroups, kCmdElements}) {
    EXPECT_TRUE(frame.CommandAction(command)->isEnabled()) << command;
  }
  const size_t before = app.Formats().Count();
  // An open Convert window offers the new format as soon as the design is saved.
  auto* convert = qobject_cast<CConvertView*>(frame.OpenTask(kConvertType));
  ASSERT_TRUE(convert);
  ASSERT_EQ(convert->SourceType()->SelectedId(), "POINTS");
  const QString chosen = convert->SourceFormat()->currentText();
  EXPECT_EQ(convert->SourceFormat()->findText("Format"), -1);

  auto* view = qobject_cast<FormatDesignView*>(frame.OpenTask(kDesignType));
  ASSERT_TRUE(view);
  EXPECT_FALSE(frame.CommandAction(kCmdFormats)->isEnabled());
  QSignalSpy refreshed(&frame, &CMainFrame::formatsRefreshed);
  view->Button("IDC_DESIGN_FORMAT_ADD_BTN")->click();
  Choose(view->FormatType(), "POINTS");
  view->Button("IDC_DESIGN_OK_BTN")->click();
  EXPECT_EQ(refreshed.count(), 1);
  EXPECT_EQ(app.Formats().Count(), before + 1);
  EXPECT_TRUE(app.Formats().Find("Format"));
  EXPECT_FALSE(frame.TaskIsOpen(kDesignType));
  EXPECT_NE(convert->SourceFormat()->findText("Format"), -1);
  EXPECT_EQ(convert->SourceFormat()->currentText(), chosen);
}

}  // namespace
}  // namespace ulvo
