#include "kavex/gui/qt_prompts.h"

#include <QApplication>
#include <QFile>
#include <QFileDialog>
#include <QStringList>

#include "kavex/gui/dir_change_dialog.h"
#include "kavex/gui/message_box_dialog.h"
#include "kavex/gui/save_current_dialog.h"
#include "kavex/gui/save_now_dialog.h"

namespace kavex {
namespace {

class DialogProgress : public ProgressSink {
 public:
  explicit DialogProgress(TSaveNowDlg& dialog) : dialog_(dialog) {}
  ~DialogProgress() override { dialog_.hide(); }
  void SetText(const std::string& text) override {
    dialog_.SetText(QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size())));
  }
  void SetPosition(int percent) override { dialog_.SetPosition(percent); }
  bool CancelRequested() override { return dialog_.CancelRequested(); }

 private:
  TSaveNowDlg& dialog_;
};

QString FromUtf8(const std::string& text) {
  return QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size()));
}

}  // namespace

QtPrompts::QtPrompts(QWidget* parent)
    : parent_(parent),
      messageBox_(new TMBoxDlg(parent)),
      saveCurrent_(new TCrrSaveDlg1(parent)),
      saveNow_(new TSaveNowDlg(parent)),
      dirChange_(new TDirChgDlg(parent)) {
  dirChange_->SetMessageHandler(
      [this](const QString& text) { MessageBox(text.toStdString(), kModeMessage); });
}

// The dialogs belong to the parent window and go with it.
QtPrompts::~QtPrompts() = default;

int QtPrompts::MessageBox(const std::string& text, int mode, bool beep) {
  if (beep) QApplication::beep();
  messageBox_->Setup(FromUtf8(text), mode);
  return messageBox_->exec();
}

QString QtPrompts::FromPath(const std::string& path) {
  return QFile::decodeName(QByteArray::fromStdString(path));
}

std::string QtPrompts::ToPath(const QString& path) {
  return QFile::encodeName(path).toStdString();
}

QString QtPrompts::QtFilter(const std::string& filter) {
  const QStringList parts = FromUtf8(filter).split(QLatin1Char('|'));
  QStringList out;
  for (qsizetype i = 0; i + 1 < parts.size(); i += 2) {
    QString description = parts[i];
    const qsizetype paren = description.indexOf(QLatin1Char('('));
    if (paren >= 0) description.truncate(paren);
    QStringList patterns;
    for (QString pattern : parts[i + 1].split(QLatin1Char(';'), Qt::SkipEmptyParts)) {
      pattern = pattern.trimmed();
      if (pattern == QLatin1String("*.*")) {
        patterns << QStringLiteral("*");
        continue;
      }
      // File names keep their case here; a file written as JOB.QR6 must still be listed.
      patterns << pattern;
      if (pattern.toUpper() != pattern) patterns << pattern.toUpper();
    }
    out << description.trimmed() + QStringLiteral(" (") + patterns.join(QLatin1Char(' ')) +
               QLatin1Char(')');
  }
  return out.join(QStringLiteral(";;"));
}

std::optional<std::string> QtPrompts::OpenFileName(const FileDialogRequest& request) {
  const QString name = QFileDialog::getOpenFileName(
      parent_, FromUtf8(request.title), FromPath(request.initialFolder), QtFilter(request.filter));
  if (name.isEmpty()) return std::nullopt;
  return ToPath(name);
}

std::optional<std::string> QtPrompts::SaveFileName(const FileDialogRequest& request) {
  // The program asks "File exists Overwrite?" itself and keeps a backup.
  const QString name = QFileDialog::getSaveFileName(
      parent_, FromUtf8(request.title), FromPath(request.initialFolder), QtFilter(request.filter),
      nullptr, QFileDialog::DontConfirmOverwrite);
  if (name.isEmpty()) return std::nullopt;
  return ToPath(name);
}

bool QtPrompts::ConfirmSaveCurrent(const std::string& caption, const std::string& name) {
  saveCurrent_->Setup(FromUtf8(caption), FromPath(name));
  return saveCurrent_->exec() == kResultOk;
}

std::unique_ptr<ProgressSink> QtPrompts::ShowProgress(const std::string& caption,
                                                      bool cancellable) {
  saveNow_->setWindowTitle(FromUtf8(caption));
  saveNow_->SetText(QString());
  saveNow_->SetPosition(0);
  saveNow_->SetCancellable(cancellable);
  saveNow_->ResetCancel();
  saveNow_->show();
  QApplication::processEvents();
  return std::make_unique<DialogProgress>(*saveNow_);
}

void QtPrompts::PumpEvents() {
  QApplication::processEvents();
}

void QtPrompts::SetBusy(bool busy) {
  if (busyHandler_) busyHandler_(busy);
}

std::optional<std::string> QtPrompts::ChooseFolder(const std::string& current) {
  dirChange_->SetOptions({FromPath(current)});
  if (dirChange_->exec() != kResultOk) return std::nullopt;
  return ToPath(dirChange_->options().folder);
}

}  // namespace kavex
