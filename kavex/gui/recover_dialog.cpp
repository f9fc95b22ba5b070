#include "kavex/gui/recover_dialog.h"

#include <QDateTime>
#include <QDialogButtonBox>
#include <QHeaderView>
#include <QLabel>
#include <QPushButton>
#include <QTreeWidget>
#include <QVBoxLayout>

#include "kavex/shell/capture_recovery.h"
#include "kavex/shell/transfer_families.h"

namespace kavex {
namespace {

QString Started(int64_t seconds) {
  return QDateTime::fromSecsSinceEpoch(seconds).toString(QStringLiteral("yyyy-MM-dd hh:mm:ss"));
}

QString Lines(size_t n) {
  return n == 1 ? QStringLiteral("1 line") : QStringLiteral("%1 lines").arg(n);
}

}  // namespace

TRecoverDlg::TRecoverDlg(MainLogic& logic, std::filesystem::path folder, QWidget* parent)
    : QDialog(parent), logic_(logic), folder_(std::move(folder)) {
  setWindowTitle(QStringLiteral("Unfinished downloads"));
  auto* layout = new QVBoxLayout(this);
  auto* intro = new QLabel(
      QStringLiteral("These downloads were interrupted before their lines were kept. Restore "
                     "one into the current data, or discard it."),
      this);
  intro->setWordWrap(true);
  layout->addWidget(intro);
  list_ = new QTreeWidget(this);
  list_->setRootIsDecorated(false);
  list_->setHeaderLabels({QStringLiteral("Started"), QStringLiteral("Kind"), QStringLiteral("Size"),
                          QStringLiteral("Destination"), QStringLiteral("Cut short at the end")});
  list_->header()->setSectionResizeMode(QHeaderView::ResizeToContents);
  list_->setMinimumWidth(640);
  layout->addWidget(list_);
  note_ = new QLabel(this);
  note_->setWordWrap(true);
  layout->addWidget(note_);
  auto* buttons = new QDialogButtonBox(this);
  restore_ = buttons->addButton(QStringLiteral("Restore"), QDialogButtonBox::ActionRole);
  discard_ = buttons->addButton(QStringLiteral("Discard"), QDialogButtonBox::ActionRole);
  buttons->addButton(QDialogButtonBox::Close);
  layout->addWidget(buttons);
  connect(restore_, &QPushButton::clicked, this, [this] { RestoreSelected(); });
  connect(discard_, &QPushButton::clicked, this, [this] { DiscardSelected(); });
  connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
  connect(list_, &QTreeWidget::itemSelectionChanged, this, [this] {
    restore_->setEnabled(Selected() != nullptr);
    discard_->setEnabled(Selected() != nullptr);
  });
  Reload();
}

std::vector<CaptureInfo> TRecoverDlg::Unfinished(const std::filesystem::path& folder) {
  std::vector<CaptureInfo> all = ListCaptures(folder);
  std::erase_if(all, [](const CaptureInfo& c) { return c.inUse; });
  return all;
}

void TRecoverDlg::Reload() {
  captures_ = Unfinished(folder_);
  list_->clear();
  for (const CaptureInfo& c : captures_) {
    QString end = c.problem.empty() ? QStringLiteral("nothing") : QString::fromStdString(c.problem);
    if (c.tail) end = QString::fromStdString(DescribeTail(*c.tail));
    auto* row = new QTreeWidgetItem(
        list_, {Started(c.header.started), QString::fromStdString(DownloadKindText(c.header.kind)),
                Lines(c.records),
                c.header.destination.empty() ? QStringLiteral("(current data)")
                                             : QString::fromStdString(c.header.destination),
                end});
    row->setToolTip(3, QString::fromStdString(c.header.port));
  }
  if (!captures_.empty()) list_->setCurrentItem(list_->topLevelItem(0));
  restore_->setEnabled(Selected() != nullptr);
  discard_->setEnabled(Selected() != nullptr);
}

const CaptureInfo* TRecoverDlg::Selected() const {
  const int row = list_->indexOfTopLevelItem(list_->currentItem());
  if (row < 0 || static_cast<size_t>(row) >= captures_.size()) return nullptr;
  return &captures_[static_cast<size_t>(row)];
}

void TRecoverDlg::RestoreSelected() {
  const CaptureInfo* c = Selected();
  if (!c) return;
  const CaptureContents contents = ReadCapture(c->file);
  if (!contents.info.problem.empty()) {
    note_->setText(QString::fromStdString(contents.info.problem));
    return;
  }
  if (!RestoreCaptureIntoCurrentData(logic_, contents)) return;
  // In the current data now, unsaved: the capture has done its work.
  QString text = QStringLiteral("%1 restored into the current data (not saved yet).")
                     .arg(Lines(contents.lines.size()));
  if (contents.info.tail)
    text += QStringLiteral(" Not restored: ") +
            QString::fromStdString(DescribeTail(*contents.info.tail)) + QStringLiteral(".");
  if (const std::string why = DiscardCapture(c->file); !why.empty())
    text += QStringLiteral(" The capture stays: ") + QString::fromStdString(why);
  note_->setText(text);
  Reload();
}

void TRecoverDlg::DiscardSelected() {
  const CaptureInfo* c = Selected();
  if (!c) return;
  const std::string why = DiscardCapture(c->file);
  note_->setText(why.empty() ? QStringLiteral("Discarded.") : QString::fromStdString(why));
  Reload();
}

void OfferCaptureRecovery(MainLogic& logic, const std::filesystem::path& folder, QWidget* parent) {
  if (TRecoverDlg::Unfinished(folder).empty()) return;
  TRecoverDlg dialog(logic, folder, parent);
  dialog.exec();
}

}  // namespace kavex
