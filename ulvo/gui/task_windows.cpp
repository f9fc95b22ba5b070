#include "ulvo/gui/task_windows.h"

#include "ulvo/convert/convert_settings.h"
#include "ulvo/engine/identifier_list.h"
#include "ulvo/gui/cconvert_view.h"
#include "ulvo/gui/cmerge_view.h"
#include "ulvo/gui/cplan_view.h"
#include "ulvo/gui/ctransfer_view.h"
#include "ulvo/gui/format_design_view.h"
#include "ulvo/gui/id_name_dialog.h"
#include "ulvo/gui/main_frame.h"
#include "ulvo/platform/program_folder.h"
#include "ulvo/platform/qt_port_lister.h"
#include "ulvo/platform/qt_serial_device.h"

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

TaskContext MakeTaskContext(CMainFrame& frame) {
  CDunmarkApp& app = frame.App();
  TaskContext context;
  context.translate = [&app](const std::string& key, const std::string& text) {
    return app.Texts().Text(key, text);
  };
  context.programFolder = app.ProgramFolder();
  context.dataFolder = CurrentProgramFolderSources().userDataDir;
  context.instruments = &app.Instruments();
  context.profile = app.Profile();
  context.formats = &app.Formats();
  context.settings = [&app] { return app.Settings().Root(); };
  context.showHelp = [&frame](const std::filesystem::path& page) {
    frame.ShowHelpPage(QString::fromStdString(page.string()));
  };
  return context;
}

CTransferView* NewTransferView(CMainFrame& frame, TransferRunner::DeviceFactory devices,
                               const PortProbe& ports) {
  auto* doc = new CTransferDoc(std::move(devices));
  const std::filesystem::path userData = CurrentProgramFolderSources().userDataDir;
  doc->Runner().SetFallbackFolder(userData / "Received");
  doc->Runner().SetCaptureFolder(userData / "Captures");
  auto* view = new CTransferView(MakeTaskContext(frame), *doc, ports);
  static const SystemPortLister systemPorts;
  view->SetPortLister(&systemPorts);
  doc->setParent(view);
  view->onReceived = [&frame](const std::string& format, const std::string& file) {
    CDunmarkApp& app = frame.App();
    SetConversionSource(app.Settings().Root(), app.Formats(), format, file);
    // An open Convert window shows it too; closing that window must not write back the old.
    if (auto* convert = qobject_cast<CConvertView*>(frame.TaskView(kConvertType)))
      convert->ShowSource(ReadConvertSelections(app.Settings().Root()).from);
  };
  QObject::connect(view, &CTransferView::CloseRequested, &frame,
                   [&frame, view] { frame.CloseTask(view); });
  return view;
}

void RegisterTaskWindows(CMainFrame& frame) {
  // Transfer, Convert and Merge windows.
  frame.RegisterTask(kTransferType, [](CMainFrame& f) -> QWidget* {
    static const QtPortProbe ports;
    return NewTransferView(
        f, [] { return std::make_unique<QtSerialDevice>(); }, ports);
  });
  frame.RegisterTask(kConvertType, [](CMainFrame& f) -> QWidget* {
    auto* view = new CConvertView(MakeTaskContext(f));
    view->SetPlanOpener([&f](const ConvertSide& side) {
      if (auto* plan = qobject_cast<CPlanView*>(f.OpenTask(kPlanType))) plan->DrawSide(side);
    });
    QObject::connect(&f, &CMainFrame::formatsRefreshed, view, &CConvertView::ReloadFormats);
    QObject::connect(view, &CConvertView::CloseRequested, &f, [&f, view] { f.CloseTask(view); });
    return view;
  });
  frame.RegisterTask(kMergeType, [](CMainFrame& f) -> QWidget* {
    auto* view = new CMergeView(MakeTaskContext(f));
    QObject::connect(view, &CMergeView::CloseRequested, &f, [&f, view] { f.CloseTask(view); });
    return view;
  });

  frame.RegisterTask(kPlanType, [](CMainFrame& f) -> QWidget* {
    auto* view = new CPlanView(MakeTaskContext(f));
    QObject::connect(&f, &CMainFrame::formatsRefreshed, view, &CPlanView::ReloadFormats);
    QObject::connect(view, &CPlanView::CloseRequested, &f, [&f, view] { f.CloseTask(view); });
    return view;
  });

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
