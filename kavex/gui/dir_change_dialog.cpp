#include "kavex/gui/dir_change_dialog.h"

#include <QComboBox>
#include <QDir>
#include <QFileSystemModel>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QPushButton>
#include <QSignalBlocker>
#include <QStorageInfo>
#include <QTimer>
#include <QTreeView>
#include <QVBoxLayout>

#include "kavex/shell/prompts.h"

namespace kavex {
namespace {

bool IsSameOrBelow(const QString& folder, const QString& ancestor) {
  if (!folder.startsWith(ancestor)) return false;
  return folder.size() == ancestor.size() || ancestor.endsWith(QLatin1Char('/')) ||
         folder.at(ancestor.size()) == QLatin1Char('/');
}

}  // namespace

TDirChgDlg::TDirChgDlg(QWidget* parent) : QDialog(parent) {
  setObjectName(QStringLiteral("TDirChgDlg"));
  setWindowTitle(QStringLiteral("Select Data Directory"));
  setWindowFlags(Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                 Qt::WindowCloseButtonHint);
  setModal(true);

  drives_ = new QComboBox(this);
  model_ = new QFileSystemModel(this);
  model_->setFilter(QDir::AllDirs | QDir::NoDotAndDotDot);
  model_->setRootPath(QString());
  folders_ = new QTreeView(this);
  folders_->setModel(model_);
  for (int column = 1; column < model_->columnCount(); ++column) folders_->hideColumn(column);
  folders_->header()->hide();
  path_ = new QLabel(this);
  path_->setTextFormat(Qt::PlainText);
  path_->setWordWrap(true);
  ok_ = new QPushButton(QStringLiteral("OK"), this);
  cancel_ = new QPushButton(QStringLiteral("CANCEL"), this);
  ok_->setDefault(true);

  connect(ok_, &QPushButton::clicked, this, [this] { done(kResultOk); });
  connect(cancel_, &QPushButton::clicked, this, [this] { done(kResultCancel); });
  connect(drives_, &QComboBox::activated, this, &TDirChgDlg::DriveChosen);
  connect(folders_->selectionModel(), &QItemSelectionModel::currentChanged, this,
          [this](const QModelIndex& current) {
            const QString folder = model_->filePath(current);
            path_->setText(QDir::toNativeSeparators(folder));
            // Once the user walks elsewhere the shown folder is no longer to be kept in view.
            if (folder != shown_) shown_.clear();
          });
  // Folders are listed as they are read, after the tree was scrolled: rows that arrive
  // (and are sorted) above the shown folder move it, so it is brought back into view once
  // they have settled. Rows of other folders (the user opening them) leave the tree be.
  reveal_ = new QTimer(this);
  reveal_->setSingleShot(true);
  reveal_->setInterval(20);
  connect(reveal_, &QTimer::timeout, this, &TDirChgDlg::Reveal);
  connect(model_, &QAbstractItemModel::rowsInserted, this, [this](const QModelIndex& under) {
    if (!shown_.isEmpty() && IsSameOrBelow(shown_, model_->filePath(under))) reveal_->start();
  });
  connect(model_, &QAbstractItemModel::layoutChanged, this, [this] {
    if (!shown_.isEmpty()) reveal_->start();
  });

  auto* buttons = new QHBoxLayout;
  buttons->addStretch();
  buttons->addWidget(ok_);
  buttons->addWidget(cancel_);
  auto* layout = new QVBoxLayout(this);
  layout->addWidget(drives_);
  layout->addWidget(path_);
  layout->addWidget(folders_, 1);
  layout->addLayout(buttons);
  resize(420, 420);
  FillDrives();
}

void TDirChgDlg::FillDrives() {
  const QSignalBlocker block(drives_);
  drives_->clear();
  QStringList roots;
  for (const QStorageInfo& volume : QStorageInfo::mountedVolumes())
    if (volume.isValid() && !roots.contains(volume.rootPath())) roots << volume.rootPath();
  if (!roots.contains(QDir::rootPath())) roots << QDir::rootPath();
  roots.sort();
  for (const QString& root : roots) drives_->addItem(QDir::toNativeSeparators(root), root);
}

void TDirChgDlg::DriveChosen(int index) {
  const QString root = drives_->itemData(index).toString();
  if (!QStorageInfo(root).isReady()) {
    if (showMessage_) showMessage_(QStringLiteral("Device not ready."));
    const QSignalBlocker block(drives_);
    drives_->setCurrentIndex(driveIndex_);
    return;
  }
  driveIndex_ = index;
  ShowFolder(root);
}

void TDirChgDlg::ShowFolder(const QString& folder) {
  shown_ = folder;
  Reveal();
  path_->setText(QDir::toNativeSeparators(folder));
}

void TDirChgDlg::Reveal() {
  const QModelIndex index = model_->index(shown_);
  if (!index.isValid()) return;
  const QString shown = shown_;
  folders_->setCurrentIndex(index);
  shown_ = shown;
  folders_->expand(index);
  folders_->scrollTo(index, QAbstractItemView::PositionAtCenter);
}

void TDirChgDlg::SetOptions(const Options& options) {
  FillDrives();
  const QString folder = QDir(options.folder).absolutePath();
  // The drive of a folder is the volume whose root is the longest prefix of it.
  int best = -1;
  qsizetype bestLength = -1;
  for (int i = 0; i < drives_->count(); ++i) {
    const QString root = drives_->itemData(i).toString();
    if (folder.startsWith(root) && root.size() > bestLength) {
      best = i;
      bestLength = root.size();
    }
  }
  {
    const QSignalBlocker block(drives_);
    drives_->setCurrentIndex(best);
  }
  driveIndex_ = best;
  ShowFolder(folder);
}

TDirChgDlg::Options TDirChgDlg::options() const {
  const QModelIndex current = folders_->currentIndex();
  return {current.isValid() ? model_->filePath(current) : path_->text()};
}

}  // namespace kavex
