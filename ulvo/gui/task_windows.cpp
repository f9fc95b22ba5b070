#include "ulvo/gui/task_windows.h"

#include "ulvo/convert/convert_settings.h"
#include "ulvo/gui/cconvert_view.h"
#include "ulvo/gui/cmerge_view.h"
#include "ulvo/gui/ctransfer_view.h"
#include "ulvo/gui/main_frame.h"
#include "ulvo/platform/qt_serial_device.h"

namespace ulvo {

TaskContext MakeTaskContext(CMainFrame& frame) {
  CDunmarkApp& app = frame.App();
  TaskContext context;
  context.translate = [&app](const std::string& key, const std::string& text) {
    return app.Texts().Text(key, text);
  };
  context.programFolder = app.ProgramFolder();
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
  auto* view = new CTransferView(MakeTaskContext(frame), *doc, ports);
  doc->setParent(view);
  CDunmarkApp& app = frame.App();
  view->onReceived = [&app](const std::string& format, const std::string& file) {
    SetConversionSource(app.Settings().Root(), app.Formats(), format, file);
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
    QObject::connect(view, &CConvertView::CloseRequested, &f, [&f, view] { f.CloseTask(view); });
    return view;
  });
  frame.RegisterTask(kMergeType, [](CMainFrame& f) -> QWidget* {
    auto* view = new CMergeView(MakeTaskContext(f));
    QObject::connect(view, &CMergeView::CloseRequested, &f, [&f, view] { f.CloseTask(view); });
    return view;
  });

  // Format design window and the Types, Groups and Elements dialogs.
}

}  // namespace ulvo
