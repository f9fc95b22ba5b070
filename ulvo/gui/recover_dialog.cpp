#include "ulvo/gui/recover_dialog.h"

#include <QDateTime>
#include <QDialogButtonBox>
#include <QFileDialog>
#include <QHeaderView>
#include <QLabel>
#include <QMessageBox>
#include <QPushButton>
#include <QTreeWidget>
#include <QVBoxLayout>

#include "ulvo/convert/messages.h"
#include "ulvo/gui/ui_text.h"

namespace ulvo {
namespace {

QString Started(int64_t seconds) {
  return QDateTime::fromSecsSinceEpoch(seconds).toString(QStringLiteral("yyyy-MM-dd hh:mm:ss"));
}

QString Path(const std::filesystem::path& p) {
  return QString::fromStdString(p.string());
}

}  // namespace

CRecoverDlg::CRecoverDlg(const Translations& texts, std::filesystem::path folder, QWidget* parent)
    : QDialog(parent), texts_(texts), folder_(std::move(folder)) {
  setWindowTitle(Text("IDS_RECOVER_TITLE", "Unfinished receives"));
  auto* layout = new QVBoxLayout(this);
  auto* intro = new QLabel(Text("IDS_RECOVER_INTRO",
                                "These receives were interrupted before their data reached a "
                                "file. Restore each into its file or into another, or discard "
                                "it."),
                           this);
  intro->setWordWrap(true);
  layout->addWidget(intro);
  list_ = new QTreeWidget(this);
  list_->setRootIsDecorated(false);
  list_->setHeaderLabels(
      {Text("IDS_RECOVER_STARTED", "Started"), Text("IDS_RECOVER_KIND", "Instrument, kind"),
       Text("IDS_RECOVER_SIZE", "Size"), Text("IDS_RECOVER_DESTINATION", "Destination"),
       Text("IDS_RECOVER_END", "Its end")});
  list_->header()->setSectionResizeMode(QHeaderView::ResizeToContents);
  list_->setMinimumWidth(720);
  layout->addWidget(list_);
  note_ = new QLabel(this);
  note_->setWordWrap(true);
  layout->addWidget(note_);
  auto* buttons = new QDialogButtonBox(this);
  restore_ =
      buttons->addButton(Text("IDS_RECOVER_RESTORE", "Restore"), QDialogButtonBox::ActionRole);
  restoreTo_ = buttons->addButton(Text("IDS_RECOVER_RESTORE_TO", "Restore to..."),
                                  QDialogButtonBox::ActionRole);
  discard_ =
      buttons->addButton(Text("IDS_RECOVER_DISCARD", "Discard"), QDialogButtonBox::ActionRole);
  buttons->addButton(QDialogButtonBox::Close);
  layout->addWidget(buttons);
  connect(restore_, &QPushButton::clicked, this, [this] { RestoreSelected(); });
  connect(restoreTo_, &QPushButton::clicked, this, [this] { RestoreSelectedTo(); });
  connect(discard_, &QPushButton::clicked, this, [this] { DiscardSelected(); });
  connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
  connect(list_, &QTreeWidget::itemSelectionChanged, this, [this] {
    for (QPushButton* b : {restore_, restoreTo_, discard_}) b->setEnabled(Selected() != nullptr);
  });
  askYesNo = [this](const QString& question) {
    return QMessageBox::question(this, QStringLiteral("ULVO"), question) == QMessageBox::Yes;
  };
  chooseFile = [this](const std::filesystem::path& suggested) {
    return std::filesystem::path(
        QFileDialog::getSaveFileName(this, Text("IDS_RECOVER_RESTORE_TO", "Restore to..."),
                                     Path(suggested))
            .toStdString());
  };
  Reload();
}

QString CRecoverDlg::Text(const char* key, const char* text) const {
  return UiText(texts_, key, text);
}

std::vector<CaptureInfo> CRecoverDlg::Unfinished(const std::filesystem::path& folder) {
  std::vector<CaptureInfo> all = ListCaptures(folder);
  std::erase_if(all, [](const CaptureInfo& c) { return c.inUse; });
  return all;
}

void CRecoverDlg::Reload() {
  captures_ = Unfinished(folder_);
  list_->clear();
  for (const CaptureInfo& c : captures_) {
    QString end = QString::fromStdString(c.problem);
    if (c.tail) end = QString::fromStdString(DescribeTail(*c.tail));
    QString kind = QString::fromStdString(c.header.instrument);
    if (!c.header.kind.empty()) kind += QStringLiteral(" (%1)").arg(ToQString(c.header.kind));
    auto* row = new QTreeWidgetItem(
        list_, {Started(c.header.started), kind,
                Text("IDS_RECOVER_BYTES", "%1 bytes").arg(static_cast<qulonglong>(c.dataBytes)),
                ToQString(c.header.destination), end});
    row->setToolTip(1, ToQString(c.header.port));
  }
  if (!captures_.empty()) list_->setCurrentItem(list_->topLevelItem(0));
  for (QPushButton* b : {restore_, restoreTo_, discard_}) b->setEnabled(Selected() != nullptr);
}

const CaptureInfo* CRecoverDlg::Selected() const {
  const int row = list_->indexOfTopLevelItem(list_->currentItem());
  if (row < 0 || static_cast<size_t>(row) >= captures_.size()) return nullptr;
  return &captures_[static_cast<size_t>(row)];
}

void CRecoverDlg::RestoreSelected() {
  const CaptureInfo* c = Selected();
  if (!c) return;
  if (c->header.destination.empty()) {
    RestoreSelectedTo();
    return;
  }
  RestoreInto(*c, c->header.destination);
}

void CRecoverDlg::RestoreSelectedTo() {
  const CaptureInfo* c = Selected();
  if (!c) return;
  const std::filesystem::path path = chooseFile(c->header.destination);
  if (path.empty()) return;
  RestoreInto(*c, path);
}

void CRecoverDlg::RestoreInto(const CaptureInfo& capture, const std::filesystem::path& path) {
  const CaptureContents contents = ReadCapture(capture.file);
  if (!contents.info.problem.empty()) {
    note_->setText(ToQString(contents.info.problem));
    return;
  }
  std::error_code ec;
  const bool replace = std::filesystem::exists(path, ec);
  if (replace && !askYesNo(Text(kAlreadyExistsMsg.key, kAlreadyExistsMsg.defaultText)
                               .replace(QStringLiteral("%s"), Path(path))))
    return;
  if (const std::string why = WriteRestoredData(contents, path, replace); !why.empty()) {
    // A destination whose folder has gone: say why; "Restore to..." still offers another.
    note_->setText(Text("IDS_RECOVER_NOT_WRITTEN", "Not restored: %1").arg(ToQString(why)));
    return;
  }
  QString text = Text("IDS_RECOVER_DONE", "%1 bytes restored to %2.")
                     .arg(static_cast<qulonglong>(contents.bytes.size()))
                     .arg(Path(path));
  if (contents.info.tail)
    text += QStringLiteral(" ") + Text("IDS_RECOVER_TAIL", "Not restored: %1.")
                                      .arg(ToQString(DescribeTail(*contents.info.tail)));
  if (const std::string why = DiscardCapture(capture.file); !why.empty())
    text += QStringLiteral(" ") + ToQString(why);
  note_->setText(text);
  Reload();
}

void CRecoverDlg::DiscardSelected() {
  const CaptureInfo* c = Selected();
  if (!c) return;
  const std::string why = DiscardCapture(c->file);
  note_->setText(why.empty() ? Text("IDS_RECOVER_DISCARDED", "Discarded.") : ToQString(why));
  Reload();
}

void OfferCaptureRecovery(const Translations& texts, const std::filesystem::path& folder,
                          QWidget* parent) {
  if (CRecoverDlg::Unfinished(folder).empty()) return;
  CRecoverDlg dialog(texts, folder, parent);
  dialog.exec();
}

}  // namespace ulvo
