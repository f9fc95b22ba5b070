#include "kavex/gui/tgis_dlg.h"

#include <QCheckBox>
#include <QComboBox>
#include <QDialogButtonBox>
#include <QFile>
#include <QFileInfo>
#include <QFormLayout>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QVBoxLayout>

#include "kavex/gis/coordinate_system.h"
#include "kavex/shell/prompts.h"

namespace kavex {
namespace {

QString FromPath(const std::string& path) {
  return QFile::decodeName(QByteArray::fromStdString(path));
}
std::string ToPath(const QString& path) {
  return QFile::encodeName(path).toStdString();
}

}  // namespace

TGisDlg::TGisDlg(Prompts& browse, QWidget* parent) : QDialog(parent), browse_(browse) {
  setObjectName(QStringLiteral("TGisDlg"));
  FormatBox = new QComboBox(this);
  FormatBox->setObjectName(QStringLiteral("FormatBox"));
  for (const GisFormatRow& row : GisFormats())
    FormatBox->addItem(QString::fromLatin1(row.name) + QStringLiteral(" (*") +
                           QString::fromLatin1(row.extension) + QLatin1Char(')'),
                       static_cast<int>(row.format));
  FileEdit = new QLineEdit(this);
  FileEdit->setObjectName(QStringLiteral("FileEdit"));
  FileEdit->setMinimumWidth(360);
  BrowseButton = new QPushButton(QStringLiteral("..."), this);
  BrowseButton->setObjectName(QStringLiteral("BrowseButton"));
  BrowseButton->setMaximumWidth(32);
  auto* fileRow = new QHBoxLayout;
  fileRow->addWidget(FileEdit, 1);
  fileRow->addWidget(BrowseButton);

  CrsEdit = new QLineEdit(this);
  CrsEdit->setObjectName(QStringLiteral("CrsEdit"));
  CrsEdit->setPlaceholderText(QStringLiteral("EPSG:28992, EPSG:28992+5709 or a name"));
  SearchButton = new QPushButton(QStringLiteral("&Search"), this);
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
  CrsList->setMinimumHeight(140);
  LayerByCodeBox = new QCheckBox(QStringLiteral("A &layer per point code"), this);
  LayerByCodeBox->setObjectName(QStringLiteral("LayerByCodeBox"));

  auto* form = new QFormLayout;
  formatLabel_ = new QLabel(QStringLiteral("&Format"), this);
  formatLabel_->setBuddy(FormatBox);
  form->addRow(formatLabel_, FormatBox);
  auto* fileLabel = new QLabel(QStringLiteral("F&ile"), this);
  fileLabel->setBuddy(FileEdit);
  form->addRow(fileLabel, fileRow);
  auto* crsLabel = new QLabel(QStringLiteral("&Coordinate system"), this);
  crsLabel->setBuddy(CrsEdit);
  form->addRow(crsLabel, crsRow);
  form->addRow(QString(), CrsName);
  form->addRow(QString(), CrsList);
  form->addRow(QString(), LayerByCodeBox);

  OkButton = new QPushButton(QStringLiteral("OK"), this);
  OkButton->setObjectName(QStringLiteral("OkButton"));
  OkButton->setDefault(true);
  CancelButton = new QPushButton(QStringLiteral("CANCEL"), this);
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
  connect(BrowseButton, &QPushButton::clicked, this, &TGisDlg::Browse);
  connect(SearchButton, &QPushButton::clicked, this, &TGisDlg::Search);
  connect(CrsEdit, &QLineEdit::editingFinished, this, &TGisDlg::ShowCrsName);
  CrsEdit->installEventFilter(this);
  connect(FormatBox, &QComboBox::currentIndexChanged, this, &TGisDlg::FormatChanged);
  connect(CrsList, &QListWidget::currentRowChanged, this, [this](int row) {
    if (row < 0) return;
    CrsEdit->setText(CrsList->item(row)->data(Qt::UserRole).toString());
    ShowCrsName();
  });
  connect(CrsList, &QListWidget::itemActivated, this, [this] { OkButton->setFocus(); });
}

void TGisDlg::Setup(const GisDialogOptions& options, bool importing) {
  importing_ = importing;
  setWindowTitle(QString::fromLatin1(importing ? kFromGisTitle : kToGisTitle));
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

GisDialogOptions TGisDlg::options() const {
  GisDialogOptions o;
  o.format = static_cast<GisFormat>(FormatBox->currentData().toInt());
  o.path = ToPath(FileEdit->text().trimmed());
  o.crs = CrsEdit->text().trimmed().toStdString();
  o.layerByCode = LayerByCodeBox->isChecked();
  return o;
}

void TGisDlg::Search() {
  CrsList->blockSignals(true);
  CrsList->clear();
  for (const CrsEntry& e : SearchCoordinateSystems(CrsEdit->text().toStdString())) {
    QString text = QString::fromStdString(e.code + "  " + e.name + "  (" + e.kind + ")");
    if (e.deprecated) text += QStringLiteral("  deprecated");
    auto* item = new QListWidgetItem(text, CrsList);
    item->setData(Qt::UserRole, QString::fromStdString(e.code));
  }
  CrsList->blockSignals(false);
  if (CrsList->count() == 0)
    CrsName->setText(QStringLiteral("No coordinate system has that name."));
}

bool TGisDlg::eventFilter(QObject* watched, QEvent* event) {
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

void TGisDlg::ShowCrsName() {
  const std::string text = CrsEdit->text().trimmed().toStdString();
  if (text.empty()) {
    CrsName->setText(QString::fromLatin1(kCrsMissingMessage));
    return;
  }
  std::string message;
  const std::optional<CoordinateSystem> crs = CoordinateSystem::Resolve(text, message);
  CrsName->setText(QString::fromStdString(crs ? crs->Code() + ": " + crs->Name() : message));
}

void TGisDlg::FormatChanged() {
  const GisFormatRow& row = GisFormatOf(options().format);
  QString path = FileEdit->text().trimmed();
  if (path.isEmpty()) return;
  const QFileInfo info(path);
  const QString suffix = info.suffix();
  if (!suffix.isEmpty()) path.chop(suffix.size() + 1);
  FileEdit->setText(path + QString::fromLatin1(row.extension));
}

void TGisDlg::Browse() {
  FileDialogRequest request;
  request.title = importing_ ? kFromGisTitle : kToGisTitle;
  const GisFormatRow& row = GisFormatOf(options().format);
  request.filter = importing_ ? kGisImportFilter
                              : std::string(row.name) + "(*" + row.extension + ")|*" +
                                    row.extension + "|All Files(*.*)|*.*";
  request.initialFolder = ToPath(QFileInfo(FileEdit->text()).absolutePath());
  request.defaultExtension = importing_ ? "" : row.extension;
  const std::optional<std::string> chosen =
      importing_ ? browse_.OpenFileName(request) : browse_.SaveFileName(request);
  if (chosen) FileEdit->setText(FromPath(*chosen));
}

bool GisDialogPrompt::Ask(GisDialogOptions& options, bool importing) {
  TGisDlg dialog(browse_, parent_);
  dialog.Setup(options, importing);
  if (dialog.exec() != QDialog::Accepted) return false;
  options = dialog.options();
  return true;
}

}  // namespace kavex
