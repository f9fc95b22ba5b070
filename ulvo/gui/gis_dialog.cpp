#include "ulvo/gui/gis_dialog.h"

#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QFile>
#include <QFileDialog>
#include <QFileInfo>
#include <QFormLayout>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QMessageBox>
#include <QPushButton>
#include <QVBoxLayout>

#include "ulvo/engine/text_codec.h"

namespace ulvo {
namespace {

QString FromPath(const std::string& path) {
  return QFile::decodeName(QByteArray::fromStdString(path));
}
std::string ToPath(const QString& path) {
  return QFile::encodeName(path).toStdString();
}

}  // namespace

GisDialog::GisDialog(const TaskContext& context, QWidget* parent)
    : QDialog(parent), context_(context) {
  setObjectName(QStringLiteral("GisDialog"));
  choose_ = [this](bool save, const QString& start, const QString& filter) {
    return save ? QFileDialog::getSaveFileName(this, windowTitle(), start, filter)
                : QFileDialog::getOpenFileName(this, windowTitle(), start, filter);
  };
  FormatBox = new QComboBox(this);
  FormatBox->setObjectName(QStringLiteral("FormatBox"));
  for (const GisFormatRow& row : GisFormats())
    FormatBox->addItem(QString::fromStdString(GisFileFilter(row)), static_cast<int>(row.format));
  FileEdit = new QLineEdit(this);
  FileEdit->setObjectName(QStringLiteral("FileEdit"));
  FileEdit->setMinimumWidth(360);
  BrowseButton = new QPushButton(QStringLiteral("..."), this);
  BrowseButton->setObjectName(QStringLiteral("BrowseButton"));
  BrowseButton->setFixedWidth(32);
  auto* fileRow = new QHBoxLayout;
  fileRow->addWidget(FileEdit, 1);
  fileRow->addWidget(BrowseButton);

  CrsEdit = new QLineEdit(this);
  CrsEdit->setObjectName(QStringLiteral("CrsEdit"));
  CrsEdit->setPlaceholderText(T(kGisCrsHint));
  SearchButton = new QPushButton(T(kGisSearchBtn), this);
  SearchButton->setObjectName(QStringLiteral("SearchButton"));
  auto* crsRow = new QHBoxLayout;
  crsRow->addWidget(CrsEdit, 1);
  crsRow->addWidget(SearchButton);
  CrsName = new QLabel(this);
  CrsName->setObjectName(QStringLiteral("CrsName"));
  CrsName->setTextFormat(Qt::PlainText);
  CrsName->setWordWrap(true);
  CrsList = new QListWidget(this);
  CrsList->setObjectName(QStringLiteral("CrsList"));
  CrsList->setMinimumHeight(120);
  LayerByCodeBox = new QCheckBox(T(kGisLayerByCode), this);
  LayerByCodeBox->setObjectName(QStringLiteral("LayerByCodeBox"));

  auto* form = new QFormLayout;
  formatLabel_ = new QLabel(T(kGisFormatLabel), this);
  formatLabel_->setBuddy(FormatBox);
  form->addRow(formatLabel_, FormatBox);
  auto* fileLabel = new QLabel(T(kGisFileLabel), this);
  fileLabel->setBuddy(FileEdit);
  form->addRow(fileLabel, fileRow);
  auto* crsLabel = new QLabel(T(kGisCrsLabel), this);
  crsLabel->setBuddy(CrsEdit);
  form->addRow(crsLabel, crsRow);
  form->addRow(QString(), CrsName);
  form->addRow(QString(), CrsList);
  form->addRow(QString(), LayerByCodeBox);

  OkButton = new QPushButton(T(kGisOkBtn), this);
  OkButton->setObjectName(QStringLiteral("OkButton"));
  OkButton->setDefault(true);
  CancelButton = new QPushButton(T(kGisCancelBtn), this);
  CancelButton->setObjectName(QStringLiteral("CancelButton"));
  auto* buttons = new QHBoxLayout;
  buttons->addStretch();
  buttons->addWidget(OkButton);
  buttons->addWidget(CancelButton);
  auto* layout = new QVBoxLayout(this);
  layout->addLayout(form);
  layout->addLayout(buttons);

  connect(OkButton, &QPushButton::clicked, this, &QDialog::accept);
  connect(CancelButton, &QPushButton::clicked, this, &QDialog::reject);
  connect(BrowseButton, &QPushButton::clicked, this, &GisDialog::Browse);
  connect(SearchButton, &QPushButton::clicked, this, &GisDialog::Search);
  connect(CrsEdit, &QLineEdit::editingFinished, this, &GisDialog::ShowCrsName);
  CrsEdit->installEventFilter(this);
  connect(FormatBox, &QComboBox::currentIndexChanged, this, &GisDialog::FormatChanged);
  connect(CrsList, &QListWidget::currentRowChanged, this, [this](int row) {
    if (row < 0) return;
    CrsEdit->setText(CrsList->item(row)->data(Qt::UserRole).toString());
    ShowCrsName();
  });
  connect(CrsList, &QListWidget::itemActivated, this, [this] { OkButton->setFocus(); });
}

void GisDialog::Setup(const GisDialogOptions& options, bool importing) {
  importing_ = importing;
  setWindowTitle(T(importing ? kGisImportTitle : kGisExportTitle));
  FormatBox->blockSignals(true);
  FormatBox->setCurrentIndex(FormatBox->findData(static_cast<int>(options.format)));
  FormatBox->blockSignals(false);
  FileEdit->setText(FromPath(options.path));
  CrsEdit->setText(QString::fromStdString(options.crs));
  LayerByCodeBox->setChecked(options.layerByCode);
  FormatBox->setVisible(!importing);
  formatLabel_->setVisible(!importing);
  LayerByCodeBox->setVisible(!importing);
  CrsList->clear();
  ShowCrsName();
  CrsEdit->setFocus();
}

GisDialogOptions GisDialog::options() const {
  GisDialogOptions o;
  o.format = static_cast<GisFormat>(FormatBox->currentData().toInt());
  o.path = ToPath(FileEdit->text().trimmed());
  o.crs = CrsEdit->text().trimmed().toStdString();
  o.layerByCode = LayerByCodeBox->isChecked();
  return o;
}

void GisDialog::Search() {
  // Enter searches without leaving the edit: the name below follows the words too.
  ShowCrsName();
  CrsList->blockSignals(true);
  CrsList->clear();
  for (const CrsEntry& e : SearchCoordinateSystems(CrsEdit->text().toStdString())) {
    QString text = QString::fromStdString(e.code + "  " + e.name + "  (" + e.kind + ")");
    if (e.deprecated) text += QStringLiteral("  ") + T(kGisDeprecated);
    auto* item = new QListWidgetItem(text, CrsList);
    item->setData(Qt::UserRole, QString::fromStdString(e.code));
  }
  CrsList->blockSignals(false);
  if (CrsList->count() == 0) CrsName->setText(T(kGisCrsNoMatch));
}

bool GisDialog::eventFilter(QObject* watched, QEvent* event) {
  // Enter in the system's edit searches; elsewhere it is OK.
  if (watched == CrsEdit && event->type() == QEvent::KeyPress) {
    const int key = static_cast<QKeyEvent*>(event)->key();
    if (key == Qt::Key_Return || key == Qt::Key_Enter) {
      Search();
      return true;
    }
  }
  return QDialog::eventFilter(watched, event);
}

void GisDialog::ShowCrsName() {
  const std::string text = CrsEdit->text().trimmed().toStdString();
  Message message{kGisCrsMissing, {}};
  const std::optional<CoordinateSystem> crs =
      text.empty() ? std::nullopt : CoordinateSystem::Resolve(text, message);
  CrsName->setText(
      crs ? QString::fromStdString(crs->Code() + ": " + crs->Name())
          : QString::fromStdString(FormatMessage(
                context_.Text(message.text.key, message.text.defaultText), message.argument)));
}

void GisDialog::FormatChanged() {
  const GisFormatRow& row = GisFormatOf(options().format);
  QString path = FileEdit->text().trimmed();
  if (path.isEmpty()) return;
  const QString suffix = QFileInfo(path).suffix();
  if (!suffix.isEmpty()) path.chop(suffix.size() + 1);
  FileEdit->setText(path + QString::fromLatin1(row.extension));
}

void GisDialog::Browse() {
  const QString filter = importing_
                             ? QString::fromLatin1(kGisImportFilter)
                             : QString::fromStdString(GisFileFilter(GisFormatOf(options().format)));
  const QString chosen = choose_(!importing_, FileEdit->text(), filter);
  if (!chosen.isEmpty()) FileEdit->setText(chosen);
}

bool QtGisPrompts::Ask(GisDialogOptions& options, bool importing) {
  GisDialog dialog(context_, parent_);
  dialog.Setup(options, importing);
  if (dialog.exec() != QDialog::Accepted) return false;
  options = dialog.options();
  return true;
}

QString QtGisPrompts::Text(const Message& message) const {
  QString text = QString::fromStdString(
      FormatMessage(context_.Text(message.text.key, message.text.defaultText), message.argument));
  // Why, under the message: the file, GDAL's or PROJ's words.
  if (!message.detail.empty()) text += QStringLiteral("\n\n") + FromPath(message.detail);
  return text;
}

void QtGisPrompts::ShowMessage(const Message& message, bool failure) {
  if (failure)
    QMessageBox::warning(parent_, QStringLiteral("ULVO"), Text(message));
  else
    QMessageBox::information(parent_, QStringLiteral("ULVO"), Text(message));
}

bool QtGisPrompts::AskReplace(const Message& question) {
  return QMessageBox::question(parent_, QStringLiteral("ULVO"), Text(question),
                               QMessageBox::Yes | QMessageBox::No) == QMessageBox::Yes;
}

void QtGisPrompts::SetBusy(bool busy) {
  if (busy) {
    QApplication::setOverrideCursor(Qt::WaitCursor);
  } else {
    QApplication::restoreOverrideCursor();
  }
}

}  // namespace ulvo
