#include "kavex/gui/qt_prompts.h"

#include <QApplication>
#include <QFile>
#include <QFileDialog>
#include <QFileInfo>
#include <QGridLayout>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QStringList>
#include <QTreeView>
#include <algorithm>

#include "kavex/gui/dir_change_dialog.h"
#include "kavex/gui/message_box_dialog.h"
#include "kavex/gui/save_current_dialog.h"
#include "kavex/gui/save_now_dialog.h"
#include "kavex/shell/data_view.h"
#include "kavex/shell/identify.h"
#include "kavex/shell/main_logic.h"

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

namespace {

// Qt's own file dialog opens too small for its details: widened, and its size and date
// columns sized to what they hold. A platform dialog has no such view and is left alone.
void FitColumns(QFileDialog& dialog) {
  dialog.resize(std::max(dialog.width(), 780), std::max(dialog.height(), 480));
  if (auto* view = dialog.findChild<QTreeView*>(QStringLiteral("treeView"))) {
    QHeaderView* header = view->header();
    header->setStretchLastSection(false);
    header->setSectionResizeMode(0, QHeaderView::Stretch);
    for (int column = 1; column < header->count(); ++column)
      header->setSectionResizeMode(column, QHeaderView::ResizeToContents);
  }
}

// Files larger than this are not read just to say what they are while the user browses.
constexpr qint64 kIdentifyLimit = qint64{8} << 20;

// The status line under Qt's own open dialog: which of the program's layouts reads the
// file the user points at. A platform dialog has no room for it and goes without.
void AddIdentifyStatus(QFileDialog& dialog) {
  auto* grid = qobject_cast<QGridLayout*>(dialog.layout());
  if (!grid) return;
  auto* status = new QLabel(&dialog);
  status->setObjectName(QStringLiteral("IdentifyStatus"));
  status->setTextFormat(Qt::PlainText);
  status->setWordWrap(true);
  grid->addWidget(status, grid->rowCount(), 0, 1, grid->columnCount());
  const auto show = [status](const QString& path) {
    const QFileInfo info(path);
    if (!info.isFile()) {
      status->clear();
      return;
    }
    if (info.size() > kIdentifyLimit) {
      status->setText(QStringLiteral("Too large to look into here; kavex-cli identify reads it."));
      return;
    }
    std::vector<std::string> lines;
    const std::string file = QtPrompts::ToPath(path);
    if (ReadDataFileLines(file, lines) != DataFileRead::kRead) {
      status->setText(QStringLiteral("Cannot be read."));
      return;
    }
    const std::string text = IdentifySummary(IdentifyLines(lines, DataTypeOfFile(file)));
    status->setText(QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size())));
  };
  // Pointed at in the list, or named in the file name field.
  QObject::connect(&dialog, &QFileDialog::currentChanged, status, show);
  if (auto* name = dialog.findChild<QLineEdit*>(QStringLiteral("fileNameEdit"))) {
    QObject::connect(name, &QLineEdit::textChanged, status, [&dialog, show](const QString& text) {
      show(text.isEmpty() ? QString() : dialog.directory().absoluteFilePath(text));
    });
  }
}

}  // namespace

QString QtPrompts::WithFilterExtension(const QString& name, const QString& selectedFilter) {
  const QString file = QFileInfo(name).fileName();
  if (file.isEmpty() || file.contains(QLatin1Char('.'))) return name;
  // The first pattern of the filter, "Points (*.pts *.PTS)": "*.pts"; "*" adds nothing.
  const qsizetype open = selectedFilter.indexOf(QLatin1Char('('));
  const qsizetype close = selectedFilter.indexOf(QLatin1Char(')'), open);
  if (open < 0 || close < 0) return name;
  const QString first = selectedFilter.mid(open + 1, close - open - 1)
                            .split(QLatin1Char(' '), Qt::SkipEmptyParts)
                            .value(0);
  const QString extension = first.mid(1);
  if (!first.startsWith(QLatin1String("*.")) || extension.size() < 2 ||
      extension.contains(QLatin1Char('*')) || extension.contains(QLatin1Char('?')))
    return name;
  return name + extension;
}

std::optional<std::string> QtPrompts::OpenFileName(const FileDialogRequest& request) {
  QFileDialog dialog(parent_, FromUtf8(request.title), FromPath(request.initialFolder),
                     QtFilter(request.filter));
  dialog.setFileMode(QFileDialog::ExistingFile);
  dialog.setAcceptMode(QFileDialog::AcceptOpen);
  AddIdentifyStatus(dialog);
  FitColumns(dialog);
  if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty()) return std::nullopt;
  return ToPath(dialog.selectedFiles().constFirst());
}

std::optional<std::string> QtPrompts::SaveFileName(const FileDialogRequest& request) {
  QFileDialog dialog(parent_, FromUtf8(request.title), FromPath(request.initialFolder),
                     QtFilter(request.filter));
  dialog.setFileMode(QFileDialog::AnyFile);
  dialog.setAcceptMode(QFileDialog::AcceptSave);
  // The program asks "File exists Overwrite?" itself and keeps a backup.
  dialog.setOption(QFileDialog::DontConfirmOverwrite);
  // The type of what is saved comes first to the eye: its filter is the chosen one.
  if (!request.defaultExtension.empty()) {
    const QString pattern = QStringLiteral("(*") + FromUtf8(request.defaultExtension);
    for (const QString& filter : dialog.nameFilters()) {
      if (filter.contains(pattern + QLatin1Char(' ')) ||
          filter.contains(pattern + QLatin1Char(')'))) {
        dialog.selectNameFilter(filter);
        break;
      }
    }
  }
  FitColumns(dialog);
  if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty()) return std::nullopt;
  // A name typed without an extension takes the chosen filter's, or Open would not list it.
  return ToPath(
      WithFilterExtension(dialog.selectedFiles().constFirst(), dialog.selectedNameFilter()));
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
