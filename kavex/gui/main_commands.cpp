#include "kavex/gui/main_commands.h"

#include <QSettings>

#include "kavex/gui/data_commands.h"
#include "kavex/gui/line_pane.h"
#include "kavex/gui/main_form.h"
#include "kavex/gui/main_plan.h"
#include "kavex/gui/qt_prompts.h"
#include "kavex/gui/tadvanced_dlg.h"
#include "kavex/gui/tgis_dlg.h"
#include "kavex/gui/transfer_dialogs.h"
#include "kavex/platform/config_paths.h"
#include "kavex/platform/port_permission.h"
#include "kavex/shell/convert_commands.h"

namespace kavex {

namespace {

// Window state kept beside Kavex.ini, whose own layout stays as it always was.
QString WindowStateFile() {
  return QString::fromStdString(
      (KavexSettingsPaths().settingsFile.parent_path() / "KavexWindows.ini").string());
}

}  // namespace

MainCommands::MainCommands(TMainForm& form)
    : form_(form),
      commPort_(tracing_, clock_,
                [this](const std::string& text) {
                  form_.Logic().ShowMessage(PortMessage(text), kModeMessage, /*beep=*/true);
                  // A port refused for lack of permission: say how to get it.
                  if (text != "COM ERROR.") return;
                  const std::string device = commPort_.DevicePathOf(commPort_.PortName());
                  const std::string hint = PortPermissionText(device, CheckPortAccess(device));
                  if (!hint.empty()) form_.Logic().ShowMessage(hint);
                }),
      transferDialogs_(std::make_unique<QtTransferDialogs>(&form, commPort_)),
      cvtDialog_(&form),
      confirmDialog_(&form),
      conversions_{cvtDialog_, confirmDialog_, cvtOptions_, targetCounter_, qrx6Options_},
      pointDetailsDialog_(&form) {
  transferDialogs_->SetTrace(trace_);
  LinePane* pane = transferDialogs_->UpDw().Pane();
  pane->SetOpen(LinePaneOpen());
  pane->onOpenChanged = [this, previous = pane->onOpenChanged](bool open) {
    if (previous) previous(open);
    RememberLinePane(open);
  };
  transferDialogs_->Advanced().SetMessageSink(
      [&form](const std::string& text) { form.Logic().ShowMessage(text); });
  downloads_ =
      std::make_unique<DownloadCommands>(form.Logic(), commPort_, *transferDialogs_, HandOver());

  for (const DownloadFamily& f : DownloadFamilies())
    form.Wire(form.Action(f.menu.name), [this, kind = f.kind] { downloads_->Run(kind); });
  for (const Conversion& c : Conversions())
    form.Wire(form.Action(c.name), [this, &c] { c.command(form_.Logic(), conversions_); });
  gisDialog_ = std::make_unique<GisDialogPrompt>(form.Ui(), &form);
  form.Wire(form.Action(kToGisName), [this] {
    WithRememberedCrs([this] { ExportCurrentDataToGis(form_.Logic(), *gisDialog_); });
  });
  form.Wire(form.Action(kFromGisName), [this] {
    WithRememberedCrs([this] { ImportGisToCurrentData(form_.Logic(), *gisDialog_); });
  });

  uploads_ = std::make_unique<UploadCommands>(form.Logic(), commPort_, *transferDialogs_,
                                              pointDetailsDialog_);
  for (const UploadFamily& f : UploadFamilies())
    form.Wire(form.Action(f.menu.name), [this, kind = f.kind] { uploads_->Run(kind); });
  dataCommands_ = std::make_unique<DataCommands>(form);
  plan_ = new MainPlan(form, dataCommands_->EditDialog());
}

MainCommands::~MainCommands() = default;

std::string MainCommands::PortMessage(const std::string& text) const {
  if (text != "COM ERROR." || serial_.LastError().empty()) return text;
  return WithReason(text, commPort_.DevicePathOf(commPort_.PortName()), serial_.LastError());
}

// The job's coordinate system is proposed again in the next session, from the window's
// state file.
void MainCommands::WithRememberedCrs(const std::function<void()>& run) {
  std::string& crs = form_.Logic().Settings().gisCrs;
  QSettings store(WindowStateFile(), QSettings::IniFormat);
  if (crs.empty()) crs = store.value("Gis/crs").toString().toStdString();
  run();
  if (!crs.empty()) store.setValue("Gis/crs", QString::fromStdString(crs));
}

bool MainCommands::LinePaneOpen() {
  return QSettings(WindowStateFile(), QSettings::IniFormat).value("LinePane/open", false).toBool();
}

void MainCommands::RememberLinePane(bool open) {
  QSettings(WindowStateFile(), QSettings::IniFormat).setValue("LinePane/open", open);
}

DownloadHandOver MainCommands::HandOver() {
  DownloadHandOver handOver;
  // The saved file is the current data (filed, unchanged), so the conversion goes
  // straight to its options dialog.
  handOver.convertToNwf = [this](MainLogic& logic) {
    ConvertToNwf(logic, cvtDialog_, cvtOptions_, targetCounter_);
  };
  handOver.hkToText = [](MainLogic& logic, const std::string& path) {
    return ConvertHkFileToText(logic, path);
  };
  handOver.captureFolder = KavexCaptureFolder();
  handOver.captureFailed = [this](const std::string& problem) {
    form_.Logic().ShowMessage("The download is not protected against a crash: " + problem);
  };
  return handOver;
}

}  // namespace kavex
