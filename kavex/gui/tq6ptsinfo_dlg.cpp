#include "kavex/gui/tq6ptsinfo_dlg.h"

#include <QFocusEvent>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTimer>
#include <QVBoxLayout>

#include "kavex/gui/message_box_dialog.h"

namespace kavex {
namespace {

QString FromBytes(const std::string& s) {
  return QString::fromLatin1(s.data(), static_cast<qsizetype>(s.size()));
}
std::string ToBytes(const QString& s) {
  return s.toLatin1().toStdString();
}

}  // namespace

TQ6ptsinfoDlg::TQ6ptsinfoDlg(const PointDetails& details, QWidget* parent)
    : QDialog(parent), details_(details) {
  setObjectName("TQ6ptsinfoDlg");
  setWindowTitle("Point Details");

  auto makeEdit = [this](PointDetailsField field) {
    const PointDetailsFieldInfo& info = PointDetailsFieldInfoOf(field);
    auto* edit = new QLineEdit(FromBytes(PointDetailsValue(details_, field)));
    edit->setObjectName(QString::fromLatin1(info.editName));
    edit->setToolTip(QString::fromLatin1(info.hint));
    if (info.maxLength > 0) edit->setMaxLength(info.maxLength);
    edit->installEventFilter(this);
    edits_[static_cast<int>(field)] = edit;
    return edit;
  };
  using F = PointDetailsField;
  SiteEd = makeEdit(F::kSite);
  ElevEd = makeEdit(F::kElevation);
  ScaleEd = makeEdit(F::kScale);
  AccEd = makeEdit(F::kAccuracy);
  Lim1Ed = makeEdit(F::kLimitDistance);
  Lim2Ed = makeEdit(F::kLimitTolerance);
  NumPtEd = makeEdit(F::kPoints);
  // Wide enough for ten characters of the site name.
  const int width = SiteEd->fontMetrics().horizontalAdvance(QLatin1Char('W')) * 11;
  for (QLineEdit* e : edits_) e->setMinimumWidth(width);
  for (QLineEdit* e : {Lim1Ed, Lim2Ed}) e->setFixedWidth(width * 2 / 5);

  OKBtn = new QPushButton("OK");
  OKBtn->setObjectName("OKBtn");
  CancelBtn = new QPushButton("CANCEL");
  CancelBtn->setObjectName("CancelBtn");
  // Clicking a button must not count as leaving an edit: OK checks every edit itself and
  // CANCEL keeps nothing.
  OKBtn->setFocusPolicy(Qt::TabFocus);
  CancelBtn->setFocusPolicy(Qt::TabFocus);
  OKBtn->setAutoDefault(false);
  CancelBtn->setAutoDefault(false);
  connect(OKBtn, &QPushButton::clicked, this, [this] { OkClicked(); });
  connect(CancelBtn, &QPushButton::clicked, this, &QDialog::reject);

  auto* grid = new QGridLayout;
  int row = 0;
  auto addRow = [&](const char* label, QWidget* field) {
    grid->addWidget(new QLabel(label), row, 0);
    grid->addWidget(field, row, 1);
    ++row;
  };
  addRow("Site", SiteEd);
  addRow("Elevation", ElevEd);
  addRow("Scale", ScaleEd);
  addRow("Accuracy (1:x)", AccEd);
  auto* limits = new QWidget;
  auto* limitsLayout = new QHBoxLayout(limits);
  limitsLayout->setContentsMargins(0, 0, 0, 0);
  limitsLayout->addWidget(Lim1Ed);
  limitsLayout->addWidget(new QLabel("-"));
  limitsLayout->addWidget(Lim2Ed);
  limitsLayout->addStretch();
  addRow("Limit (m - mm)", limits);
  addRow("Number of points", NumPtEd);

  auto* buttons = new QHBoxLayout;
  buttons->addStretch();
  buttons->addWidget(OKBtn);
  buttons->addWidget(CancelBtn);
  auto* layout = new QVBoxLayout(this);
  layout->addLayout(grid);
  layout->addLayout(buttons);
  layout->setSizeConstraint(QLayout::SetFixedSize);
  setWindowFlag(Qt::MSWindowsFixedSizeDialogHint);

  showMessage_ = [this](const std::string& text) {
    TMBoxDlg box(this);
    box.Setup(FromBytes(text), 0);
    box.exec();
  };
}

void TQ6ptsinfoDlg::showEvent(QShowEvent* event) {
  QDialog::showEvent(event);
  SiteEd->setFocus(Qt::OtherFocusReason);
}

bool TQ6ptsinfoDlg::Leave(PointDetailsField field) {
  QLineEdit* edit = Edit(field);
  const PointDetailsCheck check = CheckPointDetailsField(field, ToBytes(edit->text()));
  std::string& stored = PointDetailsValue(details_, field);
  if (check.stored) {
    stored = *check.stored;
    edit->setText(FromBytes(stored));
    return true;
  }
  checking_ = true;
  showMessage_(check.message);
  checking_ = false;
  edit->setText(FromBytes(stored));
  edit->selectAll();
  // The focus goes back once the event that left the edit is over.
  QTimer::singleShot(0, edit, [edit] {
    edit->setFocus(Qt::OtherFocusReason);
    edit->selectAll();
  });
  return false;
}

bool TQ6ptsinfoDlg::eventFilter(QObject* watched, QEvent* event) {
  for (int i = 0; i < kPointDetailsFieldCount; ++i) {
    if (watched != edits_[i]) continue;
    const auto field = static_cast<PointDetailsField>(i);
    if (event->type() == QEvent::KeyPress) {
      const int key = static_cast<QKeyEvent*>(event)->key();
      if (key == Qt::Key_Return || key == Qt::Key_Enter) {
        // Enter walks Site -> ... -> Number of points -> OK.
        QWidget* next = i + 1 < kPointDetailsFieldCount ? static_cast<QWidget*>(edits_[i + 1])
                                                        : static_cast<QWidget*>(OKBtn);
        next->setFocus(Qt::TabFocusReason);
        return true;
      }
    } else if (event->type() == QEvent::FocusOut && !checking_) {
      // Another window (the message box) taking the focus is not leaving the edit.
      const auto reason = static_cast<QFocusEvent*>(event)->reason();
      if (reason != Qt::ActiveWindowFocusReason && reason != Qt::PopupFocusReason) Leave(field);
    }
    break;
  }
  return QDialog::eventFilter(watched, event);
}

void TQ6ptsinfoDlg::OkClicked() {
  for (int i = 0; i < kPointDetailsFieldCount; ++i)
    if (!Leave(static_cast<PointDetailsField>(i))) return;
  accept();
}

bool PointDetailsDialogPrompt::Run(PointDetails& details) {
  TQ6ptsinfoDlg dialog(details, parent_);
  if (dialog.exec() != QDialog::Accepted) return false;
  details = dialog.details();
  return true;
}

}  // namespace kavex
