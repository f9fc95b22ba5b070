#include "ulvo/gui/task_windows.h"

#include "ulvo/engine/identifier_list.h"
#include "ulvo/gui/format_design_view.h"
#include "ulvo/gui/id_name_dialog.h"
#include "ulvo/gui/main_frame.h"

namespace ulvo {
namespace {

TranslateText FrameTexts(CMainFrame& frame) {
  return [&frame](const char* key, const QString& defaultText) {
    return frame.Text(key, defaultText.toStdString());
  };
}

// Types, Groups and Elements: the identifier list dialog on one list of the settings.
void OpenIdNameDialog(CMainFrame& frame, const char* list, const char* tag, const char* titleKey,
                      const char* title) {
  const pugi::xml_node node = IdListNode(frame.App().Settings().Root(), list);
  // Group and element identifiers become tag names of the data document; types do not.
  const bool xmlNames = std::string_view(list) != "types";
  IdNameDialog dialog(node, tag, frame.Text(titleKey, title), FrameTexts(frame), &frame, xmlNames);
  dialog.exec();
}

}  // namespace

void RegisterTaskWindows(CMainFrame& frame) {
  // Transfer, Convert and Merge windows.

  // Format design window and the Types, Groups and Elements dialogs.
  frame.RegisterTask(kDesignType, [](CMainFrame& f) -> QWidget* {
    FormatDesignContext context;
    context.programFolder = f.App().ProgramFolder();
    context.settings = f.App().Settings().Root();
    context.translate = FrameTexts(f);
    context.formatsSaved = [&f] { f.RefreshFormats(); };
    context.showHelp = [&f](const std::filesystem::path& page) {
      f.ShowHelpPage(QString::fromStdString(page.string()));
    };
    auto* view = new FormatDesignView(std::move(context));
    QObject::connect(view, &FormatDesignView::Finished, &f, [&f, view] { f.CloseTask(view); });
    return view;
  });
  frame.SetCommandHandler(kCmdTypes, [&frame] {
    OpenIdNameDialog(frame, "types", "type", "IDS_TYPES_TITLE", "Types");
  });
  frame.SetCommandHandler(kCmdGroups, [&frame] {
    OpenIdNameDialog(frame, "groups", "group", "IDS_GROUPS_TITLE", "Groups");
  });
  frame.SetCommandHandler(kCmdElements, [&frame] {
    OpenIdNameDialog(frame, "elements", "element", "IDS_ELEMENTS_TITLE", "Elements");
  });
}

}  // namespace ulvo
